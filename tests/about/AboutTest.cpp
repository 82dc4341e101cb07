#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QFontDatabase>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <set>

#include "about/TAproposFrame.h"
#include "about/TShadowLabel.h"
#include "about/TUrlLabel.h"
#include "platform/Version.h"
#include "platform/image/JpegImage.h"
#include "tests/support/RecordingLinkOpener.h"
#include "widgets/Colours.h"

namespace varnex {
namespace {

// "Varnex version 1.1en " for version 1.1.
const std::string kCaption = std::string("Varnex version ") + kVersion + "en ";

TEST(ComposeUrl, EveryKindAndTheMailParameters) {
  const std::pair<TUrlType, std::string> prefixes[] = {
      {utFile, "file://"},   {utFtp, "ftp://"}, {utGopher, "gopher://"}, {utHttp, "http://"},
      {utHttps, "https://"}, {utNews, "news:"}, {utTelnet, "telnet:"},   {utWais, "wais:"}};
  for (const auto& [type, prefix] : prefixes) {
    EXPECT_EQ(ComposeUrl(type, "ignored", "a b&c", "s", "b"), prefix + "a b&c");
  }
  EXPECT_EQ(ComposeUrl(utCustom, "", "https://example.org/x", "", ""), "https://example.org/x");
  EXPECT_EQ(ComposeUrl(utCustom, "irc://", "host", "", ""), "irc://host");
  EXPECT_EQ(ComposeUrl(utMail, "", "me@example.org", "", ""), "mailto:me@example.org");
  EXPECT_EQ(ComposeUrl(utMail, "", "me@example.org", "About Varnex version 1.1en ", ""),
            "mailto:me@example.org?Subject=About Varnex version 1.1en ");
  EXPECT_EQ(ComposeUrl(utMail, "", "me@example.org", "", "hi there"),
            "mailto:me@example.org?Body=hi there");
  EXPECT_EQ(ComposeUrl(utMail, "", "me@example.org", "s", "b"),
            "mailto:me@example.org?Subject=s&Body=b");
}

// A widget as it draws itself over white.
QImage Rendered(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  widget.render(&image, {}, {}, QWidget::DrawChildren);
  return image;
}

// The colours of a widget's pixels, drawn over white.
std::set<QRgb> DrawnColours(QWidget& widget) {
  const QImage image = Rendered(widget);
  std::set<QRgb> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      colours.insert(image.pixel(x, y) & 0xFFFFFF);
    }
  }
  return colours;
}

class UrlLabelTest : public testing::Test {
 protected:
  // A blue link on a window whose background is the button face, as in the about panel.
  TUrlLabel* BlueLinkOn(QWidget& window) {
    window.setBackgroundRole(QPalette::Button);
    auto* link = new TUrlLabel(opener, &window);
    link->SetCaption(QStringLiteral("Homepage of Tomvik"));
    link->SetFontColor(QColor(0, 0, 255));
    return link;
  }

  test::RecordingLinkOpener opener;
  TUrlLabel label{opener};
};

TEST_F(UrlLabelTest, StartsNavyWithItsTargetAsHint) {
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 128));
  EXPECT_EQ(label.URLType(), utHttp);
  EXPECT_EQ(label.toolTip(), QStringLiteral("http://"));
  EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
  const bool verdana = QFontDatabase::families().contains(QStringLiteral("Verdana"));
  EXPECT_EQ(label.font().family(), verdana ? QStringLiteral("Verdana") : QStringLiteral("Arial"));
  EXPECT_FALSE(label.font().underline());  // the first DetectMouse is only stored
}

TEST_F(UrlLabelTest, HintFollowsTheTargetOnlyWhereItShould) {
  label.SetURL("example.org");
  EXPECT_EQ(label.toolTip(), QStringLiteral("http://example.org"));
  label.SetURLType(utHttps);  // only stored: the hint keeps the former target
  EXPECT_EQ(label.toolTip(), QStringLiteral("http://example.org"));
  label.SetMailBody("x");
  EXPECT_EQ(label.toolTip(), QStringLiteral("https://example.org"));
  label.SetShowUrlHint(false);
  EXPECT_EQ(label.toolTip(), QString());
  label.setToolTip(QStringLiteral("my own"));
  label.SetShowUrlHint(true);
  label.setToolTip(QStringLiteral("my own"));
  label.SetShowUrlHint(false);
  EXPECT_EQ(label.toolTip(), QStringLiteral("my own"));
}

TEST_F(UrlLabelTest, PointerChangesTheLookWhileDetectMouseIsOn) {
  QFont start = label.font();
  start.setBold(true);
  start.setItalic(true);
  start.setStrikeOut(true);
  start.setUnderline(true);
  label.setFont(start);
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&label, &enter);
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(label.font().underline());
  EXPECT_FALSE(label.font().bold() || label.font().italic() || label.font().strikeOut());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&label, &leave);
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 128));
  EXPECT_FALSE(label.font().underline());

  label.SetDetectMouse(false);
  EXPECT_TRUE(label.font().underline());
  QApplication::sendEvent(&label, &enter);
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 128));
  int entered = 0;
  label.OnMouseEnter = [&entered](TUrlLabel*) { ++entered; };
  QApplication::sendEvent(&label, &enter);
  EXPECT_EQ(entered, 1);
  std::vector<TUrlLabel*> left;
  label.OnMouseLeave = [&left](TUrlLabel* sender) { left.push_back(sender); };
  QApplication::sendEvent(&label, &leave);
  EXPECT_EQ(left, std::vector<TUrlLabel*>{&label});
}

TEST_F(UrlLabelTest, ClickHandsTheExactTargetToTheDesktop) {
  label.SetURLType(utMail);
  label.SetURL("tomvik@example.org");
  label.SetMailSubject("About Varnex version 1.1en ");
  label.resize(100, 13);
  QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(opener.opened, std::vector<std::string>{
                               "mailto:tomvik@example.org?Subject=About Varnex version 1.1en "});
}

// One press and one release of the left button, both on the label, open the target once; the
// platform sends a double click as press, release, press, double click, release.
TEST_F(UrlLabelTest, OnlyALeftClickOnTheLabelOpensAndOnlyOnce) {
  label.SetURL("example.org");
  label.resize(100, 13);
  const QPoint inside(5, 5);
  const auto send = [this, inside](QEvent::Type type, Qt::MouseButton button, QPoint at) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, label.mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(&label, &event);
  };
  send(QEvent::MouseButtonPress, Qt::LeftButton, inside);
  send(QEvent::MouseButtonRelease, Qt::LeftButton, inside);
  send(QEvent::MouseButtonPress, Qt::LeftButton, inside);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton, inside);
  send(QEvent::MouseButtonRelease, Qt::LeftButton, inside);
  EXPECT_EQ(opener.opened, std::vector<std::string>{"http://example.org"}) << "double click";

  opener.opened.clear();
  send(QEvent::MouseButtonRelease, Qt::LeftButton, inside);  // pressed elsewhere
  send(QEvent::MouseButtonPress, Qt::LeftButton, inside);
  send(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(150, 5));  // let go beside it
  send(QEvent::MouseButtonRelease, Qt::LeftButton, inside);          // no press before it
  QTest::mouseClick(&label, Qt::RightButton, {}, inside);
  QTest::mouseClick(&label, Qt::MiddleButton, {}, inside);
  EXPECT_EQ(opener.opened, std::vector<std::string>{});

  send(QEvent::MouseButtonPress, Qt::LeftButton, inside);
  send(QEvent::MouseButtonPress, Qt::RightButton, inside);  // the left button is still down
  send(QEvent::MouseButtonRelease, Qt::RightButton, inside);
  send(QEvent::MouseButtonRelease, Qt::LeftButton, inside);
  EXPECT_EQ(opener.opened, std::vector<std::string>{"http://example.org"});
}

// The hint follows the target, but the label shows no hint unless told to: the about panel's
// links never do, as the window they sit on shows no hints of its own. Like any control that shows
// no hint, it leaves the pointer to its parent, whose own hint shows if it has one.
TEST_F(UrlLabelTest, KeepsItsHintWithoutShowingIt) {
  QWidget panel;
  panel.resize(200, 50);
  TUrlLabel* link = new TUrlLabel(opener, &panel);
  link->SetURL("example.org");
  link->resize(100, 13);
  panel.show();
  const auto hover = [link] {
    QToolTip::hideText();
    QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), link->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(link, &event);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  };
  EXPECT_FALSE(link->ShowHint());
  EXPECT_EQ(hover(), "");
  EXPECT_EQ(link->toolTip(), QStringLiteral("http://example.org"));
  panel.setToolTip(QStringLiteral("the panel's own hint"));
  EXPECT_EQ(hover(), "the panel's own hint");
  link->SetShowHint(true);
  EXPECT_EQ(hover(), "http://example.org");
  QToolTip::hideText();
}

// The label's text is drawn in its font colour on any background, also on a window whose
// background is the button face, which would otherwise give its children the button-text colour.
TEST_F(UrlLabelTest, DrawsItsTextInItsFontColour) {
  QWidget window;
  TUrlLabel* link = BlueLinkOn(window);
  link->SetDetectMouse(false);  // underlined: a line of whole pixels in the font colour
  EXPECT_EQ(link->FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(DrawnColours(*link).contains(0x0000FF));
  EXPECT_FALSE(DrawnColours(*link).contains(0x000000));
  link->SetFontColor(QColor(0, 0, 128));
  EXPECT_TRUE(DrawnColours(*link).contains(0x000080));
}

// Tab reaches the label; Enter (also the keypad's) and Space open it, each once, and only without
// a modifier key. A screen reader knows it as a link, named by its caption, that it can press.
TEST_F(UrlLabelTest, KeyboardAndScreenReadersOpenIt) {
  label.SetURL("example.org");
  label.SetCaption(QStringLiteral("Homepage"));
  EXPECT_TRUE(label.focusPolicy() & Qt::TabFocus);
  const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {{Qt::Key_Return, {}},
                                                            {Qt::Key_Enter, Qt::KeypadModifier},
                                                            {Qt::Key_Space, {}},
                                                            {Qt::Key_Return, Qt::ControlModifier},
                                                            {Qt::Key_Space, Qt::ShiftModifier},
                                                            {Qt::Key_Enter, Qt::AltModifier},
                                                            {Qt::Key_O, {}}};
  for (const auto& [key, modifiers] : keys) {
    QTest::keyClick(&label, key, modifiers);
  }
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
  QApplication::sendEvent(&label, &held);
  EXPECT_EQ(opener.opened, std::vector<std::string>(3, "http://example.org"));

  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&label);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->role(), QAccessible::Link);
  EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Homepage"));
  EXPECT_EQ(reader->text(QAccessible::Description), QStringLiteral("http://example.org"));
  const QString press = QAccessibleActionInterface::pressAction();
  ASSERT_TRUE(reader->actionInterface()->actionNames().contains(press));
  reader->actionInterface()->doAction(press);
  EXPECT_EQ(opener.opened.size(), 4u);
  QWidget window;
  QPushButton* elsewhere = new QPushButton(&window);
  label.setParent(&window);
  window.show();
  QApplication::setActiveWindow(&window);
  elsewhere->setFocus();
  reader->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
  EXPECT_TRUE(label.hasFocus());
  label.setParent(nullptr);
}

// The caption is plain text, and the label fits its width to it and to its font.
TEST_F(UrlLabelTest, FitsItsPlainCaption) {
  const auto width = [this](const QString& text) {
    return QFontMetrics(label.font()).horizontalAdvance(text);
  };
  label.SetCaption(QStringLiteral("<b>Homepage</b>"));
  EXPECT_EQ(label.Caption(), QStringLiteral("<b>Homepage</b>"));
  EXPECT_GE(label.width(), width(QStringLiteral("<b>Homepage</b>")));
  label.SetCaption(QStringLiteral("a much longer caption than the one before"));
  const int longer = label.width();
  EXPECT_GE(longer, width(QStringLiteral("a much longer caption than the one before")));
  label.SetCaption(QStringLiteral("short"));
  EXPECT_LT(label.width(), width(QStringLiteral("a much longer")));
  label.SetCaption(QStringLiteral("a much longer caption than the one before"));
  QFont bold = label.font();
  bold.setBold(true);
  label.setFont(bold);
  EXPECT_GT(label.width(), longer);
}

// On a dark scheme the design's blue would not stand out: the scheme's link colour, lightened
// until it does; on the light one the design's colour stays.
TEST_F(UrlLabelTest, DrawsALegibleColourOnADarkScheme) {
  QWidget window;
  TUrlLabel* link = BlueLinkOn(window);
  EXPECT_EQ(link->DrawnColor(), QColor(0, 0, 255));
  QPalette dark = window.palette();
  dark.setColor(QPalette::Button, QColor(66, 66, 69));
  dark.setColor(QPalette::Link, QColor(9, 134, 211));
  window.setPalette(dark);
  link->SetFontColor(QColor(0, 0, 255));
  const QColor drawn = link->DrawnColor();
  EXPECT_GE(ContrastRatio(drawn, QColor(66, 66, 69)), kTextContrast);
  EXPECT_NEAR(drawn.hslHueF(), QColor(9, 134, 211).hslHueF(), 0.01);
  link->SetDetectMouse(false);  // underlined: a line of whole pixels in the drawn colour
  EXPECT_TRUE(DrawnColours(*link).contains(drawn.rgb() & 0xFFFFFF));
  EXPECT_FALSE(DrawnColours(*link).contains(0x0000FF));
}

// The fitted size for each shadow position, against the text's own extents.
TEST(ShadowLabel, FitsItsTextAndTheShadowsOverhang) {
  TShadowLabel label;
  label.SetCaption(QStringLiteral("Varnex version 1.1en "));
  // The text's extents as the platform measures them for drawing.
  const QFontMetrics metrics(label.font());
  const auto textWidth = [&metrics](const QString& text, int flags) {
    return metrics.size(Qt::TextExpandTabs | flags, text).width();
  };
  const int width = textWidth(QStringLiteral("Varnex version 1.1en "), Qt::TextShowMnemonic);
  const int height = metrics.height();
  const std::pair<TShadowPosition, QSize> cases[] = {
      {spLeftTop, {width + 2, height}},
      {spLeftBottom, {width + 2, height + 1}},
      {spRightBottom, {width + 3, height + 1}},
      {spRightTop, {width + 3, height}},
  };
  for (const auto& [position, size] : cases) {
    label.SetShadowPos(position);
    label.FitToText();
    EXPECT_EQ(label.size(), size) << position;
  }
  label.SetShadowPos(spRightBottom);
  label.SetShadowSize(3);
  EXPECT_EQ(label.size(), QSize(width + 5, height + 3));

  label.SetCaption(QString());  // still one line high
  EXPECT_EQ(label.height(), height + 3);
  label.SetCaption(QStringLiteral("&"));
  EXPECT_EQ(label.size(),
            QSize(textWidth(QStringLiteral("& "), Qt::TextShowMnemonic) + 5, height + 3));
  label.SetShowAccelChar(false);
  label.FitToText();
  EXPECT_EQ(label.width(), textWidth(QStringLiteral("&"), 0) + 5);
}

// The caption drawn by hand as the label should draw it: on white, the shadow copy first, moved by
// `offset`, then the text over it, both in `box`.
QImage Reference(const TShadowLabel& label, QRect box, QPoint offset, QColor text, QColor shadow) {
  QImage image(label.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setFont(label.font());
  const int flags = Qt::TextShowMnemonic | Qt::TextExpandTabs | label.Alignment() | Qt::AlignTop;
  painter.setPen(shadow);
  painter.drawText(box.translated(offset), flags, label.Caption());
  painter.setPen(text);
  painter.drawText(box, flags, label.Caption());
  return image;
}

// Every look the label can take, pixel for pixel: the shadow's direction and size, the text one
// pixel in from the left at the top, or placed by the layout in a label of its own size, and the
// disabled look (grey text, highlight shadow, at least one pixel of it).
TEST(ShadowLabel, DrawsTextAndShadowWhereTheyBelong) {
  const QColor text(128, 0, 0), shadow(0, 0, 200), grey(100, 100, 100), highlight(0, 160, 0);
  const struct {
    TShadowPosition position;
    int size;
    Qt::Alignment alignment;
    Qt::Alignment layout;
    bool enabled;
  } looks[] = {
      {spLeftTop, 1, Qt::AlignLeft, Qt::AlignTop, true},
      {spLeftBottom, 1, Qt::AlignLeft, Qt::AlignTop, true},
      {spRightBottom, 3, Qt::AlignLeft, Qt::AlignTop, true},
      {spRightTop, 2, Qt::AlignRight, Qt::AlignTop, true},
      {spLeftBottom, 1, Qt::AlignLeft, Qt::AlignVCenter, true},
      {spLeftTop, 2, Qt::AlignRight, Qt::AlignVCenter, true},
      {spRightBottom, 2, Qt::AlignHCenter, Qt::AlignBottom, true},
      {spLeftBottom, 0, Qt::AlignLeft, Qt::AlignTop, false},
      {spLeftTop, 2, Qt::AlignLeft, Qt::AlignVCenter, false},
  };
  for (const auto& look : looks) {
    SCOPED_TRACE(testing::Message() << look.position << " size " << look.size << " layout "
                                    << look.layout << " enabled " << look.enabled);
    TShadowLabel label;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(19);
    font.setBold(true);
    label.setFont(font);
    QPalette colours = label.palette();
    colours.setColor(QPalette::Disabled, QPalette::Text, grey);
    colours.setColor(QPalette::Light, highlight);
    label.setPalette(colours);
    label.SetFontColor(text);
    label.SetShadowColor(shadow);
    label.SetTransparent(true);
    label.SetShadowPos(look.position);
    label.SetShadowSize(static_cast<std::uint8_t>(look.size));
    label.SetAlignment(look.alignment);
    label.SetLayout(look.layout);
    label.setEnabled(look.enabled);
    label.SetCaption(QStringLiteral("Wa&y\t1"));

    const bool plain = look.enabled || look.size > 0;
    const QPoint offset =
        ShadowOffset(plain ? look.position : spRightBottom, plain ? look.size : 1);
    const QFontMetrics metrics(font);
    const QSize textSize = metrics.size(Qt::TextShowMnemonic | Qt::TextExpandTabs, label.Caption());
    QRect box;
    if (look.layout & Qt::AlignTop) {
      // Fitted to the text and the shadow's overhang to the right and below.
      EXPECT_EQ(label.size(), QSize(textSize.width() + 2 + std::max(0, offset.x()),
                                    textSize.height() + std::max(0, offset.y())));
      box = QRect(1, 0, label.width() - 2, label.height());
    } else {
      label.SetAutoSize(false);
      label.resize(160, 61);
      const int top = std::min(0, offset.y());
      int shift = label.height() - (textSize.height() + std::max(0, offset.y()));
      if (look.layout & Qt::AlignVCenter) {
        shift /= 2;
      }
      box = QRect(0, top + shift, label.width(), 2 * label.height());
    }
    EXPECT_TRUE(Rendered(label) == Reference(label, box, offset, look.enabled ? text : grey,
                                             look.enabled ? shadow : highlight));
  }
}

// The shadow's desktop colour is looked up as it is drawn, so it follows a change of scheme; a
// font colour that would not stand out from the background is drawn lighter, in its own hue.
TEST(ShadowLabel, FollowsTheSchemeAndStaysLegible) {
  QWidget panel;
  TShadowLabel* label = new TShadowLabel(&panel);
  label->SetTransparent(true);
  label->SetShadowPos(spLeftBottom);
  label->SetShadowColor(QPalette::ButtonText);
  label->SetFontColor(QColor(128, 0, 0));
  label->SetCaption(QStringLiteral("Varnex"));
  const QRect box(1, 0, label->width() - 2, label->height());
  QPalette scheme = panel.palette();
  scheme.setColor(QPalette::ButtonText, QColor(0, 0, 200));
  panel.setPalette(scheme);
  EXPECT_TRUE(Rendered(*label) ==
              Reference(*label, box, {-1, 1}, QColor(128, 0, 0), QColor(0, 0, 200)));

  scheme.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  scheme.setColor(QPalette::Window, QColor(66, 66, 69));
  panel.setPalette(scheme);
  const QColor legible =
      Legible(QColor(128, 0, 0), QColor(66, 66, 69), kTextContrast, QColor(128, 0, 0));
  EXPECT_GE(ContrastRatio(legible, QColor(66, 66, 69)), kTextContrast);
  EXPECT_TRUE(Rendered(*label) == Reference(*label, box, {-1, 1}, legible, QColor(230, 230, 230)));
  label->SetTransparent(false);  // on its own background, the parent's until one is set
  EXPECT_EQ(label->Color(), QColor(66, 66, 69));
  label->SetColor(QColor(250, 250, 250));
  EXPECT_EQ(Rendered(*label).pixelColor(0, 0), QColor(250, 250, 250));

  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(label);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->role(), QAccessible::StaticText);
  label->SetCaption(QStringLiteral("Rock && &Roll"));
  EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Rock & Roll"));
  label->SetShowAccelChar(false);
  EXPECT_EQ(reader->text(QAccessible::Name), QStringLiteral("Rock && &Roll"));
}

// A new label is 65 x 17 until it fits itself; with word wrap it keeps its width and breaks its
// caption into lines within it; a new font is fitted at once.
TEST(ShadowLabel, WrapsWithinItsWidthAndFitsANewFont) {
  TShadowLabel label;
  EXPECT_EQ(label.size(), QSize(65, 17));
  const QString caption = QStringLiteral("one two three four five six");
  const int line = QFontMetrics(label.font()).height();
  label.SetWordWrap(true);
  label.SetCaption(caption);
  EXPECT_LE(label.width(), 65 + 1);
  EXPECT_GE(label.height(), 3 * line);
  label.SetWordWrap(false);
  EXPECT_EQ(label.height(), line);
  EXPECT_GT(label.width(), 100);
  QFont larger = label.font();
  larger.setPixelSize(40);
  label.setFont(larger);
  EXPECT_EQ(label.height(), QFontMetrics(larger).size(Qt::TextShowMnemonic, caption).height());
}

TEST(ShadowLabel, RightAlignedKeepsItsRightEdge) {
  TShadowLabel label;
  label.SetAlignment(Qt::AlignRight);
  label.move(100, 10);
  const int right = label.geometry().right();
  label.SetCaption(QStringLiteral("a much longer caption"));
  EXPECT_EQ(label.geometry().right(), right);
}

TEST(ShadowLabel, DrawsTheShadowUnderTheText) {
  TShadowLabel label;
  label.SetShadowPos(spLeftBottom);
  label.SetShadowColor(Qt::black);
  label.SetFontColor(QColor(128, 0, 0));
  label.SetCaption(QStringLiteral("W"));
  const std::set<QRgb> colours = DrawnColours(label);
  EXPECT_TRUE(colours.contains(0x800000) && colours.contains(0x000000));
}

class AboutPanelTest : public testing::Test {
 protected:
  void SetUp() override {
    window.setFixedSize(472, 352);
    window.show();
  }
  test::RecordingLinkOpener opener;
  QWidget window;
  TAproposFrame* panel = new TAproposFrame(opener, &window);
};

// Out of view, the panel is hidden, so nothing of it can be reached; its controls other than Close
// are made when it is first shown, not with the window.
TEST_F(AboutPanelTest, ShowCoversTheWindowAndCloseGivesItsSizeBack) {
  EXPECT_EQ(panel->geometry(), QRect(-500, -2, 305, 443));
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(panel->findChildren<QWidget*>(), QList<QWidget*>{panel->FermerBtn});
  const QSize before = window.frameGeometry().size();
  panel->ShowPanel();
  EXPECT_EQ(panel->Image1->pixmap().size(), QSize(548, 372));
  EXPECT_EQ(panel->UrlLabel1->geometry(), QRect(QPoint(144, 272), panel->UrlLabel1->sizeHint()));
  EXPECT_EQ(panel->UrlLabel2->geometry(), QRect(QPoint(152, 304), panel->UrlLabel2->sizeHint()));
  EXPECT_EQ(panel->Image2->pixmap().size(), QSize(32, 32));
  EXPECT_EQ(panel->FermerBtn->geometry(), QRect(136, 360, 75, 25));
  EXPECT_EQ(panel->pos(), QPoint(0, 0));
  EXPECT_EQ(window.size(), QSize(305, 443));
  EXPECT_EQ(panel->ShadowLabel1->Caption(), QString::fromStdString(kCaption));
  EXPECT_EQ(panel->UrlLabel2->toolTip(),
            QString::fromStdString("mailto:tomvik@example.org?Subject=About " + kCaption));
  EXPECT_EQ(panel->Memo1->toPlainText().split(QStringLiteral("\n\n")).size(), 5);
  panel->FermerBtnClick();
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(window.frameGeometry().size(), before);
}

TEST_F(AboutPanelTest, SecondShowSavesThePanelSize) {
  panel->ShowPanel();
  panel->Memo1->setPlainText(QStringLiteral("typed by the user"));
  panel->ShowPanel();
  EXPECT_NE(panel->Memo1->toPlainText(), QStringLiteral("typed by the user"));
  panel->FermerBtnClick();
  EXPECT_EQ(window.size(), QSize(305, 443));
}

// While shown, the window's other controls are hidden under it and Tab goes round the panel's own:
// the text, the two links, Close. Close gives them back with the focus where it was.
TEST_F(AboutPanelTest, WhatItCoversCannotBeReached) {
  auto* aboutButton = new QPushButton(QStringLiteral("About..."), &window);
  aboutButton->show();
  QApplication::setActiveWindow(&window);
  aboutButton->setFocus();
  EXPECT_FALSE(panel->CloseAnswersEscape() && panel->isVisible());
  panel->ShowPanel();
  EXPECT_FALSE(aboutButton->isVisible());
  EXPECT_TRUE(panel->CloseAnswersEscape());
  std::vector<QWidget*> visited;
  for (int i = 0; i < 5; ++i) {
    visited.push_back(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(visited, (std::vector<QWidget*>{panel->Memo1, panel->UrlLabel1, panel->UrlLabel2,
                                            panel->FermerBtn, panel->Memo1}));
  panel->FermerBtnClick();
  EXPECT_TRUE(aboutButton->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), aboutButton);
  EXPECT_FALSE(panel->CloseAnswersEscape());
}

TEST_F(AboutPanelTest, CloseBeforeTheFirstShowLeavesTheWindowAlone) {
  panel->FermerBtnClick();
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(window.size(), QSize(472, 352));
}

// On the window's button-face background, as in the program: blue as the panel sets them and while
// the pointer is over them, navy without underline once it has left.
TEST_F(AboutPanelTest, LinksAreBlueThenNavyAfterThePointerLeaves) {
  window.setBackgroundRole(QPalette::Button);
  panel->ShowPanel();
  for (TUrlLabel* link : {panel->UrlLabel1, panel->UrlLabel2}) {
    EXPECT_TRUE(DrawnColours(*link).contains(0x0000FF));
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(DrawnColours(*link).contains(0x0000FF));
    EXPECT_TRUE(link->font().underline());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->FontColor(), QColor(0, 0, 128));
    EXPECT_FALSE(link->font().underline());
    const std::set<QRgb> navy = DrawnColours(*link);
    EXPECT_FALSE(navy.contains(0x0000FF) || navy.contains(0x000000));
    EXPECT_FALSE(link->ShowHint());
  }
}

TEST_F(AboutPanelTest, LinksOpenTheirTargets) {
  panel->ShowPanel();
  QTest::mouseClick(panel->UrlLabel1, Qt::LeftButton, {}, QPoint(3, 3));
  QTest::mouseClick(panel->UrlLabel2, Qt::LeftButton, {}, QPoint(3, 3));
  EXPECT_EQ(opener.opened,
            (std::vector<std::string>{"https://example.org/tomvik/",
                                      "mailto:tomvik@example.org?Subject=About " + kCaption}));
  EXPECT_EQ(panel->UrlLabel1->FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(panel->UrlLabel1->font().underline());
}

// The library the program is built with is libjpeg-turbo, which reports the version text of the
// old interface it offers ("6b 27-Mar-1998"); the about text names the library really used.
TEST(JpegImage, TheAboutTextNamesTheLibraryInUse) {
#ifndef VARNEX_JPEG_PACKAGE_VERSION
  GTEST_SKIP() << "pkg-config knows no libjpeg package here, so there is no version to compare";
#else
  const std::string name = "libjpeg-turbo " VARNEX_JPEG_PACKAGE_VERSION;
  EXPECT_EQ(JpegImage::LibraryName(), name);
  const QString text = AboutText(QStringLiteral("GStreamer 1.22.0"));
  EXPECT_TRUE(text.contains(QString::fromStdString(name))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("GStreamer 1.22.0"))) << text.toStdString();
  EXPECT_FALSE(text.contains(QStringLiteral("1998"))) << text.toStdString();
#endif
}

TEST(JpegImage, DecodesThePictureAndRefusesATruncatedOne) {
  QFile file(QStringLiteral(VARNEX_ABOUT_PICTURE));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
  JpegImage image;
  std::string error;
  ASSERT_TRUE(image.LoadFromMemory(data, error)) << error;
  EXPECT_EQ(image.Width(), 548);
  EXPECT_EQ(image.Height(), 372);
  EXPECT_EQ(image.Pixels().size(), 548u * 372u * 3u);

  data.resize(data.size() / 2);
  JpegImage truncated;
  EXPECT_FALSE(truncated.LoadFromMemory(data, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(truncated.LoadFromMemory({0xFF, 0xD8, 0x00}, error));
  EXPECT_FALSE(truncated.LoadFromMemory({}, error));
}

}  // namespace
}  // namespace varnex
