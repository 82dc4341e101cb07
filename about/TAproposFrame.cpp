#include "TAproposFrame.h"

#include <QFile>
#include <utility>

#include "platform/Version.h"
#include "platform/image/JpegImage.h"
#include "widgets/Glyphs.h"

// The pictures are compiled into this static library, whose resource registration the linker
// would drop unless something names it.
static void LoadAboutResources() {
  Q_INIT_RESOURCE(about);
}

namespace varnex {

namespace {

const std::string kTitle = std::string("Varnex version ") + kVersion + "en ";
const std::string kMailSubject = "About " + kTitle;

QFont Font(const char* face, int pixelSize) {
  QFont font{QString::fromLatin1(face)};
  font.setPixelSize(pixelSize);
  return font;
}

// The picture decoded by libjpeg; an empty picture when it cannot be read.
QPixmap Picture() {
  QFile file(QStringLiteral(":/about/picture.jpg"));
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.readAll();
  JpegImage jpeg;
  std::string error;
  if (!jpeg.LoadFromMemory(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), error)) {
    return {};
  }
  const QImage image(jpeg.Pixels().data(), jpeg.Width(), jpeg.Height(),
                     static_cast<qsizetype>(jpeg.Width()) * 3, QImage::Format_RGB888);
  return QPixmap::fromImage(image.copy());
}

// The outer size of a window from its client size, with the frame the window has now.
QSize FrameExtra(const QWidget& window) {
  return window.frameGeometry().size() - window.size();
}

}  // namespace

QString AboutText(const QString& mediaLibrary) {
  const QString paragraphs[] = {
      QStringLiteral("Varnex was written by Tomvik in C++20 with Qt %1, %2 and %3. Its links "
                     "are link labels of its own.")
          .arg(QString::fromLatin1(qVersion()), mediaLibrary,
               QString::fromStdString(JpegImage::LibraryName()).simplified()),
      QStringLiteral("Last updated on 7 December 2026."),
      QStringLiteral("It lists, plays and renames the mp3 or iad files of a folder, never "
                     "replacing a file; Ctrl+Z puts the names back."),
      QStringLiteral("Have a look at my website for my other programs."),
      QStringLiteral("If you use this program, or have any suggestions, please send me an "
                     "e-mail."),
  };
  QStringList text(std::begin(paragraphs), std::end(paragraphs));
  return text.join(QStringLiteral("\r\n\r\n"));
}

TAproposFrame::TAproposFrame(LinkOpener& opener, QWidget* window)
    : QFrame(window), window_(*window), opener_(opener) {
  setGeometry(-500, -2, 305, 443);
  setFrameShape(QFrame::NoFrame);
  setAutoFillBackground(true);  // it covers the window's other controls when shown
  setAccessibleName(QStringLiteral("About Varnex"));
  // Close is made with the panel, as Escape presses it even before the first show. The rest waits
  // for that show: measuring its texts in their fonts would delay the window's.
  FermerBtn = new QPushButton(CloseGlyph(), QStringLiteral("Close"), this);
  FermerBtn->setGeometry(136, 360, 75, 25);
  FermerBtn->setAutoDefault(true);
  connect(FermerBtn, &QPushButton::clicked, this, &TAproposFrame::FermerBtnClick);
  // Out of view until the first show, hidden rather than only moved away, so that no key reaches
  // its controls and screen readers do not report it.
  hide();
}

// The panel's design: positions in panel pixels, fonts, colours and pictures. The texts are set at
// each show.
void TAproposFrame::CreateControls() {
  // The links' sizes follow their captions (144 x 13 and 119 x 13 in the design's fonts).
  UrlLabel1 = new TUrlLabel(opener_, this);
  UrlLabel1->move(144, 272);
  UrlLabel1->SetCaption(QStringLiteral("Homepage of Tomvik"));
  UrlLabel1->SetURLType(utCustom);
  UrlLabel1->SetURL("https://example.org/tomvik/");

  UrlLabel2 = new TUrlLabel(opener_, this);
  UrlLabel2->move(152, 304);
  UrlLabel2->SetCaption(QStringLiteral("e-mail of Tomvik"));
  UrlLabel2->SetURLType(utMail);
  UrlLabel2->SetURL("tomvik@example.org");

  for (TUrlLabel* link : {UrlLabel1, UrlLabel2}) {
    QFont face = Font("Verdana", 11);
    link->SetDetectMouse(true);  // first, which takes the underline off; then the underline
    face.setUnderline(true);
    link->setFont(face);
    link->SetFontColor(QColor(0, 0, 255));
  }

  ShadowLabel1 = new TShadowLabel(this);
  ShadowLabel1->move(56, 16);
  QFont title = Font("MS Sans Serif", 19);
  title.setStyleHint(QFont::SansSerif);
  title.setBold(true);
  ShadowLabel1->setFont(title);
  ShadowLabel1->SetFontColor(QColor(128, 0, 0));
  ShadowLabel1->SetShadowColor(QPalette::ButtonText);
  ShadowLabel1->SetShadowPos(spLeftBottom);
  ShadowLabel1->SetShadowSize(1);
  ShadowLabel1->SetTransparent(true);

  Image1 = new QLabel(this);
  Image1->setGeometry(16, 264, 108, 81);
  Image1->setScaledContents(true);  // stretched, proportions not kept
  Image1->setAccessibleName(QStringLiteral("A moon rising over waves of sound"));

  Image2 = new QLabel(this);
  Image2->setGeometry(8, 16, 41, 41);
  Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image2->setAccessibleName(QStringLiteral("Varnex's icon, a note"));

  Memo1 = new QPlainTextEdit(this);
  Memo1->setGeometry(13, 56, 289, 193);
  QFont memo = Font("Arial", 11);
  memo.setItalic(true);
  Memo1->setFont(memo);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setBackgroundRole(QPalette::Window);
  Memo1->viewport()->setAutoFillBackground(false);
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  Memo1->setTabChangesFocus(true);  // Tab moves on, as in any form; it types no tab character
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setAccessibleName(QStringLiteral("About Varnex"));

  LoadAboutResources();
  Image1->setPixmap(Picture());
  Image2->setPixmap(QPixmap(QStringLiteral(":/about/icon.png")));

  // From the text down: the text, the links, then Close.
  setTabOrder(Memo1, UrlLabel1);
  setTabOrder(UrlLabel1, UrlLabel2);
  setTabOrder(UrlLabel2, FermerBtn);
}

void TAproposFrame::ShowPanel() {
  if (Memo1 == nullptr) {
    CreateControls();
  }
  raise();
  move(0, y());
  move(x(), 0);
  UrlLabel2->SetMailSubject(kMailSubject);
  savedSize_ = window_.frameGeometry().size();
  ShadowLabel1->SetCaption(QString::fromStdString(kTitle));
  Memo1->setPlainText(AboutText(mediaLibrary_));
  // The window has no scroll bars of its own to switch off; its client area takes the panel's size.
  window_.setFixedSize(width(), height());
  CoverWindowControls();
  show();
  Memo1->setFocus(Qt::OtherFocusReason);  // the first of the panel's controls in tab order
}

// Closing before the first show only hides the panel: there is no saved size to go back to.
void TAproposFrame::FermerBtnClick() {
  hide();
  if (savedSize_) {
    window_.setFixedSize(*savedSize_ - FrameExtra(window_));
  }
  UncoverWindowControls();
}

// The window's other controls lie under the panel: hidden, so that neither Tab, nor their keys,
// nor a screen reader reaches what cannot be seen.
void TAproposFrame::CoverWindowControls() {
  if (isVisible()) {
    return;  // shown already: they are covered
  }
  focusBefore_ = window_.focusWidget();
  for (QWidget* control : window_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (control != this && !control->isWindow() && control->isVisibleTo(&window_)) {
      covered_.emplace_back(control);
      control->hide();
    }
  }
}

void TAproposFrame::UncoverWindowControls() {
  for (const QPointer<QWidget>& control : std::exchange(covered_, {})) {
    if (control) {
      control->show();
    }
  }
  if (focusBefore_ && focusBefore_->isVisible()) {
    focusBefore_->setFocus(Qt::OtherFocusReason);
  }
}

}  // namespace varnex
