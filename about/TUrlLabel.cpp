#include "TUrlLabel.h"

#include <QAccessibleWidget>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStyle>

#include "widgets/Accessible.h"
#include "widgets/Colours.h"
#include "widgets/KeyPress.h"

namespace varnex {

namespace {

// A link to screen readers, named by its caption, which they can press to open it.
class UrlLabelAccessible final : public QAccessibleWidget {
 public:
  explicit UrlLabelAccessible(TUrlLabel* label)
      : QAccessibleWidget(label, QAccessible::Link), label_(*label) {}

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name && label_.accessibleName().isEmpty()) {
      return label_.Caption();
    }
    return QAccessibleWidget::text(kind);
  }
  QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
  void doAction(const QString& action) override {
    if (action == pressAction()) {
      label_.OpenLink();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  TUrlLabel& label_;
};

}  // namespace

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
  ProvideAccessibleInterface<TUrlLabel, UrlLabelAccessible>();
  setTextFormat(Qt::PlainText);
  setFocusPolicy(Qt::TabFocus);
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

void TUrlLabel::SetCaption(const QString& caption) {
  setText(caption);
  adjustSize();
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

void TUrlLabel::OpenLink() {
  opener_.Open(ComposedURL());
}

QColor TUrlLabel::FontColor() const {
  return palette().color(foregroundRole());
}

QColor TUrlLabel::DrawnColor() const {
  return Legible(FontColor(), palette().color(backgroundRole()), kTextContrast,
                 palette().color(QPalette::Link));
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

// The size follows the caption in its font, as the look the pointer gives changes the font.
void TUrlLabel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    adjustSize();
  }
}

// The caption as a plain label draws it, in the drawn colour, framed while the keyboard is on it.
void TUrlLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, DrawnColor());
  style()->drawItemText(&painter, contentsRect(),
                        QStyle::visualAlignment(layoutDirection(), alignment()), colours,
                        isEnabled(), text(), QPalette::WindowText);
  // A dotted frame in the link's own colour on the label's edge: it stays as legible as the
  // caption in every scheme, where a style's tinted focus fill would dim the caption under it.
  if (hasFocus()) {
    painter.setPen(QPen(DrawnColor(), 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

// Enter and Space open the link, as a click does; with a modifier key they do nothing here.
void TUrlLabel::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool opens = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
  if (opens && IsPlainKey(*event)) {
    if (!event->isAutoRepeat()) {
      OpenLink();
    }
    return;
  }
  QLabel::keyPressEvent(event);
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
    OpenLink();
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
