#include "TMp3Form.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>
#include <cstdint>

#include "conversion/ConvertFolder.h"
#include "history/Undo.h"
#include "platform/fs/PathRules.h"
#include "platform/media/WideText.h"
#include "platform/shell/DroppedNames.h"
#include "widgets/BusyCursor.h"
#include "widgets/CentredMessageBox.h"
#include "widgets/ErrorReport.h"
#include "widgets/FileListModel.h"
#include "widgets/Glyphs.h"
#include "widgets/KeyPress.h"
#include "widgets/ScreenPlacement.h"

namespace varnex {

namespace {

const std::string kSettingsKey = "Software\\Varnex";

QFont DesignFont(int pixelSize, bool bold = false) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

QPushButton* BitBtn(QWidget* parent, const char* caption, const QIcon& glyph, QRect geometry,
                    const char* hint) {
  auto* button = new QPushButton(glyph, QString::fromUtf8(caption), parent);
  button->setGeometry(geometry);
  button->setToolTip(QString::fromUtf8(hint));
  // Enter presses a button that has the focus; otherwise it reaches the window's default button.
  button->setAutoDefault(true);
  return button;
}

// A flat button that never takes the focus; its key presses it instead, and names it to screen
// readers.
QToolButton* SpeedButton(QWidget* parent, const QIcon& glyph, QRect geometry, const char* hint,
                         const char* name, const QKeySequence& key) {
  auto* button = new QToolButton(parent);
  button->setIcon(glyph);
  button->setIconSize(kButtonGlyphSize);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setGeometry(geometry);
  button->setToolTip(QString::fromUtf8(hint));
  button->setAccessibleName(QString::fromUtf8(name));
  button->setShortcut(key);
  return button;
}

// An empty argument names nothing, as a pair of quotes where an argument would start is no
// argument.
std::vector<std::string> WithoutEmpty(std::vector<std::string> arguments) {
  std::erase(arguments, std::string());
  return arguments;
}

}  // namespace

TMp3Form::TMp3Form(FileSystem& fs, RegistryStore& settings, FolderDialog& folderDialog,
                   LinkOpener& linkOpener, std::string startDirectory,
                   std::vector<std::string> arguments)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      fs_(fs),
      settings_(settings),
      folderDialog_(folderDialog),
      linkOpener_(linkOpener),
      startDirectory_(std::move(startDirectory)),
      arguments_(WithoutEmpty(std::move(arguments))) {
  CreateControls();
  BindEvents();
  FormCreate();
}

// The window's design: geometry in client pixels at 96 dpi, captions, hints and tab order.
void TMp3Form::CreateControls() {
  setWindowTitle(QStringLiteral("Mp3Form"));
  setFixedSize(472, 352);
  move(234, 138);
  setFont(DesignFont(11));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  DirectoryEdit1 = new TDirectoryEdit(fs_, folderDialog_, this);
  DirectoryEdit1->setGeometry(16, 16, 441, 21);
  DirectoryEdit1->SetText("DirectoryEdit1");
  DirectoryEdit1->SetDialogKind(dkWin32);
  DirectoryEdit1->SetDialogText("Select a directory with songs to convert");
  DirectoryEdit1->setToolTip(
      QStringLiteral("Selected Folder.\nClick the button on the right to change it."));
  DirectoryEdit1->setAccessibleName(QStringLiteral("Folder"));
  DirectoryEdit1->setAccessibleDescription(
      DirectoryEdit1->toolTip() +
      QStringLiteral("\n%1 opens the folder dialog.")
          .arg(QKeySequence(DirectoryEdit1->ClickKey()).toString(QKeySequence::NativeText)));

  FileListBox1 = new TFileListBox(fs_, this);
  FileListBox1->setGeometry(16, 56, 441, 177);
  FileListBox1->setToolTip(QStringLiteral("List of mp3 or iad files\nin the selected folder"));
  FileListBox1->setAccessibleName(QStringLiteral("Files"));
  FileListBox1->setAccessibleDescription(FileListBox1->toolTip());

  SpeedButton1 =
      SpeedButton(this, PlayGlyph(), {120, 240, 23, 22}, "Play the selected file (if any)", "Play",
                  QKeySequence(Qt::CTRL | Qt::Key_P));
  SpeedButton2 = SpeedButton(this, StopGlyph(), {152, 240, 23, 22}, "Stop playing the file", "Stop",
                             QKeySequence(Qt::CTRL | Qt::Key_Period));

  // Positions are hundredths of a decibel above silence at 0: the arrow keys move the volume by
  // 1 dB, the Page keys by 10 dB, and screen readers read it in decibels below full volume.
  TrackBar1 = new TTrackBar(this);
  TrackBar1->setGeometry(200, 240, 257, 33);
  TrackBar1->setRange(0, 10000);
  TrackBar1->setValue(10000);
  TrackBar1->setPageStep(100);
  TrackBar1->setSingleStep(100);
  TrackBar1->SetKeyPageSize(1000);
  TrackBar1->SetReading(10000, 100, QStringLiteral("dB"));
  TrackBar1->setToolTip(QStringLiteral("Volume for playing the files"));
  TrackBar1->setAccessibleName(QStringLiteral("Volume"));

  rg = new TRadioGroup({QStringLiteral("mp3 "), QStringLiteral("iad ")}, this);
  rg->setGeometry(24, 272, 105, 73);
  rg->setFont(DesignFont(13, true));
  rg->SetItemIndex(0);
  rg->setToolTip(QStringLiteral("Choose to select mp3 or iad files"));
  rg->setAccessibleName(QStringLiteral("Extension"));

  // Drawn by the program rather than the style's: the style's help icon is drawn for large sizes
  // and blurs at 16 pixels, and its others would load the icon theme and its image formats at
  // start.
  convertirBtn =
      BitBtn(this, "Convert", OkGlyph(), {184, 304, 97, 25}, "Change extension of files");
  convertirBtn->setDefault(true);
  AProposBtn = BitBtn(this, "About...", HelpGlyph(), {360, 288, 75, 25},
                      "Information about the author of this program");
  QuitterBtn = BitBtn(this, "Quit", CloseGlyph(), {360, 320, 75, 25}, "Quit this program");

  AproposFrame1 = new TAproposFrame(linkOpener_, this);

  setTabOrder(AproposFrame1->FermerBtn, QuitterBtn);
  setTabOrder(QuitterBtn, convertirBtn);
  setTabOrder(convertirBtn, FileListBox1);
  setTabOrder(FileListBox1, DirectoryEdit1);
  QWidget* previous = DirectoryEdit1;
  for (QAbstractButton* entry : rg->Buttons()) {
    setTabOrder(previous, entry);
    previous = entry;
  }
  setTabOrder(previous, TrackBar1);
  // The first control in tab order has the focus when the window first shows, so a key pressed at
  // once reaches "About...", not the convert button.
  AProposBtn->setFocus();
}

// Every handler reports its own failures, so none travels through the toolkit's frames.
void TMp3Form::BindEvents() {
  const auto onClick = [this](QPushButton* button, void (TMp3Form::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { ReportingFailures([this, handler] { (this->*handler)(); }); });
  };
  onClick(AProposBtn, &TMp3Form::AProposBtnClick);
  onClick(QuitterBtn, &TMp3Form::QuitterBtnClick);
  onClick(convertirBtn, &TMp3Form::convertirBtnClick);
  connect(SpeedButton1, &QToolButton::clicked, this,
          [this] { ReportingFailures([this] { SpeedButton1Click(); }); });
  connect(SpeedButton2, &QToolButton::clicked, this,
          [this] { ReportingFailures([this] { SpeedButton2Click(); }); });
  connect(TrackBar1, &QSlider::valueChanged, this,
          [this] { ReportingFailures([this] { TrackBar1Change(); }); });
  FileListBox1->OnClick = [this](QObject*) { ReportingFailures([this] { FileListBox1Click(); }); };
  FileListBox1->OnDblClick = [this](QObject*) {
    ReportingFailures([this] { FileListBox1DblClick(); });
  };
  DirectoryEdit1->OnChange = [this](QObject*) {
    ReportingFailures([this] { DirectoryEdit1Change(); });
  };
  rg->OnClick = [this](QObject*) { ReportingFailures([this] { rgClick(); }); };
  // Of the list, so that it does not act while the about panel covers the list.
  connect(new QShortcut(QKeySequence::Undo, FileListBox1), &QShortcut::activated, this,
          [this] { ReportingFailures([this] { UndoLastConversion(); }); });
}

void TMp3Form::FormCreate() {
  setAcceptDrops(true);
  LoadSettings();
  setWindowTitle(QStringLiteral("Varnex by Tomvik"));
  rgClick();
  if (!arguments_.empty()) {
    // A relative folder is taken from where the program was started, not from whichever folder
    // the stored settings have entered by now.
    DirectoryEdit1->SetText(AbsolutePath(arguments_.front(), startDirectory_));
    ApplyFolder(DirectoryEdit1->Text());
  }
  if (arguments_.size() >= 2) {
    // Its one button is also its escape button, as a box's only button always is.
    CentredMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                          QStringLiteral("Only one folder, please"), QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
  }
}

void TMp3Form::rgClick() {
  const bool mp3 = rg->ItemIndex() == 0;
  const QString caption = mp3 ? QStringLiteral("mp3 => iad") : QStringLiteral("iad => mp3");
  try {
    FileListBox1->SetMask("*." + std::string(mp3 ? kMp3 : kIad));
  } catch (const std::exception&) {
    // The folder went away under the list: the choice, the caption and the list still agree,
    // with no names left from a folder that is gone, and the failure goes on to the report.
    if (auto* entries = dynamic_cast<FileListModel*>(FileListBox1->model())) {
      entries->Clear();
    }
    convertirBtn->setText(caption);
    throw;
  }
  convertirBtn->setText(caption);
}

void TMp3Form::convertirBtnClick() {
  const BusyCursor cursor;
  // A relative folder is the one the program was started in, whatever the list has entered since.
  const std::string folder = AbsolutePath(DirectoryEdit1->Text(), startDirectory_);
  if (rg->ItemIndex() == 0) {
    ConvertFolder(fs_, folder, kMp3ToIad, {recorder_.get()});
  } else {
    ConvertFolder(fs_, folder, kIadToMp3, {recorder_.get()});
  }
  rg->SetItemIndex(1 - rg->ItemIndex());
  rgClick();
}

void TMp3Form::AttachHistory(History* history) {
  history_ = history;
  recorder_ = history ? std::make_unique<PassRecorder>(*history) : nullptr;
}

// Silent like the conversion: with nothing to undo nothing happens.
void TMp3Form::UndoLastConversion() {
  // An empty field shows no folder, so there is nothing of it to undo.
  if (history_ == nullptr || DirectoryEdit1->Text().empty()) {
    return;
  }
  const BusyCursor cursor;
  const std::string folder = AbsolutePath(DirectoryEdit1->Text(), startDirectory_);
  const auto undone = UndoNewestPass(fs_, *history_, folder, false).undone;
  if (!undone) {
    return;
  }
  const int index = undone->pass.fromExtension == kMp3 ? 0 : 1;
  const bool sameMask = rg->ItemIndex() == index;
  rg->SetItemIndex(index);
  rgClick();
  if (sameMask) {
    FileListBox1->RefillList();  // the mask did not change, so rgClick read nothing anew
  }
}

// Plays the selected file, or stops the one that plays. Every failure on the way ends it quietly.
void TMp3Form::FileListBox1DblClick() {
  try {
    if (dm_ == nullptr) {
      return;
    }
    TFilterGraph& graph = dm_->fg;
    if (graph.GetPlayState() == psRunning) {
      graph.Stop();
      return;
    }
    const std::string path = FileListBox1->SelectedFilePath();
    graph.SetActive(false);
    graph.SetActive(true);
    graph.RenderMediaFile(BytesToWide(path));
    graph.SetVolumeLevel(TrackBar1->value());
    graph.Play();
  } catch (const std::exception&) {
    // Silent by design: a file that cannot be played simply does not play.
  }
}

void TMp3Form::SpeedButton1Click() {
  FileListBox1DblClick();
}

// Stops a playing file, and one still being made ready, which would otherwise start after the
// person asked for quiet. Unguarded: a stop the graph refuses reaches the general error report.
void TMp3Form::FileListBox1Click() {
  if (dm_ != nullptr && (dm_->fg.GetPlayState() == psRunning || dm_->fg.IsBeingMadeReady())) {
    dm_->fg.Stop();
  }
}

void TMp3Form::SpeedButton2Click() {
  FileListBox1Click();
}

void TMp3Form::TrackBar1Change() {
  try {
    if (dm_ != nullptr) {
      dm_->fg.SetVolumeLevel(TrackBar1->value());
    }
  } catch (const std::exception&) {
    // The slider keeps its position whatever the graph says.
  }
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): a copy, as queued input may change the field
void TMp3Form::ApplyFolder(std::string folder) {
  QCoreApplication::processEvents();
  // A relative text is taken from the list's folder, as the list takes it.
  const std::string path = AbsolutePath(folder, FileListBox1->FolderPath());
  try {
    FileListBox1->ApplyPath(folder);
  } catch (const std::exception&) {
    // Deliberately silent: the field keeps the text and the list what it showed.
    return;
  }
  // A song is shown selected in its folder, and from then on the field names that folder: the
  // folder that the conversion renames in and that is stored is the one the list shows.
  if (IsExistingFile(fs_, path)) {
    DirectoryEdit1->SetText(FileListBox1->FolderPath());
  }
}

void TMp3Form::DirectoryEdit1Change() {
  ApplyFolder(DirectoryEdit1->Text());
}

void TMp3Form::WMDROPFILES(const std::vector<std::string>& droppedNames) {
  if (droppedNames.empty()) {
    return;
  }
  const std::string& name = droppedNames.front();
  if (fs_.Find(name, faDirectory)->Next()) {
    DirectoryEdit1->SetText(name);
    ApplyFolder(name);
  }
}

void TMp3Form::AProposBtnClick() {
  AproposFrame1->ShowPanel();
  // The panel makes the window taller: it moves up where it would reach past the screen's bottom.
  if (WindowPositionsAreKnown()) {
    move(KeptOnScreen(screen()->availableGeometry(), frameGeometry()));
  }
}

void TMp3Form::QuitterBtnClick() {
  close();
}

bool TMp3Form::FormCloseQuery() {
  SaveSettings();
  return true;
}

void TMp3Form::LoadSettings() {
  std::unique_ptr<RegistryKey> key = settings_.CreateKey(kSettingsKey);
  if (!key) {
    return;
  }
  std::optional<std::string> folder;
  try {
    folder = key->ReadString("Dossier");
  } catch (const std::exception&) {
    // A value of another type is ignored; the next close writes it anew.
  }
  std::optional<int> top;
  std::optional<int> left;
  try {
    // No usable top: the design position stays, and the left is not read; no usable left: the
    // top alone is applied.
    top = key->ReadInteger("Top");
    left = top ? key->ReadInteger("Left") : std::nullopt;
  } catch (const std::exception&) {
    // A store that fails to read leaves the window where it is, as far as it got.
  }
  // Closed before the folder is applied: applying it runs queued handlers, and one that stores
  // the settings (the end of the session) must find the settings free.
  key.reset();
  if (folder) {
    DirectoryEdit1->SetText(*folder);
  }
  if (top) {
    MoveOntoAScreen(left.value_or(x()), *top);
  }
}

void TMp3Form::SaveSettings() {
  const std::unique_ptr<RegistryKey> key = settings_.CreateKey(kSettingsKey);
  if (!key) {
    return;
  }
  try {
    key->WriteString("Dossier", DirectoryEdit1->Text());
  } catch (const std::exception&) {
    // Settings that cannot be stored are not worth a message at close.
  }
  // Where the windowing system never says where the window is, the stored position stays as it was.
  if (!WindowPositionsAreKnown()) {
    return;
  }
  try {
    key->WriteInteger("Top", y());
    key->WriteInteger("Left", x());
  } catch (const std::exception&) {
  }
}

// A stored position on a monitor that is gone would start the program out of sight, so a window
// that would lie wholly outside every screen stays where it is. Partly visible is fine. The far
// edges are computed in 64 bits: a stored value near the end of the 32-bit range would overflow.
void TMp3Form::MoveOntoAScreen(int left, int top) {
  const std::int64_t right = std::int64_t{left} + width();
  const std::int64_t bottom = std::int64_t{top} + height();
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect area = screen->geometry();
    if (left < std::int64_t{area.x()} + area.width() && right > area.x() &&
        top < std::int64_t{area.y()} + area.height() && bottom > area.y()) {
      move(left, top);
      return;
    }
  }
}

void TMp3Form::closeEvent(QCloseEvent* event) {
  event->setAccepted(FormCloseQuery());
}

// Enter and Escape that no control took: without a modifier key, Enter presses the default button
// (unless the about panel covers it) and Escape the about panel's Close, the cancel button.
void TMp3Form::keyPressEvent(QKeyEvent* event) {
  const bool plain = IsPlainKey(*event);
  const int key = event->key();
  if (plain && (key == Qt::Key_Return || key == Qt::Key_Enter) && convertirBtn->isVisibleTo(this) &&
      convertirBtn->isEnabled()) {
    convertirBtn->click();
    return;
  }
  QPushButton* cancel = AproposFrame1->FermerBtn;
  if (plain && key == Qt::Key_Escape && AproposFrame1->CloseAnswersEscape() &&
      cancel->isEnabled()) {
    cancel->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TMp3Form::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedLocalNames(*event->mimeData()).empty()) {
    event->acceptProposedAction();
  }
}

void TMp3Form::dropEvent(QDropEvent* event) {
  ReportingFailures([this, event] { WMDROPFILES(DroppedLocalNames(*event->mimeData())); });
  event->acceptProposedAction();
}

}  // namespace varnex
