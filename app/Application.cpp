#include "Application.h"

#include <QIcon>

#include "widgets/ErrorReport.h"

// The icons are compiled into this static library, whose resource registration the linker would
// drop unless something names it.
static void LoadIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace varnex {

namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Docks and task bars put the window under the launcher of this desktop entry: the desktop
  // file's name where the desktop asks for it, and a window class (the application's name, which
  // the entry's StartupWMClass repeats) that does not change with the name the program runs under.
  setApplicationName(QStringLiteral("varnex"));
  setDesktopFileName(QStringLiteral("org.example.Varnex"));
  setWindowIcon(ProgramIcon());
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowErrorReport(error);
    return true;
  }
}

QIcon Application::ProgramIcon() {
  LoadIconResources();
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

}  // namespace varnex
