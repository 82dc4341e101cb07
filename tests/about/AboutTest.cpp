#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QFile>
#include <QFontDatabase>
#include <QTest>
#include <QToolTip>
#include <set>

#include "about/TAproposFrame.h"
#include "about/TShadowLabel.h"
#include "about/TUrlLabel.h"
#include "platform/Version.h"
#include "platform/image/JpegImage.h"
#include "tests/support/RecordingLinkOpener.h"

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

// The colours of a widget's pixels, drawn over white.
std::set<QRgb> DrawnColours(QWidget& widget) {
  QImage image(widget.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  widget.render(&image, {}, {}, QWidget::DrawChildren);
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
  start.setUnderline(true);
  label.setFont(start);
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&label, &enter);
  EXPECT_EQ(label.FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(label.font().underline());
  EXPECT_FALSE(label.font().bold());
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
  window.setBackgroundRole(QPalette::Button);
  TUrlLabel* link = new TUrlLabel(opener, &window);
  link->setText(QStringLiteral("Homepage of Tomvik"));
  link->SetFontColor(QColor(0, 0, 255));
  link->SetDetectMouse(false);  // underlined: a line of whole pixels in the font colour
  link->adjustSize();
  EXPECT_EQ(link->FontColor(), QColor(0, 0, 255));
  EXPECT_TRUE(DrawnColours(*link).contains(0x0000FF));
  EXPECT_FALSE(DrawnColours(*link).contains(0x000000));
  link->SetFontColor(QColor(0, 0, 128));
  EXPECT_TRUE(DrawnColours(*link).contains(0x000080));
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
  QImage image(label.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  label.render(&image);
  bool maroon = false, black = false;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      maroon = maroon || image.pixelColor(x, y) == QColor(128, 0, 0);
      black = black || image.pixelColor(x, y) == Qt::black;
    }
  }
  EXPECT_TRUE(maroon && black);
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

TEST_F(AboutPanelTest, ShowCoversTheWindowAndCloseGivesItsSizeBack) {
  EXPECT_EQ(panel->geometry(), QRect(-500, -2, 305, 443));
  EXPECT_TRUE(panel->isVisible());
  const QSize before = window.frameGeometry().size();
  panel->ShowPanel();
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
