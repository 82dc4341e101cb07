#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FirstFrame.h"
#include "app/SessionEnd.h"
#include "app/StartDirectory.h"
#include "app/TMp3Form.h"
#include "app/WindowPlayer.h"
#include "desktop/MprisService.h"
#include "desktop/SessionBus.h"
#include "history/History.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"
#include "platform/media/GstFilterGraph.h"
#include "platform/media/GstMediaTags.h"
#include "platform/registry/RegFileStore.h"
#include "platform/shell/FontConfiguration.h"
#include "platform/shell/ProcessStart.h"
#include "platform/shell/TerminationSignal.h"
#include "playback/Tdm.h"
#include "widgets/ErrorReport.h"
#include "widgets/TBrowseFolderDlg.h"

namespace {

// The two libraries the window needs before it shows, read side by side: the font configuration
// for its first text on the second core, the media library for its graph here. Both before the
// toolkit comes up, as the toolkit and its plugins change the environment that the libraries read.
// This way round, as the media library grows type tables that its libraries made here when they
// were loaded: grown on the other thread, they would be locked against this thread's allocations
// all along. Without a thread to spare, one after the other.
void LoadLibraries() {
  std::jthread fonts;
  try {
    fonts = std::jthread(varnex::LoadFontConfiguration);
  } catch (const std::system_error&) {
    varnex::LoadFontConfiguration();
  }
  varnex::LoadMediaLibrary();
}

}  // namespace

int main(int argc, char** argv) {
  const varnex::CommandLine commandLine = varnex::ReadCommandLine({argv + 1, argv + argc});
  // Answered before anything of the toolkit or the settings exists.
  if (commandLine.answer) {
    // Through C's stdio: the C++ streams would set up their locales at every start for this.
    const bool written = std::fputs(commandLine.answer->c_str(), stdout) >= 0;
    return written && std::fflush(stdout) == 0 ? 0 : 1;
  }
  varnex::PosixFileSystem fs;
  const std::string startDirectory =
      varnex::EnterStartDirectory(fs, QFile::encodeName(QDir::homePath()).toStdString());
  // Relative folders are taken from the start directory as text from here on; the process itself
  // stays nowhere a drive could be unmounted from.
  varnex::LeaveStartingDirectory();
  // Asked before the libraries load, so that its answer is in by the time the window is made,
  // which needs it; and from where every later connection is made, for an address with a
  // relative path.
  varnex::SessionBus bus;
  LoadLibraries();
  // Not before: reading the two libraries side by side in one heap, each would wait for the
  // other's allocations.
  varnex::ShareOneHeapAmongThreads();
  // Qt sees only the program's path, so no folder argument is ever taken for one of its options.
  int qtArgc = 1;
  varnex::Application application(qtArgc, argv);
  // A failure while the program comes up is reported like any other, never a crash.
  try {
    // Caught from the start, so a session that ends while the window is made does not kill it.
    varnex::TerminationSignal termination;
    varnex::SessionEnd sessionEnd(termination);
    const auto busDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    varnex::RegFileStore settings(varnex::RegFileStore::DefaultPath());
    varnex::TBrowseFolderDlg folderDialog(fs);
    varnex::ComRuntime media;
    varnex::DesktopLinkOpener linkOpener;
    varnex::PosixJournalStorage journals;
    varnex::History history(journals);  // asks for its folder at the first pass or undo
    const varnex::SessionBus::Reply busReply = bus.Await(busDeadline);
    std::optional<varnex::SilentBusShield> shield;
    if (busReply == varnex::SessionBus::Reply::kSilent) {
      shield.emplace();
    }
    // The icon comes once the first window is on the screen: the warning about more than one
    // folder, or else the main window.
    varnex::AfterFirstFrame(application, [&application] { application.AddIcons(); });
    varnex::TMp3Form form(fs, settings, folderDialog, linkOpener, startDirectory,
                          commandLine.arguments);
    shield.reset();
    form.AproposFrame1->SetMediaLibrary(QString::fromStdString(varnex::GStreamerVersion()));
    form.AttachHistory(&history);
    // Made after the window and destroyed before it, as the window's handlers use it.
    varnex::RegisterGStreamerGraph(media);
    varnex::Tdm dm(media, [](const std::exception& error) { varnex::ShowErrorReport(error); });
    form.AttachMediaModule(&dm);
    sessionEnd.Watch(form);
    if (sessionEnd.Ended()) {
      return 0;  // the session ended while the window was made; its settings are stored
    }
    form.show();
    // The desktop's media controls come once the window is on the screen, on a session bus that
    // answered.
    varnex::WindowPlayer player(form, dm);
    varnex::GstMediaTagReader tags;
    std::unique_ptr<varnex::MprisService> mediaControls;
    if (busReply != varnex::SessionBus::Reply::kSilent) {
      varnex::AfterFirstFrame(form, [&] {
        mediaControls = varnex::MprisService::Publish(
            QDBusConnection::connectToBus(bus.Address(), QStringLiteral("media-controls")), player,
            tags, varnex::DecodableAudioTypes());
      });
    }
    return varnex::Application::exec();
  } catch (const std::exception& error) {
    varnex::ShowErrorReport(error);
    return 1;
  }
}
