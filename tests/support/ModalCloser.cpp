#include "ModalCloser.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace varnex::test {

ModalCloser::ModalCloser() {
  QObject::connect(&timer_, &QTimer::timeout, [this] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !answering) {
      return;
    }
    seen_ << box->windowTitle() + QStringLiteral(": ") + box->text();
    frames_ << box->frameGeometry();
    QAbstractButton* button = box->defaultButton();
    if (button == nullptr) {
      button = box->button(QMessageBox::Ok);
    }
    button->click();
  });
  timer_.start(5);
}

}  // namespace varnex::test
