#pragma once

#include <QStringList>
#include <QTimer>

namespace varnex::test {

// Answers the message boxes that open while it lives, pressing their default button (or OK), and
// keeps "title: text" of each, so a test can run code that shows a box and check what it showed.
class ModalCloser {
 public:
  ModalCloser();

  const QStringList& Seen() const { return seen_; }

 private:
  QStringList seen_;
  QTimer timer_;
};

}  // namespace varnex::test
