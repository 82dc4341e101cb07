#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <csignal>
#include <cstdint>
#include <limits>

#include "app/SessionEnd.h"
#include "tests/support/WindowTest.h"

namespace varnex {
namespace {

using test::MemoryRegistryStore;

const std::string kKey = "Software\\Varnex";
const QPoint kDesignPosition(234, 138);

RegistryValue Text(std::uint32_t type, const std::string& text) {
  RegistryValue value{type, std::vector<std::uint8_t>(text.begin(), text.end())};
  value.data.push_back(0);
  return value;
}

RegistryValue Dword(std::int32_t number) {
  const auto bits = static_cast<std::uint32_t>(number);
  return {REG_DWORD,
          {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
           static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)}};
}

class SettingsTest : public test::WindowTest {
 protected:
  MemoryRegistryStore::Values& Stored() { return settings.keys[kKey]; }
};

TEST_F(SettingsTest, FirstStartCreatesTheKeyAndCloseWritesAllThree) {
  const auto form = MakeWindow();
  EXPECT_TRUE(settings.keys.count(kKey));
  EXPECT_EQ(form->DirectoryEdit1->Text(), "");
  EXPECT_EQ(form->pos(), kDesignPosition);
  form->close();
  EXPECT_EQ(Stored().at("Dossier"), (RegistryValue{REG_SZ, {0}}));  // the empty text: one NUL
  EXPECT_EQ(Stored().at("Top"), Dword(138));
  EXPECT_EQ(Stored().at("Left"), Dword(234));
}

TEST_F(SettingsTest, StoredFolderAndPositionComeBack) {
  Stored() = {{"Dossier", Text(REG_SZ, folder.Path())}, {"Top", Dword(40)}, {"Left", Dword(-20)}};
  folder.File("song.mp3");
  const auto form = MakeWindow();
  form->show();
  EXPECT_EQ(form->DirectoryEdit1->Text(), folder.Path());
  EXPECT_EQ(form->FileListBox1->Entries(), std::vector<std::string>{"song.mp3"});
  EXPECT_EQ(form->pos(), QPoint(-20, 40));  // partly on the screen: applied as stored
}

// A position is applied only when its top is there (a top alone moves the window down), both are
// numbers of four bytes, and some of the window lies on a screen, one pixel of it being enough:
// touching a screen's edge from outside is not on it, and the ends of the range are no position.
TEST_F(SettingsTest, StoredPositionIsAppliedOnlyWhereItIsWholeAndOnAScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  const int right = screen.right(), bottom = screen.bottom();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  const auto at = [](std::int32_t top, std::int32_t left) {
    return MemoryRegistryStore::Values{{"Top", Dword(top)}, {"Left", Dword(left)}};
  };
  const std::pair<MemoryRegistryStore::Values, QPoint> cases[] = {
      {{{"Top", Dword(50)}}, QPoint(234, 50)},
      {at(-351, -471), QPoint(-471, -351)},
      {at(bottom, right), QPoint(right, bottom)},
      {{{"Left", Dword(50)}}, kDesignPosition},
      {{{"Top", Text(REG_SZ, "50")}, {"Left", Dword(50)}}, kDesignPosition},
      {{{"Top", {REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}}}, {"Left", Dword(50)}}, kDesignPosition},
      {{{"Top", Dword(50)}, {"Left", Text(REG_SZ, "50")}}, QPoint(234, 50)},
      {{{"Top", Dword(50)}, {"Left", {REG_DWORD, {1, 0, 0, 0, 0}}}}, QPoint(234, 50)}};
  for (std::size_t row = 0; row < std::size(cases); ++row) {
    Stored() = cases[row].first;
    EXPECT_EQ(MakeWindow()->pos(), cases[row].second) << "row " << row;
  }
  const std::pair<std::int32_t, std::int32_t> designKept[] = {
      {100, right + 10}, {-1000, 0},   {0, -472}, {-352, 0}, {0, right + 1},
      {bottom + 1, 0},   {kMax, kMax}, {kMax, 0}, {0, kMax}, {kMax - 100, 0},
      {0, kMax - 300},   {kMin, kMin}, {kMin, 0}};
  for (const auto& [top, left] : designKept) {
    Stored() = at(top, left);
    EXPECT_EQ(MakeWindow()->pos(), kDesignPosition) << "top " << top << ", left " << left;
  }
}

TEST_F(SettingsTest, FolderOfAnotherTypeIsIgnoredAndWrittenAnewAtClose) {
  Stored() = {{"Dossier", Dword(7)}};
  const auto form = MakeWindow();
  EXPECT_EQ(form->DirectoryEdit1->Text(), "DirectoryEdit1");  // ignored; design text stays
  form->close();
  EXPECT_EQ(Stored().at("Dossier").type, REG_SZ);
}

// What a desktop session sends at logout, and a closed terminal: the window closes as by Quit.
TEST_F(SettingsTest, TerminationSignalStoresTheSettingsAndClosesTheWindow) {
  for (const int signal : {SIGTERM, SIGHUP}) {
    settings.keys.clear();
    const std::string shown = folder.Folder("shown" + std::to_string(signal));
    TerminationSignal termination;
    const auto form = MakeWindow({shown});
    form->show();
    form->move(60, 70);
    SessionEnd sessionEnd(termination);
    sessionEnd.Watch(*form);
    ASSERT_EQ(std::raise(signal), 0);
    const QDeadlineTimer deadline(5000);
    while (form->isVisible() && !deadline.hasExpired()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Stored()["Dossier"], Text(REG_SZ, shown));
    EXPECT_EQ(Stored()["Top"], Dword(form->y()));
    EXPECT_EQ(Stored()["Left"], Dword(form->x()));
  }
}

// A signal while the window is being made, before or during the warning about a second argument:
// the warning goes, the window is made and closed with its settings stored, and the program ends.
TEST_F(SettingsTest, TerminationSignalDuringTheStartEndsTheWarningToo) {
  boxes.answering = false;
  const std::string shown = folder.Folder("shown");
  for (const bool whileShown : {false, true}) {
    TerminationSignal termination;
    SessionEnd sessionEnd(termination);
    if (whileShown) {
      QTimer::singleShot(50, [] { std::raise(SIGTERM); });
    } else {
      ASSERT_EQ(std::raise(SIGTERM), 0);
    }
    QTimer rescue;  // should the warning stay, it is answered, and the test fails
    bool rescued = false;
    QObject::connect(&rescue, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        rescued = true;
        box->button(QMessageBox::Ok)->click();
      }
    });
    rescue.start(3000);
    const auto form = MakeWindow({shown, folder.Path()});
    EXPECT_FALSE(rescued) << whileShown;
    EXPECT_TRUE(sessionEnd.Ended());
    settings.keys.clear();
    sessionEnd.Watch(*form);
    EXPECT_EQ(Stored()["Dossier"], Text(REG_SZ, shown));
  }
}

// Applying the stored folder runs queued handlers; the settings are closed by then, so that one of
// them that stores the settings finds them free.
TEST_F(SettingsTest, StoredFolderIsAppliedWithTheSettingsClosed) {
  Stored() = {{"Dossier", Text(REG_SZ, folder.Path())}};
  int openWhileApplying = -1;
  QMetaObject::invokeMethod(
      qApp, [&] { openWhileApplying = settings.openNow; }, Qt::QueuedConnection);
  MakeWindow();
  EXPECT_EQ(openWhileApplying, 0);
}

TEST_F(SettingsTest, ExpandableTextIsNotExpanded) {
  Stored() = {{"Dossier", Text(REG_EXPAND_SZ, "%HOME%/music")}};
  EXPECT_EQ(MakeWindow()->DirectoryEdit1->Text(), "%HOME%/music");
}

TEST_F(SettingsTest, KeyThatCannotBeOpenedLeavesTheDesign) {
  settings.openable = false;
  const auto form = MakeWindow();
  EXPECT_EQ(form->DirectoryEdit1->Text(), "DirectoryEdit1");
  EXPECT_EQ(form->FileListBox1->FolderPath(), fs.CurrentDirectory());  // the design text unused
  EXPECT_EQ(form->pos(), kDesignPosition);
  form->close();  // and closing still works
}

TEST_F(SettingsTest, RefusedWritesEndOnlyTheirBlock) {
  settings.refusedWrites = {"Dossier"};
  MakeWindow()->close();
  EXPECT_FALSE(Stored().count("Dossier"));
  EXPECT_TRUE(Stored().count("Top") && Stored().count("Left"));

  settings.keys.clear();
  settings.refusedWrites = {"Top"};
  MakeWindow()->close();
  EXPECT_TRUE(Stored().count("Dossier"));
  EXPECT_FALSE(Stored().count("Top") || Stored().count("Left"));
}

TEST_F(SettingsTest, ArgumentReplacesTheStoredFolderAndIsStoredAtClose) {
  const std::string other = folder.Folder("other");
  Stored() = {{"Dossier", Text(REG_SZ, folder.Path())}};
  const auto form = MakeWindow({other});
  EXPECT_EQ(form->DirectoryEdit1->Text(), other);
  const int opensBefore = settings.opened;
  form->close();
  EXPECT_EQ(settings.opened, opensBefore + 1);  // one save per close
  EXPECT_EQ(Stored().at("Dossier"), Text(REG_SZ, other));
}

}  // namespace
}  // namespace varnex
