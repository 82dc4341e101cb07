#include <QDir>
#include <QFile>
#include <exception>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/SessionEnd.h"
#include "app/StartDirectory.h"
#include "app/TMp3Form.h"
#include "desktop/MprisService.h"
#include "history/History.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/fs/PosixJournalStorage.h"
#include "platform/media/GstFilterGraph.h"
#include "platform/media/MediaTags.h"
#include "platform/registry/RegFileStore.h"
#include "platform/shell/TerminationSignal.h"
#include "playback/Tdm.h"
#include "widgets/ErrorReport.h"
#include "widgets/TBrowseFolderDlg.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Qt sees only the program's path, so no folder argument is ever taken for one of its options.
  int qtArgc = 1;
  varnex::Application application(qtArgc, argv);
  // A failure while the program comes up is reported like any other, never a crash.
  try {
    // Caught from the start, so a session that ends while the window is made does not kill it.
    varnex::TerminationSignal termination;
    varnex::PosixFileSystem fs;
    const std::string startDirectory =
        varnex::EnterStartDirectory(fs, QFile::encodeName(QDir::homePath()).toStdString());
    // Relative folders are taken from the start directory as text from here on; the process
    // itself stays nowhere a drive could be unmounted from.
    varnex::LeaveStartingDirectory();
    varnex::RegFileStore settings(varnex::RegFileStore::DefaultPath());
    varnex::TBrowseFolderDlg folderDialog(fs);
    varnex::ComRuntime media;
    varnex::RegisterGStreamerGraph(media);
    varnex::DesktopLinkOpener linkOpener;
    varnex::PosixJournalStorage journals;
    varnex::History history(journals, journals.StateFolder());
    varnex::TMp3Form form(fs, settings, folderDialog, linkOpener, startDirectory, arguments);
    form.AttachHistory(&history);
    // Made after the window and destroyed before it, as the window's handlers use it.
    varnex::Tdm dm(media, [](const std::exception& error) { varnex::ShowErrorReport(error); });
    form.AttachMediaModule(&dm);
    // The desktop's media controls, when there is a session bus; without one nothing changes.
    varnex::GstMediaTagReader tags;
    const auto mpris = varnex::MprisService::PublishOnSessionBus(form, dm, tags);
    const varnex::SessionEnd sessionEnd(termination, form);
    form.show();
    return varnex::Application::exec();
  } catch (const std::exception& error) {
    varnex::ShowErrorReport(error);
    return 1;
  }
}
