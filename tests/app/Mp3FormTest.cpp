#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "app/Application.h"
#include "platform/shell/DroppedNames.h"
#include "tests/support/WindowTest.h"
#include "widgets/TBrowseFolderDlg.h"

namespace varnex {
namespace {

using Names = std::vector<std::string>;

class Mp3FormTest : public test::WindowTest {
 protected:
  void SetUp() override {
    folder.File("b.mp3");
    folder.File("A.MP3");
    folder.File("c.iad");
    folder.Folder("start");
    folder.Folder("other");
    folder.File("other/x.mp3");
    folder.Folder(".hidden");
    fs.SetCurrentDirectory(folder / "start");
  }
};

TEST_F(Mp3FormTest, StartsWithTheCaptionAndTheMp3Choice) {
  const auto form = Start({});
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Varnex by Tomvik"));
  ExpectChoice(*form, 0);
  EXPECT_EQ(form->size(), QSize(472, 352));
  EXPECT_TRUE(boxes.Seen().isEmpty());
}

// What the arguments choose: the folder shown and listed, the mask, the file selected, and the
// warning a second argument brings. A relative folder is taken from the start directory, one that
// names no folder leaves the list alone, and quotes with nothing between them are no argument. A
// song is selected in its folder, so the play button plays it at once; the field names the folder,
// and the mask changes only when it does not match.
TEST_F(Mp3FormTest, ArgumentsChooseTheFolderShownAndTheFileSelected) {
  const std::string other = folder / "other", warning = "Warning: Only one folder, please";
  const struct {
    Names arguments;
    std::string text, folderPath, mask;
    Names entries;
    std::string selected, warning;
  } cases[] = {
      {{folder.Path()}, folder.Path(), folder.Path(), "*.mp3", {"A.MP3", "b.mp3"}, "", ""},
      {{"../other"}, folder / "start/../other", other, "*.mp3", {"x.mp3"}, "", ""},
      {{other, folder.Path()}, other, other, "*.mp3", {"x.mp3"}, "", warning},
      {{folder / "missing"}, folder / "missing", folder / "start", "*.mp3", {}, "", ""},
      {{"", other}, other, other, "*.mp3", {"x.mp3"}, "", ""},
      {{other, ""}, other, other, "*.mp3", {"x.mp3"}, "", ""},
      {{folder / "b.mp3"},
       folder.Path(),
       folder.Path(),
       "*.mp3",
       {"A.MP3", "b.mp3"},
       folder / "b.mp3",
       ""},
      {{folder / "c.iad"}, folder.Path(), folder.Path(), "c.iad", {"c.iad"}, folder / "c.iad", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    fs.SetCurrentDirectory(folder / "start");  // where each window before it has left it
    const qsizetype before = boxes.Seen().size();
    const auto form = Start(c.arguments);
    EXPECT_EQ(form->DirectoryEdit1->Text(), c.text);
    EXPECT_EQ(form->FileListBox1->FolderPath(), c.folderPath);
    EXPECT_EQ(form->FileListBox1->Mask(), c.mask);
    EXPECT_EQ(form->FileListBox1->Entries(), c.entries);
    EXPECT_EQ(form->FileListBox1->SelectedFilePath(), c.selected);
    EXPECT_EQ(boxes.Seen().mid(before),
              c.warning.empty() ? QStringList() : QStringList{QString::fromStdString(c.warning)});
  }
}

// A song, however it comes into the field, stands for its folder: converting renames the folder's
// songs (not nothing while the choice flips), and the folder is what is stored.
TEST_F(Mp3FormTest, SongInTheFieldConvertsAndStoresItsFolder) {
  const std::string song = folder / "b.mp3";
  const std::vector<std::function<std::unique_ptr<TMp3Form>()>> ways = {
      [&] { return Start({song}); },
      [&] {
        settings.CreateKey("Software\\Varnex")->WriteString("Dossier", song);
        return Start({});
      },
      [&] {
        auto form = Start({});
        form->WMDROPFILES({song});
        return form;
      },
  };
  for (std::size_t way = 0; way < ways.size(); ++way) {
    const auto form = ways[way]();
    EXPECT_EQ(form->DirectoryEdit1->Text(), folder.Path()) << way;
    form->convertirBtn->click();
    EXPECT_EQ(form->FileListBox1->Entries(), (Names{"A.iad", "b.iad", "c.iad"})) << way;
    form->close();
    EXPECT_EQ(settings.CreateKey("Software\\Varnex")->ReadString("Dossier"), folder.Path());
    form->convertirBtn->click();  // back, for the next way
  }
}

// The warning stands in the middle of the screen at its final size, and Escape answers it as OK.
TEST_F(Mp3FormTest, WarningIsCentredAndEscapeAnswersIt) {
  boxes.answering = false;
  QRect frame;
  int escapes = 0;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      if (escapes++ == 0) {
        frame = box->frameGeometry();
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->button(QMessageBox::Ok)->click();  // Escape did not answer it
      }
    }
  });
  answer.start(5);
  const auto form = Start({folder / "other", folder.Path()});
  EXPECT_EQ(escapes, 1);
  EXPECT_EQ(frame.center(), QGuiApplication::primaryScreen()->geometry().center());
  EXPECT_GT(frame.height(), 60);  // laid out: the icon, the text and the button
  EXPECT_EQ(form->FileListBox1->FolderPath(), folder / "other");
}

// The about panel makes the window taller; near the screen's bottom the window moves up to keep
// it whole, and stays where it is otherwise.
TEST_F(Mp3FormTest, AboutPanelKeepsTheWindowOnTheScreen) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const auto form = Start({});
  for (const int top : {screen.top() + 10, screen.bottom() - 360}) {
    form->AproposFrame1->FermerBtn->click();
    form->move(100, top);
    QTest::mouseClick(form->AProposBtn, Qt::LeftButton);
    EXPECT_TRUE(screen.contains(form->frameGeometry())) << top;
    EXPECT_EQ(form->x(), 100);
    EXPECT_EQ(form->y(), std::min(top, screen.bottom() + 1 - form->frameGeometry().height()));
  }
}

TEST_F(Mp3FormTest, ChoiceSetsMaskAndCaption) {
  const auto form = Start({folder.Path()});
  ClickChoice(*form, 1);
  ExpectChoice(*form, 1);
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"c.iad"});
  ClickChoice(*form, 0);
  ExpectChoice(*form, 0);
}

TEST_F(Mp3FormTest, EnterPressesConvertUnlessAnotherButtonHasTheFocus) {
  const auto form = Start({folder.Path()});
  QSignalSpy converts(form->convertirBtn, &QPushButton::clicked);
  for (QWidget* focus :
       std::initializer_list<QWidget*>{form->FileListBox1, form->DirectoryEdit1, form->TrackBar1}) {
    QTest::keyClick(focus, Qt::Key_Return);
  }
  EXPECT_EQ(converts.count(), 3);
  QSignalSpy abouts(form->AProposBtn, &QPushButton::clicked);
  QTest::keyClick(form->AProposBtn, Qt::Key_Return);
  EXPECT_EQ(abouts.count(), 1);
  EXPECT_EQ(converts.count(), 3);
}

TEST_F(Mp3FormTest, ControlsLieWhereTheDesignPutsThemWithTheirHints) {
  const auto form = Start({});
  // The window's 11-pixel font, which its controls take; the choice has its own, bold.
  EXPECT_EQ(form->font().pixelSize(), 11);
  EXPECT_EQ(form->convertirBtn->font().pixelSize(), 11);
  EXPECT_EQ(form->rg->font().pixelSize(), 13);
  const struct {
    QWidget* control;
    QRect geometry;
    const char* hint;
  } design[] = {
      {form->DirectoryEdit1,
       {16, 16, 441, 21},
       "Selected Folder.\nClick the button on the right to change it."},
      {form->FileListBox1, {16, 56, 441, 177}, "List of mp3 or iad files\nin the selected folder"},
      {form->SpeedButton1, {120, 240, 23, 22}, "Play the selected file (if any)"},
      {form->SpeedButton2, {152, 240, 23, 22}, "Stop playing the file"},
      {form->TrackBar1, {200, 240, 257, 33}, "Volume for playing the files"},
      {form->rg, {24, 272, 105, 73}, "Choose to select mp3 or iad files"},
      {form->convertirBtn, {184, 304, 97, 25}, "Change extension of files"},
      {form->AProposBtn, {360, 288, 75, 25}, "Information about the author of this program"},
      {form->QuitterBtn, {360, 320, 75, 25}, "Quit this program"}};
  for (const auto& [control, geometry, hint] : design) {
    EXPECT_EQ(control->geometry(), geometry) << hint;
    EXPECT_EQ(control->toolTip(), QString::fromUtf8(hint));
    // A screen reader reads the hint too, as the control's description.
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(control)
                    ->text(QAccessible::Description)
                    .startsWith(QString::fromUtf8(hint)))
        << hint;
  }
}

// The window's ground is the button face of the desktop's colours, also where that differs from
// the colour of other windows.
TEST_F(Mp3FormTest, WindowIsPaintedInTheButtonFaceColour) {
  const auto form = Start({});
  QPalette palette = form->palette();
  palette.setColor(QPalette::Button, QColor(200, 10, 10));
  palette.setColor(QPalette::Window, QColor(10, 200, 10));
  form->setPalette(palette);
  EXPECT_EQ(form->grab().toImage().pixelColor(4, 4), QColor(200, 10, 10));
}

TEST_F(Mp3FormTest, QuitClosesTheWindowAndStoresTheFolderOnce) {
  const auto form = Start({folder.Path()});
  const int opensBefore = settings.opened;
  QTest::mouseClick(form->QuitterBtn, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(settings.opened, opensBefore + 1);
  EXPECT_EQ(settings.keys["Software\\Varnex"].at("Dossier").data.size(), folder.Path().size() + 1);
}

TEST_F(Mp3FormTest, FieldTakesNoTyping) {
  const auto form = Start({folder.Path()});
  QTest::keyClicks(form->DirectoryEdit1, QStringLiteral("xyz"));
  QTest::keyClick(form->DirectoryEdit1, Qt::Key_Backspace);
  EXPECT_EQ(form->DirectoryEdit1->text().toStdString(), folder.Path());
  EXPECT_EQ(form->DirectoryEdit1->Text(), folder.Path());
}

TEST_F(Mp3FormTest, DroppedFolderOrFileIsApplied) {
  const auto form = Start({});
  form->WMDROPFILES({folder / "other", folder.Path()});  // only the first counts
  EXPECT_EQ(form->DirectoryEdit1->Text(), folder / "other");
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"x.mp3"});

  form->WMDROPFILES({folder / "c.iad"});  // another extension: the list shows that file alone
  EXPECT_EQ(form->FileListBox1->Mask(), "c.iad");
  EXPECT_EQ(form->FileListBox1->SelectedFilePath(), folder / "c.iad");

  // A drop of the field's own text changes no text, yet is applied: a folder typed before it
  // existed is listed once it is dropped.
  form->DirectoryEdit1->SetText(folder / "later");
  folder.Folder("later");
  form->WMDROPFILES({folder / "later"});
  EXPECT_EQ(form->FileListBox1->FolderPath(), folder / "later");
}

TEST_F(Mp3FormTest, DropsOfHiddenMissingOrNothingAreIgnored) {
  const auto form = Start({folder.Path()});
  for (const Names& drop :
       {Names{folder / ".hidden"}, Names{folder / "missing"}, Names{"/"}, Names{}}) {
    form->WMDROPFILES(drop);
    EXPECT_EQ(form->DirectoryEdit1->Text(), folder.Path());
    EXPECT_EQ(form->FileListBox1->FolderPath(), folder.Path());
  }
}

TEST_F(Mp3FormTest, DropEventCarriesTheBytesOfTheName) {
  const std::string odd = folder.Folder("caf\xE9 & co");
  folder.File("caf\xE9 & co/song.mp3");
  const auto form = Start({});
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"),
               "https://example.org/x\r\nfile://" +
                   QByteArray::fromStdString(odd).toPercentEncoding("/") + "\r\n");
  QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(form.get(), &drop);
  EXPECT_EQ(form->DirectoryEdit1->Text(), odd);
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"song.mp3"});
}

// Only the first dropped name counts: when it is refused, nothing of the drop is applied.
TEST_F(Mp3FormTest, RefusedFirstDroppedNameAppliesNothing) {
  const auto form = Start({folder.Path()});
  const QByteArray other = "file://" + QByteArray::fromStdString(folder / "other");
  for (const QByteArray& refused : {QByteArray(other + "%00"), QByteArray(other + "%2Fx"),
                                    QByteArray("file://elsewhere/music")}) {
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), refused + "\r\n" + other + "\r\n");
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(form.get(), &enter);
    EXPECT_FALSE(enter.isAccepted()) << refused.toStdString();  // the drop is not taken
    form->WMDROPFILES(DroppedLocalNames(data));                 // and were it given, no matter
    EXPECT_EQ(form->DirectoryEdit1->Text(), folder.Path()) << refused.toStdString();
    EXPECT_EQ(form->FileListBox1->FolderPath(), folder.Path());
  }
}

TEST_F(Mp3FormTest, EnterConvertsTheFolderAndFlipsTheChoice) {
  const auto form = Start({folder.Path()});
  form->FileListBox1->setFocus();
  QTest::keyClick(form->FileListBox1, Qt::Key_Return);
  EXPECT_EQ(test::ReadFile(folder / "A.iad"), "data");
  EXPECT_TRUE(std::filesystem::exists(folder / "b.iad"));
  ExpectChoice(*form, 1);
  EXPECT_EQ(form->FileListBox1->Entries(), (Names{"A.iad", "b.iad", "c.iad"}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);
  EXPECT_EQ(form->FileListBox1->Entries(), (Names{"A.mp3", "b.mp3", "c.mp3"}));
  EXPECT_EQ(form->convertirBtn->text(), QStringLiteral("mp3 => iad"));
}

TEST_F(Mp3FormTest, EmptyFolderTextConvertsNothingButFlips) {
  folder.File("start/here.mp3");
  const auto form = Start({});
  form->DirectoryEdit1->SetText("");
  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);
  EXPECT_TRUE(std::filesystem::exists(folder / "start/here.mp3"));
  EXPECT_EQ(form->convertirBtn->text(), QStringLiteral("iad => mp3"));
}

TEST_F(Mp3FormTest, RelativeFolderTextConvertsWhereTheProgramStarted) {
  folder.Folder("start/music");
  folder.File("start/music/song.mp3");
  const auto form = Start({});
  form->DirectoryEdit1->SetText("music");  // as a hand-edited stored folder would come
  ASSERT_EQ(form->FileListBox1->FolderPath(), folder / "start/music");
  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);  // the list has entered music by now
  EXPECT_TRUE(std::filesystem::exists(folder / "start/music/song.iad"));
}

TEST_F(Mp3FormTest, CursorComesBackWhenTheListCannotBeReread) {
  const std::string doomed = folder.Folder("doomed");
  const auto form = Start({doomed});
  std::filesystem::remove(doomed);
  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);
  EXPECT_EQ(boxes.Seen().size(), 1);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Input already queued is handled before the list is re-read: a drop that waited in the queue is
// applied inside the new folder's application, which then has the last word in the list.
TEST_F(Mp3FormTest, QueuedInputIsHandledBeforeTheListIsReread) {
  const auto form = Start({folder.Path()});
  QMetaObject::invokeMethod(
      form.get(), [&] { form->WMDROPFILES({folder / "other"}); }, Qt::QueuedConnection);
  form->DirectoryEdit1->SetText(folder / "start");
  EXPECT_EQ(form->DirectoryEdit1->Text(), folder / "other");  // the drop ran in between
  EXPECT_EQ(form->FileListBox1->FolderPath(), folder / "start");
}

TEST_F(Mp3FormTest, BrowsedFolderIsListed) {
  const auto form = Start({folder.Path()});
  folderDialog.answer = folder / "other";
  QTest::keyClick(form->DirectoryEdit1, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(folderDialog.calls.at(0).dialogText, "Select a directory with songs to convert");
  EXPECT_EQ(folderDialog.calls.at(0).startFolder, folder.Path());
  EXPECT_EQ(form->DirectoryEdit1->Text(), folder / "other");
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"x.mp3"});
}

// A folder whose name is not UTF-8 goes into the real browse dialog, which opens on it, and the
// one picked below it comes out byte for byte.
TEST_F(Mp3FormTest, FolderNotInUtf8SurvivesTheBrowseDialog) {
  const std::string odd = folder.Folder("caf\xE9");
  const std::string picked = folder.Folder("caf\xE9/d\xFC");
  TBrowseFolderDlg dialog(fs);
  TMp3Form form(fs, settings, dialog, links, folder.Path(), {odd});
  form.show();
  QTimer pick;
  QRect frame;
  QObject::connect(&pick, &QTimer::timeout, [&] {
    QWidget* shown = QApplication::activeModalWidget();
    auto* tree = shown != nullptr ? shown->findChild<QTreeWidget*>() : nullptr;
    if (tree != nullptr) {
      frame = shown->frameGeometry();
      auto* typed = shown->findChild<QLineEdit*>();
      EXPECT_EQ(typed->selectedText(), typed->text());  // typing replaces the folder shown
      EXPECT_EQ(tree->topLevelItemCount(), 1);          // one tree, from the root
      EXPECT_EQ(tree->accessibleName(), QStringLiteral("Folders"));  // named for screen readers
      EXPECT_EQ(typed->accessibleName(), QStringLiteral("Folder"));
      QTest::keyClick(tree, Qt::Key_Right);  // opens the folder the dialog started on
      QTest::keyClick(tree, Qt::Key_Down);   // and takes its one sub-folder
      EXPECT_EQ(typed->text(), QString::fromUtf8(picked.c_str()));  // shown below the tree
      shown->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    } else if (auto* other = qobject_cast<QDialog*>(shown)) {
      other->reject();  // not the folder tree: nothing to pick in
    }
  });
  pick.start(5);
  QTest::keyClick(form.DirectoryEdit1, Qt::Key_Down, Qt::AltModifier);
  EXPECT_EQ(form.DirectoryEdit1->Text(), picked);
  EXPECT_EQ(form.FileListBox1->FolderPath(), picked);
  EXPECT_EQ(frame.center(), QGuiApplication::primaryScreen()->geometry().center());
}

// The design's order, with the about panel out of view skipped and the choice visited at its
// checked entry; shown, the panel keeps Tab to its own controls.
TEST_F(Mp3FormTest, TabVisitsEveryControlInTheDesignOrder) {
  const auto form = Start({folder.Path()});
  QApplication::setActiveWindow(form.get());
  const auto visit = [](int count, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    std::vector<QWidget*> visited;
    for (int i = 0; i < count; ++i) {
      visited.push_back(QApplication::focusWidget());
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
    }
    return visited;
  };
  const auto entries = form->rg->findChildren<QRadioButton*>();
  EXPECT_EQ(visit(8), (std::vector<QWidget*>{form->AProposBtn, form->QuitterBtn, form->convertirBtn,
                                             form->FileListBox1, form->DirectoryEdit1,
                                             entries.at(0), form->TrackBar1, form->AProposBtn}));
  form->rg->SetItemIndex(1);
  form->TrackBar1->setFocus();
  EXPECT_EQ(visit(2, Qt::ShiftModifier), (std::vector<QWidget*>{form->TrackBar1, entries.at(1)}));

  form->AProposBtnClick();
  TAproposFrame& panel = *form->AproposFrame1;
  EXPECT_EQ(visit(5), (std::vector<QWidget*>{panel.Memo1, panel.UrlLabel1, panel.UrlLabel2,
                                             panel.FermerBtn, panel.Memo1}));
}

// The first show puts the focus on "About...", so Enter at once opens the panel and renames
// nothing. Only a plain Enter presses the default button, only while it can be seen, and only a
// plain Escape the cancel button: the panel's Close, while shown and before its first show.
TEST_F(Mp3FormTest, EnterAndEscapeWithoutModifiersPressTheDefaultAndCancelButtons) {
  const auto form = Start({folder.Path()});
  QApplication::setActiveWindow(form.get());
  ASSERT_EQ(QApplication::focusWidget(), form->AProposBtn);
  QSignalSpy converts(form->convertirBtn, &QPushButton::clicked);
  QSignalSpy closes(form->AproposFrame1->FermerBtn, &QPushButton::clicked);
  const auto key = [](QWidget* focus, Qt::Key pressed, Qt::KeyboardModifiers modifiers = {}) {
    focus->setFocus();
    QTest::keyClick(focus, pressed, modifiers);
  };
  key(form->FileListBox1, Qt::Key_Return, Qt::ControlModifier);
  key(form->FileListBox1, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
  key(form->DirectoryEdit1, Qt::Key_Return, Qt::AltModifier);
  key(form->FileListBox1, Qt::Key_Escape, Qt::ShiftModifier);
  EXPECT_EQ(converts.count() + closes.count(), 0);
  key(form->FileListBox1, Qt::Key_Escape);  // before the first show: pressed, nothing changes
  EXPECT_EQ(closes.count(), 1);
  EXPECT_EQ(form->size(), QSize(472, 352));
  key(form->TrackBar1, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(converts.count(), 1);

  key(form->AProposBtn, Qt::Key_Return);
  EXPECT_TRUE(form->AproposFrame1->isVisible());
  EXPECT_EQ(form->size(), QSize(305, 443));
  key(form->AproposFrame1->UrlLabel1, Qt::Key_Escape, Qt::ControlModifier);
  key(form->AproposFrame1, Qt::Key_Return);  // the default button lies under the panel
  EXPECT_TRUE(form->AproposFrame1->isVisible());
  EXPECT_EQ(converts.count(), 1);
  key(form->AproposFrame1->UrlLabel1, Qt::Key_Escape);
  EXPECT_FALSE(form->AproposFrame1->isVisible());
  EXPECT_EQ(form->size(), QSize(472, 352));
  EXPECT_EQ(QApplication::focusWidget(), form->AProposBtn);
  EXPECT_EQ(closes.count(), 2);
  key(form->FileListBox1, Qt::Key_Escape);  // closed: Close cannot be reached any more
  EXPECT_EQ(closes.count(), 2);
}

// The window carries the icon the desktop entry installs, drawn for each size rather than scaled,
// once the icon is added; and it names that entry.
TEST_F(Mp3FormTest, WindowCarriesTheProgramsOwnIconAndNamesItsDesktopEntry) {
  const auto form = Start({});
  const auto carries = [&form](int size) {
    const QImage installed(
        QStringLiteral(VARNEX_DATA "/icons/org.example.Varnex-%1.png").arg(size));
    EXPECT_FALSE(installed.isNull()) << size;
    // Compared as the pixmap keeps them, with the colours weighted by their opacity.
    const QImage shown = form->windowIcon().pixmap(QSize(size, size), 1.0).toImage();
    return shown.convertToFormat(QImage::Format_ARGB32_Premultiplied) ==
           installed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  };
  EXPECT_FALSE(carries(16));
  static_cast<Application*>(QCoreApplication::instance())->AddIcons();
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    EXPECT_TRUE(carries(size)) << size;
  }
  QApplication::setWindowIcon(QIcon());  // as the other tests expect
  EXPECT_TRUE(QFile::exists(QStringLiteral(VARNEX_DATA "/") + QGuiApplication::desktopFileName() +
                            QStringLiteral(".desktop")));
}

// At 16 pixels and 1x the about button's question mark must read as one: whole pixels only (no
// blur from scaling a larger picture down), and exactly two marks, the hook and the dot below it.
TEST_F(Mp3FormTest, HelpGlyphIsASharpQuestionMarkAtSixteenPixels) {
  const auto form = Start({});
  const QImage glyph = form->AProposBtn->icon()
                           .pixmap(QSize(16, 16), 1.0)
                           .toImage()
                           .convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(glyph.size(), QSize(16, 16));
  const auto opaque = [&glyph](int x, int y) {
    return x >= 0 && x < 16 && y >= 0 && y < 16 && qAlpha(glyph.pixel(x, y)) == 255;
  };
  std::vector<int> mark(16 * 16, -1);  // component number of each opaque pixel
  int marks = 0;
  std::vector<int> topRow;
  const std::function<void(int, int)> fill = [&](int x, int y) {
    if (opaque(x, y) && mark[y * 16 + x] < 0) {
      mark[y * 16 + x] = marks;
      for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        fill(x + dx, y + dy);
      }
    }
  };
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      const int alpha = qAlpha(glyph.pixel(x, y));
      EXPECT_TRUE(alpha == 0 || alpha == 255) << x << "," << y << ": " << alpha;
      if (opaque(x, y) && mark[y * 16 + x] < 0) {
        topRow.push_back(y);
        fill(x, y);
        ++marks;
      }
    }
  }
  ASSERT_EQ(marks, 2);
  EXPECT_LT(topRow[0], topRow[1]);
}

TEST_F(Mp3FormTest, UncaughtFailureReachesTheErrorReport) {
  const std::string doomed = folder.Folder("doomed");
  const auto form = Start({doomed});
  std::filesystem::remove(doomed);
  ClickChoice(*form, 1);
  ASSERT_EQ(boxes.Seen().size(), 1);
  EXPECT_TRUE(boxes.Seen().front().endsWith(QStringLiteral(": File not found.")))
      << boxes.Seen().front().toStdString();
  // In the middle of the screen, with room in a title bar for the title and the bar's buttons.
  const QRect frame = boxes.Frames().front();
  EXPECT_EQ(frame.center(), QGuiApplication::primaryScreen()->geometry().center());
  QFont titleFont = QGuiApplication::font();
  titleFont.setPixelSize(14);
  const QString title = boxes.Seen().front().section(QStringLiteral(": "), 0, 0);
  EXPECT_GE(frame.width(), QFontMetrics(titleFont).horizontalAdvance(title) + 160);
}

// The folder removed under the window: whatever re-reading says, the choice, the caption and the
// list agree, and no name of the gone folder stays on show.
TEST_F(Mp3FormTest, ChoiceCaptionAndListAgreeWhenTheFolderIsGone) {
  const std::string doomed = folder.Folder("doomed");
  folder.File("doomed/old.mp3");
  folder.File("doomed/old.iad");
  const auto form = Start({doomed});
  ASSERT_EQ(form->FileListBox1->Entries(), Names{"old.mp3"});
  std::filesystem::remove_all(doomed);

  ClickChoice(*form, 1);
  EXPECT_EQ(boxes.Seen().size(), 1);
  ExpectChoice(*form, 1);
  EXPECT_TRUE(form->FileListBox1->Entries().empty());
  EXPECT_EQ(form->FileListBox1->SelectedFilePath(), "");

  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);  // converts nothing, flips back
  EXPECT_EQ(boxes.Seen().size(), 2);
  ExpectChoice(*form, 0);
  EXPECT_TRUE(form->FileListBox1->Entries().empty());

  folder.Folder("doomed");  // back again: the next choice lists it
  folder.File("doomed/new.iad");
  ClickChoice(*form, 1);
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"new.iad"});
  EXPECT_EQ(boxes.Seen().size(), 2);
}

// The list stands in the folder it shows; when that folder is removed, the window can still go to
// another folder and convert there.
TEST_F(Mp3FormTest, AnotherFolderWorksAfterTheShownOneWasRemoved) {
  const std::string doomed = folder.Folder("doomed");
  folder.File("doomed/old.mp3");
  const std::string elsewhere = folder.Folder("elsewhere");
  folder.File("elsewhere/z.mp3");
  const auto form = Start({doomed});
  ASSERT_EQ(form->FileListBox1->Entries(), Names{"old.mp3"});
  std::filesystem::remove_all(doomed);

  form->DirectoryEdit1->SetText(elsewhere);
  EXPECT_EQ(form->FileListBox1->FolderPath(), elsewhere);
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"z.mp3"});
  QTest::mouseClick(form->convertirBtn, Qt::LeftButton);
  EXPECT_TRUE(std::filesystem::exists(elsewhere + "/z.iad"));
  EXPECT_EQ(form->FileListBox1->Entries(), Names{"z.iad"});
  EXPECT_TRUE(boxes.Seen().empty());
}

}  // namespace
}  // namespace varnex
