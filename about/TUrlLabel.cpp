#include "TUrlLabel.h"

#include <QFontDatabase>
#include <QMouseEvent>

namespace varnex {

std::string ComposeUrl(TUrlType type, const std::string& customType, const std::string& url,
                       const std::string& mailSubject, const std::string& mailBody) {
  static const char* const kPrefixes[] = {"",         "file://", "ftp://", "gopher://", "http://",
                                          "https://", "mailto:", "news:",  "telnet:",   "wais:"};
  std::string target = (type == utCustom ? customType : kPrefixes[type]) + url;
  if (type == utMail) {
    if (!mailSubject.empty()) {
      target += "?Subject=" + mailSubject;
    }
    if (!mailBody.empty()) {
      target += (mailSubject.empty() ? "?Body=" : "&Body=") + mailBody;
    }
  }
  return target;
}

TUrlLabel::TUrlLabel(LinkOpener& opener, QWidget* parent) : QLabel(parent), opener_(opener) {
  SetFontColor(inactiveColor_);
  QFont face = font();
  face.setFamily(QFontDatabase::families().contains(QStringLiteral("Verdana"))
                     ? QStringLiteral("Verdana")
                     : QStringLiteral("Arial"));
  setFont(face);
  setCursor(Qt::PointingHandCursor);
  SetShowUrlHint(true);
}

void TUrlLabel::SetURL(const std::string& url) {
  url_ = url;
  RefreshHint();
}

void TUrlLabel::SetMailSubject(const std::string& subject) {
  mailSubject_ = subject;
  RefreshHint();
}

void TUrlLabel::SetMailBody(const std::string& body) {
  mailBody_ = body;
  RefreshHint();
}

void TUrlLabel::SetShowUrlHint(bool show) {
  showUrlHint_ = show;
  if (show) {
    RefreshHint();
  } else if (toolTip() == QString::fromStdString(ComposedURL())) {
    setToolTip(QString());  // a hint of one's own stays
  }
}

void TUrlLabel::SetDetectMouse(bool detect) {
  detectMouse_ = detect;
  QFont underlined = font();
  underlined.setUnderline(!detect);
  setFont(underlined);
}

std::string TUrlLabel::ComposedURL() const {
  return ComposeUrl(urlType_, customUrlType_, url_, mailSubject_, mailBody_);
}

QColor TUrlLabel::FontColor() const {
  return palette().color(QPalette::WindowText);
}

void TUrlLabel::RefreshHint() {
  if (showUrlHint_) {
    setToolTip(QString::fromStdString(ComposedURL()));
  }
}

void TUrlLabel::SetFontColor(QColor color) {
  QPalette colors = palette();
  colors.setColor(QPalette::WindowText, color);
  setPalette(colors);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    opener_.Open(ComposedURL());
  }
}

// The look the pointer gives: a colour, and underline as the only style.
void TUrlLabel::ShowPointerLook(QColor color, bool underlined) {
  SetFontColor(color);
  QFont look = font();
  look.setBold(false);
  look.setItalic(false);
  look.setStrikeOut(false);
  look.setUnderline(underlined);
  setFont(look);
}

void TUrlLabel::enterEvent(QEnterEvent* event) {
  if (detectMouse_) {
    ShowPointerLook(activeColor_, true);
  }
  QLabel::enterEvent(event);
  if (OnMouseEnter) {
    OnMouseEnter(this);
  }
}

void TUrlLabel::leaveEvent(QEvent* event) {
  if (detectMouse_) {
    ShowPointerLook(inactiveColor_, false);
  }
  QLabel::leaveEvent(event);
  if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

}  // namespace varnex
