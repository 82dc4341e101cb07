#pragma once

#include <QKeyCombination>
#include <QLineEdit>
#include <QToolButton>
#include <functional>
#include <string>

#include "platform/fs/FileSystem.h"
#include "platform/shell/FolderDialog.h"

namespace varnex {

// The button inside the right end of a combo edit, with a picture of a folder.
class TEditButton final : public QToolButton {
 public:
  static constexpr int kWidth = 21;

  explicit TEditButton(QWidget* parent);
};

// A one-line field with an embedded button, which a click or the click key presses. Its text is
// kept exactly as written, as bytes; the text shown is only for display.
class TCustomComboEdit : public QLineEdit {
 public:
  explicit TCustomComboEdit(QWidget* parent = nullptr);

  const std::string& Text() const { return text_; }
  // Raises OnChange exactly once when the text differs in any byte; the same text raises nothing.
  void SetText(const std::string& text);

  QKeyCombination ClickKey() const { return clickKey_; }
  void SetClickKey(QKeyCombination key) { clickKey_ = key; }

  TEditButton* Button() const { return button_; }

  std::function<void(QObject* sender)> OnChange;

 protected:
  // What a press of the button does.
  virtual void ButtonClick() = 0;

  // Removes the selected part of the text, as a deletion by the user would (raising OnChange).
  void DeleteSelectedText();

  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PressButton();

  std::string text_;
  QKeyCombination clickKey_{Qt::AltModifier, Qt::Key_Down};
  TEditButton* button_;
};

// A combo edit whose button runs a file or folder dialog, with the system's own error boxes kept
// away while it runs.
class TFileDirEdit : public TCustomComboEdit {
 public:
  using TCustomComboEdit::TCustomComboEdit;

 protected:
  // Runs `dialog` with the error mode set to fail critical errors quietly, restored afterwards.
  bool RunQuietly(const std::function<bool()>& dialog);
};

enum TDirDialogKind { dkVCL, dkWin32 };

// The folder field. The user cannot type into it (selecting and copying still work); Enter and
// Escape go on to the window, whose default and cancel buttons decide what they do. The button
// (or Alt+Down) picks a folder in the folder dialog.
class TDirectoryEdit final : public TFileDirEdit {
 public:
  TDirectoryEdit(FileSystem& fs, FolderDialog& dialog, QWidget* parent = nullptr);

  // Both kinds open the same folder dialog here; the kind is kept for the window's design.
  TDirDialogKind DialogKind() const { return dialogKind_; }
  void SetDialogKind(TDirDialogKind kind) { dialogKind_ = kind; }

  const std::string& DialogText() const { return dialogText_; }
  void SetDialogText(const std::string& text) { dialogText_ = text; }

  // The folder chosen last, where a browse from an empty field starts.
  const std::string& InitialDir() const { return initialDir_; }

  void BrowseForFolder();

 protected:
  void ButtonClick() override { BrowseForFolder(); }

 private:
  FileSystem& fs_;
  FolderDialog& dialog_;
  TDirDialogKind dialogKind_ = dkWin32;
  std::string dialogText_;
  std::string initialDir_;
};

}  // namespace varnex
