#include "Application.h"

#include <QIcon>
#include <QImageReader>
#include <QPixmap>

#include "widgets/ErrorReport.h"

// The icons are compiled into this static library, whose resource registration the linker would
// drop unless something names it.
static void LoadIconResources() {
  Q_INIT_RESOURCE(icons);
}

namespace varnex {

namespace {

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// Read by the toolkit's own PNG reader: left to find the format, the reader first offers the
// picture to every image format plugin, and so loads them all at start.
QImage ReadPng(const QString& path) {
  QImageReader reader(path, "png");
  reader.setAutoDetectImageFormat(false);
  return reader.read();
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Docks and task bars put the window under the launcher of this desktop entry: the desktop
  // file's name where the desktop asks for it, and a window class (the application's name, which
  // the entry's StartupWMClass repeats) that does not change with the name the program runs under.
  setApplicationName(QStringLiteral("varnex"));
  setDesktopFileName(QStringLiteral("org.example.Varnex"));
  LoadIconResources();
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowErrorReport(error);
    return true;
  }
}

void Application::AddIcons() {
  QIcon icon;
  for (const int size : kIconSizes) {
    icon.addPixmap(QPixmap::fromImage(ReadPng(QStringLiteral(":/icons/%1.png").arg(size))));
  }
  setWindowIcon(icon);
}

}  // namespace varnex
