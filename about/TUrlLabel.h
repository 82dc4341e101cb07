#pragma once

#include <QColor>
#include <QLabel>
#include <functional>
#include <string>

#include "platform/shell/LinkOpener.h"

namespace varnex {

enum TUrlType {
  utCustom,
  utFile,
  utFtp,
  utGopher,
  utHttp,
  utHttps,
  utMail,
  utNews,
  utTelnet,
  utWais
};

// The link target for a type, an address and the mail parameters; nothing is encoded.
std::string ComposeUrl(TUrlType type, const std::string& customType, const std::string& url,
                       const std::string& mailSubject, const std::string& mailBody);

// A label that works as a hyperlink: a click hands its target to the desktop, the pointer over
// it can change its look, and its hint can follow the target. It takes the focus from Tab, and
// Enter or Space then open it too; screen readers know it as a link they can press. Its caption is
// plain text, and the label fits its size to it. Where its font colour would not stand out from
// the background (a design colour on a dark colour scheme), the text takes the scheme's link
// colour, lightened or darkened until it does.
class TUrlLabel final : public QLabel {
 public:
  TUrlLabel(LinkOpener& opener, QWidget* parent = nullptr);

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);

  const std::string& URL() const { return url_; }
  void SetURL(const std::string& url);
  TUrlType URLType() const { return urlType_; }
  void SetURLType(TUrlType type) { urlType_ = type; }
  const std::string& CustomURLType() const { return customUrlType_; }
  void SetCustomURLType(const std::string& prefix) { customUrlType_ = prefix; }
  const std::string& MailSubject() const { return mailSubject_; }
  void SetMailSubject(const std::string& subject);
  const std::string& MailBody() const { return mailBody_; }
  void SetMailBody(const std::string& body);
  bool ShowUrlHint() const { return showUrlHint_; }
  void SetShowUrlHint(bool show);
  bool DetectMouse() const { return detectMouse_; }
  void SetDetectMouse(bool detect);
  QColor ActiveColor() const { return activeColor_; }
  void SetActiveColor(QColor color) { activeColor_ = color; }
  QColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(QColor color) { inactiveColor_ = color; }

  std::function<void(TUrlLabel* sender)> OnMouseEnter;
  std::function<void(TUrlLabel* sender)> OnMouseLeave;

  std::string ComposedURL() const;
  // Hands the link target to the desktop, as a click does.
  void OpenLink();

  // The colour of the caption, whatever background the label's parent has.
  QColor FontColor() const;
  void SetFontColor(QColor color);
  // The colour it is drawn in: the font colour where it stands out from the background.
  QColor DrawnColor() const;

  // Whether the hint is shown as a tooltip; off, as on a window that shows no hints, the hint is
  // kept (and follows the target) but never shown.
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show) { showHint_ = show; }

 protected:
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void RefreshHint();
  void ShowPointerLook(QColor color, bool underlined);

  LinkOpener& opener_;
  std::string url_;
  TUrlType urlType_ = utHttp;
  std::string customUrlType_;
  std::string mailSubject_;
  std::string mailBody_;
  bool showUrlHint_ = false;
  bool detectMouse_ = true;
  bool showHint_ = false;
  bool pressed_ = false;  // the left button went down on the label and is not yet released
  QColor activeColor_{0, 0, 255};
  QColor inactiveColor_{0, 0, 128};
};

}  // namespace varnex
