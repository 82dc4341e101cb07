#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <functional>
#include <string>

namespace varnex {

// The button inside the right end of a combo edit.
class TEditButton final : public QToolButton {
 public:
  static constexpr int kWidth = 21;

  explicit TEditButton(QWidget* parent);
};

// A one-line field with an embedded button. Its text is kept exactly as written, as bytes; the
// text shown is only for display.
class TCustomComboEdit : public QLineEdit {
 public:
  explicit TCustomComboEdit(QWidget* parent = nullptr);

  const std::string& Text() const { return text_; }
  // Raises OnChange exactly once when the text differs in any byte; the same text raises nothing.
  void SetText(const std::string& text);

  TEditButton* Button() const { return button_; }

  std::function<void(QObject* sender)> OnChange;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::string text_;
  TEditButton* button_;
};

// The folder field. The user cannot type into it (selecting and copying still work); Enter and
// Escape go on to the window, whose default and cancel buttons decide what they do.
class TDirectoryEdit final : public TCustomComboEdit {
 public:
  explicit TDirectoryEdit(QWidget* parent = nullptr);
};

}  // namespace varnex
