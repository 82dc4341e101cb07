#pragma once

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <optional>
#include <vector>

#include "about/TShadowLabel.h"
#include "about/TUrlLabel.h"

namespace varnex {

// The about panel: a child of the main window, kept out of view until ShowPanel brings it over
// the whole client area and fits the window to it; Close hides it and gives the window back the
// outer size it had. What it covers cannot be reached while it is shown, and what cannot be seen
// of it cannot be reached either: out of view, none of its controls takes the focus, and shown,
// Tab goes round its own. Its controls other than Close are made when it is first shown.
class TAproposFrame final : public QFrame {
 public:
  TAproposFrame(LinkOpener& opener, QWidget* window);

  void ShowPanel();
  void FermerBtnClick();

  // Whether its Close button answers Escape: while the panel is shown, and before its first show,
  // when it lies out of view (pressing it then only keeps the panel out of view).
  bool CloseAnswersEscape() const { return isVisible() || !savedSize_; }

  // Null until the first show.
  TUrlLabel* UrlLabel1 = nullptr;
  TUrlLabel* UrlLabel2 = nullptr;
  TShadowLabel* ShadowLabel1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Image2 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* FermerBtn;

  // The name and version of the library that plays the songs, for the about text.
  void SetMediaLibrary(QString name) { mediaLibrary_ = std::move(name); }

 private:
  void CreateControls();
  void CoverWindowControls();
  void UncoverWindowControls();

  QWidget& window_;
  LinkOpener& opener_;
  std::optional<QSize> savedSize_;
  QString mediaLibrary_;
  // The window's controls hidden under the panel, and the one that had the focus before.
  std::vector<QPointer<QWidget>> covered_;
  QPointer<QWidget> focusBefore_;
};

// The about text: who wrote the program and with what, its last update, what it does, and the
// invitations to the web page and to write. `mediaLibrary` names the library that plays the songs.
QString AboutText(const QString& mediaLibrary);

}  // namespace varnex
