#include "TDirectoryEdit.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QStyle>

#include "platform/fs/PathRules.h"
#include "platform/shell/ErrorMode.h"
#include "widgets/Accessible.h"
#include "widgets/ErrorReport.h"
#include "widgets/Glyphs.h"

namespace varnex {

namespace {

// SEM_FAILCRITICALERRORS with SEM_NOOPENFILEERRORBOX.
constexpr unsigned kQuietErrorMode = 0x8001;

class ErrorModeGuard {
 public:
  explicit ErrorModeGuard(unsigned mode) : previous_(SetErrorMode(mode)) {}
  ErrorModeGuard(const ErrorModeGuard&) = delete;
  ErrorModeGuard& operator=(const ErrorModeGuard&) = delete;
  ~ErrorModeGuard() { SetErrorMode(previous_); }

 private:
  unsigned previous_;
};

// The button as screen readers know it: a button to press, which the field's click key presses too.
// The button never takes the focus, so the key is how a keyboard reaches it.
class EditButtonAccessible final : public QAccessibleWidget {
 public:
  explicit EditButtonAccessible(TEditButton* button)
      : QAccessibleWidget(button, QAccessible::Button), button_(*button) {}

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      button_.click();
    }
  }
  QStringList keyBindingsForAction(const QString& action) const override {
    return action == pressAction() ? QStringList{ClickKeyText()} : QStringList{};
  }
  QString text(QAccessible::Text kind) const override {
    return kind == QAccessible::Accelerator ? ClickKeyText() : QAccessibleWidget::text(kind);
  }

 private:
  QString ClickKeyText() const {
    const auto* edit = dynamic_cast<const TCustomComboEdit*>(button_.parentWidget());
    return edit != nullptr ? QKeySequence(edit->ClickKey()).toString(QKeySequence::NativeText)
                           : QString();
  }

  TEditButton& button_;
};

}  // namespace

TEditButton::TEditButton(QWidget* parent) : QToolButton(parent) {
  ProvideAccessibleInterface<TEditButton, EditButtonAccessible>();
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  setIcon(FolderGlyph());
  setIconSize(kFolderGlyphSize);
}

TCustomComboEdit::TCustomComboEdit(QWidget* parent)
    : QLineEdit(parent), button_(new TEditButton(this)) {
  setTextMargins(0, 0, TEditButton::kWidth, 0);
  connect(button_, &QToolButton::clicked, this, [this] {
    if ((focusPolicy() & Qt::TabFocus) && isEnabled() && !hasFocus()) {
      setFocus();
    }
    PressButton();
  });
}

void TCustomComboEdit::SetText(const std::string& text) {
  if (text == text_) {
    return;
  }
  text_ = text;
  setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  if (OnChange) {
    OnChange(this);
  }
}

void TCustomComboEdit::DeleteSelectedText() {
  if (!hasSelectedText()) {
    return;
  }
  QString shown = text();
  shown.remove(selectionStart(), selectedText().size());
  // The shown text stands for the bytes only where they are UTF-8; otherwise the whole text goes.
  const bool exact = QString::fromUtf8(text_.data(), static_cast<qsizetype>(text_.size()))
                         .toUtf8()
                         .toStdString() == text_;
  SetText(exact ? shown.toUtf8().toStdString() : std::string());
}

void TCustomComboEdit::PressButton() {
  ReportingFailures([this] { ButtonClick(); });
}

void TCustomComboEdit::keyPressEvent(QKeyEvent* event) {
  if (event->keyCombination() == clickKey_) {
    PressButton();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TCustomComboEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  button_->setGeometry(width() - frame - TEditButton::kWidth, frame, TEditButton::kWidth,
                       height() - 2 * frame);
}

bool TFileDirEdit::RunQuietly(const std::function<bool()>& dialog) {
  const ErrorModeGuard quiet(kQuietErrorMode);
  return dialog();
}

TDirectoryEdit::TDirectoryEdit(FileSystem& fs, FolderDialog& dialog, QWidget* parent)
    : TFileDirEdit(parent), fs_(fs), dialog_(dialog) {
  setReadOnly(true);
  Button()->setAccessibleName(QStringLiteral("Choose a folder"));
}

void TDirectoryEdit::BrowseForFolder() {
  std::string folder = Text();
  if (folder.empty()) {
    folder = initialDir_.empty() ? kRootFolder : initialDir_;
  }
  if (!IsExistingFolder(fs_, folder)) {
    folder = kRootFolder;
  }
  // The dialog's tree starts at the root, so it needs the whole path.
  folder = AbsolutePath(folder, fs_.CurrentDirectory());
  const bool confirmed = RunQuietly([&] { return dialog_.Execute(dialogText_, folder); });
  if ((focusPolicy() & Qt::TabFocus) && isEnabled()) {
    setFocus();
  }
  if (!confirmed) {
    return;
  }
  DeleteSelectedText();
  SetText(folder);
  if (!folder.empty() && IsExistingFolder(fs_, folder)) {
    initialDir_ = folder;
  }
}

}  // namespace varnex
