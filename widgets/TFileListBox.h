#pragma once

#include <QListView>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/fs/FileSystem.h"
#include "widgets/FileListModel.h"

namespace varnex {

using TNotifyEvent = std::function<void(QObject* sender)>;

// Which search results the list admits: attribute members, or ftNormal for every result.
enum TFileAttr : std::uint32_t {
  ftReadOnly = faReadOnly,
  ftHidden = faHidden,
  ftSystem = faSysFile,
  ftVolumeID = faVolumeID,
  ftDirectory = faDirectory,
  ftArchive = faArchive,
  ftNormal = 0x80,
};
using TFileType = std::uint32_t;  // a set of TFileAttr

// The files of one folder that match a mask, sorted with case ignored. The list works in the file
// system's current directory, which it leaves at its folder after reading.
class TFileListBox : public QListView {
 public:
  TFileListBox(FileSystem& fs, QWidget* parent = nullptr);

  // One or more patterns separated by ";"; a different text re-reads the list.
  const std::string& Mask() const { return mask_; }
  void SetMask(const std::string& mask);

  TFileType FileType() const { return fileType_; }
  void SetFileType(TFileType fileType);

  // The absolute path of the folder shown.
  const std::string& FolderPath() const { return folderPath_; }

  std::vector<std::string> Entries() const { return model_.Entries(); }

  // Re-reads the entries; throws EInOutError when the folder cannot be entered, keeping them.
  void RefillList();

  // Enters a folder and re-reads; throws EInOutError and keeps the folder and entries.
  void ChangeFolder(const std::string& path);

  // Shows a folder, a file (selected in its folder) or a folder and a pattern. Throws EInOutError
  // or EInvalidOperation for a path it cannot use, leaving the list as it was.
  void ApplyPath(const std::string& text);

  // Selects the entry equal to `name`, or clears the selection when there is none.
  void SelectByName(const std::string& name);

  std::string SelectedFileName() const;
  std::string SelectedFilePath() const;

  // Raised when the user selects an entry with the mouse or the keyboard, not by the list itself.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  NameList SearchEntries(std::uint32_t attributeWord,
                         const std::function<void(std::string_view)>& admitted);
  // The list reads its folder once it is shown, or once something needs its entries before that.
  void HandleNeeded();
  void Notify(const TNotifyEvent& event);

  FileSystem& fs_;
  FileListModel model_;
  std::string mask_ = "*.*";
  TFileType fileType_ = ftNormal;
  std::string folderPath_;
  bool windowCreated_ = false;
};

}  // namespace varnex
