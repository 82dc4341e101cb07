#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QProxyStyle>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <set>

#include "platform/fs/PosixFileSystem.h"
#include "tests/support/FakeFolderDialog.h"
#include "widgets/Colours.h"
#include "widgets/Glyphs.h"
#include "widgets/TDirectoryEdit.h"
#include "widgets/TRadioGroup.h"
#include "widgets/TTrackBar.h"

namespace varnex {
namespace {

const QColor kLightFace(239, 239, 239);
const QColor kDarkFace(66, 66, 69);

TEST(Colours, DesignColoursStayWhereTheyStandOutAndOthersAreFound) {
  EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(kDarkFace, kDarkFace), 1.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(QColor(0, 0, 255), kLightFace), 7.47, 0.01);
  EXPECT_NEAR(ContrastRatio(QColor(128, 0, 0), kDarkFace), 1.09, 0.01);

  const QColor link(9, 134, 211);  // a dark scheme's link colour, too dark on its own face
  const struct {
    QColor wanted, background;
    double ratio;
    QColor alternative;
  } cases[] = {
      {QColor(0, 0, 255), kLightFace, kTextContrast, link},            // kept on a light face
      {link, kLightFace, ContrastRatio(link, kLightFace), Qt::black},  // kept, just enough
      {QColor(0, 0, 255), kDarkFace, kTextContrast, link},             // the link colour, lightened
      {QColor(0, 0, 128), kDarkFace, kGlyphContrast, Qt::white},       // the alternative as it is
      {QColor(255, 255, 0), kLightFace, kTextContrast, QColor(255, 200, 0)},  // darkened
      {Qt::gray, QColor(128, 128, 128), 21.0, Qt::gray},  // out of reach: as far as it goes
  };
  for (const auto& [wanted, background, ratio, alternative] : cases) {
    const QColor legible = Legible(wanted, background, ratio, alternative);
    SCOPED_TRACE(legible.name().toStdString());
    if (ContrastRatio(wanted, background) >= ratio) {
      EXPECT_EQ(legible, wanted);
    } else if (ContrastRatio(alternative, background) >= ratio) {
      EXPECT_EQ(legible, alternative);
    } else if (ratio < 21) {
      EXPECT_GE(ContrastRatio(legible, background), ratio);
      EXPECT_LT(ContrastRatio(legible, background), ratio + 0.2);  // no further than needed
      EXPECT_NEAR(legible.hslHueF(), alternative.hslHueF(), 0.01);
    } else {
      EXPECT_EQ(legible, QColor(Qt::black));
    }
  }

  QPalette palette;
  palette.setColor(QPalette::ButtonText, Qt::red);
  EXPECT_EQ(TColor(QPalette::ButtonText).In(palette), QColor(Qt::red));
  EXPECT_EQ(TColor(Qt::blue).In(palette), QColor(Qt::blue));
}

QColor InkOf(const QIcon& glyph, QIcon::Mode mode = QIcon::Normal) {
  const QImage image = glyph.pixmap(kButtonGlyphSize, 1.0, mode).toImage();
  return image.pixelColor(5, 4);  // inside the triangle, the bar and the hook alike
}

// Where a glyph's pixels lie (those at least half opaque), how many there are, in which colours
// its opaque ones are, and how many are neither transparent nor opaque: a blurred edge.
struct Shape {
  QRect box;
  int count = 0;
  std::map<QRgb, int> colours;
  int blurred = 0;
};

Shape ShapeOf(const QIcon& glyph, QSize size, qreal scale) {
  const QImage image = glyph.pixmap(size, scale).toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(image.size(), (QSizeF(size) * scale).toSize());
  Shape shape;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const int alpha = qAlpha(image.pixel(x, y));
      if (alpha >= 128) {
        shape.box |= QRect(x, y, 1, 1);
        ++shape.count;
      }
      if (alpha == 255) {
        ++shape.colours[image.pixel(x, y) & 0xFFFFFF];
      }
      shape.blurred += alpha != 0 && alpha != 255 ? 1 : 0;
    }
  }
  return shape;
}

// Each glyph as designed at 1x, and the same shape, larger, at the desktop's scales.
TEST(Glyphs, KeepTheirShapeAtEveryScale) {
  const struct {
    const char* name;
    QIcon glyph;
    QSize size;
    QRect box;
    int count;
    std::map<QRgb, int> colours;  // how many of the opaque pixels each colour has
    bool square;                  // only square edges: at 2x each pixel becomes 4
  } glyphs[] = {
      {"play", PlayGlyph(), kButtonGlyphSize, {4, 2, 7, 12}, 48, {{0x000080, 48}}, false},
      {"stop", StopGlyph(), kButtonGlyphSize, {4, 3, 8, 10}, 60, {{0x000080, 60}}, true},
      {"help", HelpGlyph(), kButtonGlyphSize, {3, 2, 10, 12}, 47, {{0x000080, 47}}, true},
      {"ok", OkGlyph(), kButtonGlyphSize, {1, 3, 14, 10}, 40, {{0x008000, 40}}, true},
      {"close", CloseGlyph(), kButtonGlyphSize, {3, 3, 10, 10}, 52, {{0x800000, 52}}, true},
      {"folder",
       FolderGlyph(),
       kFolderGlyphSize,
       {0, 1, 14, 11},
       145,
       {{0x808000, 56}, {0xFFFF80, 89}},
       false},
  };
  for (const auto& [name, glyph, size, box, count, colours, square] : glyphs) {
    const Shape designed = ShapeOf(glyph, size, 1.0);
    EXPECT_EQ(designed.box, box) << name;
    EXPECT_EQ(designed.count, count) << name;
    EXPECT_EQ(designed.colours, colours) << name;
    for (const qreal scale : {1.5, 2.0}) {
      const Shape scaled = ShapeOf(glyph, size, scale);
      const QRectF wanted(QPointF(box.topLeft()) * scale, QSizeF(box.size()) * scale);
      EXPECT_LE((QRectF(scaled.box).topLeft() - wanted.topLeft()).manhattanLength(), 2) << name;
      EXPECT_LE((QRectF(scaled.box).bottomRight() - wanted.bottomRight()).manhattanLength(), 2)
          << name << " at " << scale;
      EXPECT_NEAR(scaled.count, count * scale * scale, count * scale * scale / 10)
          << name << " at " << scale;
      if (scale == 2.0 && square) {
        const QImage twice = glyph.pixmap(size, 2.0).toImage();
        EXPECT_TRUE(twice == glyph.pixmap(size, 1.0).toImage().scaled(size * 2).convertToFormat(
                                 twice.format()))
            << name;
      }
    }
  }
}

TEST(Glyphs, TheFoldersDividerStaysUnderItsFlap) {
  const QImage twice = FolderGlyph().pixmap(kFolderGlyphSize, 2.0).toImage();
  EXPECT_EQ(twice.pixelColor(14, 9), QColor(128, 128, 0));
  EXPECT_EQ(twice.pixelColor(14, 12), QColor(255, 255, 128));
}

TEST(Glyphs, SharpAtEveryScaleAndInkThatStandsOutFromTheButton) {
  for (const qreal scale : {1.0, 1.25, 1.5, 2.0}) {
    for (const QIcon& glyph : {HelpGlyph(), StopGlyph(), OkGlyph(), CloseGlyph()}) {
      EXPECT_EQ(ShapeOf(glyph, kButtonGlyphSize, scale).blurred, 0) << scale;
    }
  }
  const QPalette light = QApplication::palette();
  for (const QIcon& glyph : {PlayGlyph(), StopGlyph(), HelpGlyph()}) {
    EXPECT_EQ(InkOf(glyph), QColor(0, 0, 128));
  }
  QPalette dark = light;
  dark.setColor(QPalette::Button, kDarkFace);
  dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
  dark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
  QApplication::setPalette(dark);
  const QIcon play = PlayGlyph();
  EXPECT_EQ(InkOf(play), QColor(230, 230, 230));  // looked up as it is drawn
  EXPECT_EQ(InkOf(play, QIcon::Disabled), QColor(128, 128, 128));
  // The check mark and the cross keep their meaning's hue, lighter.
  for (const auto& [glyph, hue] :
       {std::pair{OkGlyph(), QColor(0, 128, 0)}, std::pair{CloseGlyph(), QColor(128, 0, 0)}}) {
    const Shape shape = ShapeOf(glyph, kButtonGlyphSize, 1.0);
    ASSERT_EQ(shape.colours.size(), 1U);
    const QColor ink = QColor::fromRgb(shape.colours.begin()->first);
    EXPECT_EQ(ink.hslHue(), hue.hslHue());
    EXPECT_GE(ContrastRatio(ink, kDarkFace), kGlyphContrast);
  }
  QApplication::setPalette(light);
  EXPECT_EQ(InkOf(play), QColor(0, 0, 128));
}

// A window with a button before the group and one after it, as Tab meets them.
class RadioGroupTest : public testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window);
    for (QWidget* control : std::initializer_list<QWidget*>{before, group, after}) {
      layout->addWidget(control);
    }
    group->OnClick = [this](QObject*) { ++clicks; };
    window.show();
    QApplication::setActiveWindow(&window);
  }
  QWidget* Entry(int index) const { return group->Buttons().at(index); }
  QWidget* TabFrom(QWidget* from, bool back = false) const {
    from->setFocus();
    QTest::keyClick(from, Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
    return QApplication::focusWidget();
  }

  QWidget window;
  QPushButton* before = new QPushButton(QStringLiteral("before"));
  TRadioGroup* group = new TRadioGroup({QStringLiteral("mp3 "), QStringLiteral("iad ")});
  QPushButton* after = new QPushButton(QStringLiteral("after"));
  int clicks = 0;
};

TEST_F(RadioGroupTest, TabLandsOnTheCheckedEntryAndArrowsMoveTheChoice) {
  EXPECT_EQ(TabFrom(before), Entry(0));  // nothing checked: every entry is a stop
  group->SetItemIndex(0);
  EXPECT_EQ(TabFrom(after, true), Entry(0));
  EXPECT_EQ(TabFrom(Entry(0)), after);
  group->SetItemIndex(1);
  EXPECT_EQ(TabFrom(before), Entry(1));
  EXPECT_EQ(TabFrom(after, true), Entry(1));
  EXPECT_EQ(clicks, 0);

  QTest::keyClick(Entry(1), Qt::Key_Up);
  EXPECT_EQ(QApplication::focusWidget(), Entry(0));
  EXPECT_EQ(group->ItemIndex(), 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(TabFrom(after, true), Entry(0));
}

// A style whose group frame leaves a wider margin inside.
class WideGroupFrame final : public QProxyStyle {
 public:
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                       const QWidget* widget) const override {
    const QRect rect = QProxyStyle::subControlRect(control, option, part, widget);
    return control == CC_GroupBox && part == SC_GroupBoxContents ? rect.adjusted(8, 8, -8, -8)
                                                                 : rect;
  }
};

// Also after a new style, whose frame leaves another room inside the group.
TEST_F(RadioGroupTest, EntriesShareTheGroupsHeightAndWidth) {
  group->setFixedSize(105, 73);
  WideGroupFrame wide;
  for (QStyle* style : {group->style(), static_cast<QStyle*>(&wide)}) {
    group->setStyle(style);
    const QRect area = group->contentsRect();
    const QRect first = Entry(0)->geometry();
    const QRect second = Entry(1)->geometry();
    EXPECT_EQ(first.topLeft(), area.topLeft());
    EXPECT_EQ(second.bottomRight(), area.bottomRight());
    EXPECT_EQ(second.top(), first.bottom() + 1);
    EXPECT_LE(std::abs(first.height() - second.height()), 1);
    EXPECT_EQ(first.width(), area.width());
  }
  group->setStyle(nullptr);
}

TEST(TrackBar, KeysMoveByTheirStepsAndReadersReadTheReading) {
  TTrackBar bar;
  bar.setRange(0, 10000);
  bar.setValue(10000);
  bar.setSingleStep(100);
  bar.setPageStep(100);
  bar.SetKeyPageSize(1000);
  bar.SetReading(10000, 100, QStringLiteral("dB"));
  const std::pair<std::pair<Qt::Key, Qt::KeyboardModifiers>, int> keys[] = {
      {{Qt::Key_Left, {}}, 9900},
      {{Qt::Key_PageDown, {}}, 8900},
      {{Qt::Key_Right, {}}, 9000},
      {{Qt::Key_PageUp, {}}, 10000},
      {{Qt::Key_Home, {}}, 0},
      {{Qt::Key_PageUp, Qt::KeypadModifier}, 1000},
      {{Qt::Key_PageUp, Qt::ShiftModifier}, 1100},
  };
  for (const auto& [key, value] : keys) {
    QTest::keyClick(&bar, key.first, key.second);
    EXPECT_EQ(bar.value(), value) << key.first;
  }

  QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&bar);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->role(), QAccessible::Slider);
  QAccessibleValueInterface* value = reader->valueInterface();
  ASSERT_NE(value, nullptr);
  value->setCurrentValue(-6.5);
  EXPECT_EQ(bar.value(), 9350);
  EXPECT_EQ(value->currentValue().toDouble(), -6.5);
  EXPECT_EQ(reader->text(QAccessible::Value), QStringLiteral("-6.5 dB"));
  EXPECT_EQ(value->minimumValue().toDouble(), -100);
  EXPECT_EQ(value->maximumValue().toDouble(), 0);
  EXPECT_EQ(value->minimumStepSize().toDouble(), 1);

  bar.SetKeyPageSize(0);  // none of its own: the page size
  QTest::keyClick(&bar, Qt::Key_PageDown);
  EXPECT_EQ(bar.value(), 9250);
}

// The browse button never takes the focus: screen readers learn the key that presses it.
TEST(DirectoryEdit, ReadersCanPressTheBrowseButtonAndHearItsKey) {
  PosixFileSystem fs;
  test::FakeFolderDialog dialog;
  TDirectoryEdit field(fs, dialog);
  QAccessibleInterface* button = QAccessible::queryAccessibleInterface(field.Button());
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->role(), QAccessible::Button);
  EXPECT_EQ(button->text(QAccessible::Name), QStringLiteral("Choose a folder"));
  QAccessibleActionInterface* actions = button->actionInterface();
  ASSERT_NE(actions, nullptr);
  const QString press = QAccessibleActionInterface::pressAction();
  EXPECT_EQ(actions->actionNames(), QStringList{press});
  EXPECT_EQ(actions->keyBindingsForAction(press), QStringList{QStringLiteral("Alt+Down")});
  EXPECT_EQ(button->text(QAccessible::Accelerator), QStringLiteral("Alt+Down"));
  EXPECT_TRUE(actions->keyBindingsForAction(QStringLiteral("other")).isEmpty());
  actions->doAction(QAccessibleActionInterface::setFocusAction());
  EXPECT_TRUE(dialog.calls.empty());
  actions->doAction(press);
  EXPECT_EQ(dialog.calls.size(), 1u);
}

}  // namespace
}  // namespace varnex
