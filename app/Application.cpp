#include "Application.h"

#include "widgets/ErrorReport.h"

namespace varnex {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    ShowErrorReport(error);
    return true;
  }
}

}  // namespace varnex
