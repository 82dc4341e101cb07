// The baseline of the start-up benchmark: what any Qt Widgets program that plays with GStreamer
// does before its first window shows, and no more. GStreamer is initialised, then a window of
// Varnex's size with a list is shown.
#include <gst/gst.h>

#include <QApplication>
#include <QListWidget>
#include <QWidget>

int main(int argc, char** argv) {
  gst_init(nullptr, nullptr);
  QApplication application(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(472, 352);
  auto* list = new QListWidget(&window);
  list->setGeometry(16, 56, 441, 177);
  window.show();
  return QApplication::exec();
}
