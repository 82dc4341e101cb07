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
  // Without a role of its own a label draws in the text colour of its parent's background role,
  // the button text on a button-face window, and not in its font colour.
  setForegroundRole(QPalette::WindowText);
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
  return palette().color(foregroundRole());
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

bool TUrlLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip && !showHint_) {
    return false;  // left to the parent, as by any control that shows no hint
  }
  return QLabel::event(event);
}

void TUrlLabel::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
  }
}

// The second press of a double click is no new click: the link opened at the first release.
void TUrlLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
  }
  event->accept();
}

// A click is a press and a release of the left button, both on the label.
void TUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) {
    return;
  }
  const bool clicked = pressed_ && rect().contains(event->position().toPoint());
  pressed_ = false;
  if (clicked) {
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
