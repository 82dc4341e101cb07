#pragma once

#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <string>
#include <vector>

#include "about/TAproposFrame.h"
#include "history/PassRecorder.h"
#include "platform/fs/FileSystem.h"
#include "platform/registry/RegistryStore.h"
#include "platform/shell/FolderDialog.h"
#include "platform/shell/LinkOpener.h"
#include "playback/Tdm.h"
#include "widgets/TDirectoryEdit.h"
#include "widgets/TFileListBox.h"
#include "widgets/TRadioGroup.h"
#include "widgets/TTrackBar.h"

namespace varnex {

// The main window: the folder field, the file list, the player controls, the extension choice and
// the convert, about and quit buttons. Creating it runs FormCreate. Every action has a key: Ctrl+P
// plays (or stops), Ctrl+. stops, Alt+Down in the field browses, unmodified Enter converts and
// Escape closes the about panel; the first show puts the focus on "About...".
class TMp3Form final : public QWidget {
 public:
  // `arguments` are the command-line arguments after the program's path; a relative folder among
  // them is taken from `startDirectory`, the directory the program was started in. The folder and
  // the window's position are kept in `settings`.
  TMp3Form(FileSystem& fs, RegistryStore& settings, FolderDialog& folderDialog,
           LinkOpener& linkOpener, std::string startDirectory, std::vector<std::string> arguments);

  // Controls, under the names the window's design gives them.
  QPushButton* AProposBtn;
  QPushButton* QuitterBtn;
  QPushButton* convertirBtn;
  TFileListBox* FileListBox1;
  TDirectoryEdit* DirectoryEdit1;
  TRadioGroup* rg;
  TTrackBar* TrackBar1;
  QToolButton* SpeedButton1;
  QToolButton* SpeedButton2;
  TAproposFrame* AproposFrame1;

  void AProposBtnClick();
  // The media module comes after the window; until then the player's handlers do nothing.
  void AttachMediaModule(Tdm* dm) { dm_ = dm; }
  // With a history, every conversion keeps a journal and Ctrl+Z undoes the newest pass.
  void AttachHistory(History* history);

  void QuitterBtnClick();
  void FormCreate();
  void convertirBtnClick();
  void FileListBox1DblClick();
  void FileListBox1Click();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void TrackBar1Change();
  void DirectoryEdit1Change();
  void rgClick();
  bool FormCloseQuery();
  // Ctrl+Z: undoes the newest conversion of the folder shown, then shows what it converted from.
  void UndoLastConversion();

  // The first dropped name, when it exists and is neither hidden nor system, becomes the folder.
  void WMDROPFILES(const std::vector<std::string>& droppedNames);

  // Shows a folder text in the list; a text the list cannot use changes nothing, silently. The
  // text is a copy: the queued input handled first may change the field it came from.
  void ApplyFolder(std::string folder);

  void LoadSettings();
  void SaveSettings();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void BindEvents();
  void MoveOntoAScreen(int left, int top);

  FileSystem& fs_;
  RegistryStore& settings_;
  FolderDialog& folderDialog_;
  LinkOpener& linkOpener_;
  std::string startDirectory_;
  std::vector<std::string> arguments_;
  Tdm* dm_ = nullptr;
  History* history_ = nullptr;
  std::unique_ptr<PassRecorder> recorder_;
};

}  // namespace varnex
