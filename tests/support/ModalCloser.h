#pragma once

#include <QList>
#include <QRect>
#include <QStringList>
#include <QTimer>

namespace varnex::test {

// Answers the message boxes that open while it lives, pressing their default button (or OK), and
// keeps "title: text" of each, so a test can run code that shows a box and check what it showed.
class ModalCloser {
 public:
  ModalCloser();

  const QStringList& Seen() const { return seen_; }
  // Where each box stood on the screen, its frame included.
  const QList<QRect>& Frames() const { return frames_; }

  // While false, boxes are left open for the test to answer.
  bool answering = true;

 private:
  QStringList seen_;
  QList<QRect> frames_;
  QTimer timer_;
};

}  // namespace varnex::test
