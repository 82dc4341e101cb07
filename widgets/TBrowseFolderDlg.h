#pragma once

#include "platform/fs/FileSystem.h"
#include "platform/shell/FolderDialog.h"

namespace varnex {

// The folder dialog: a tree of the folders from the root, read through the program's file
// system, so that a folder whose name is not UTF-8 is shown, starts the dialog and comes out of
// it with its bytes as they are. Modal over the whole program, centred on the screen, OK only
// while the folder picked (or typed below the tree) exists. Each Execute makes a dialog for that
// one browse.
class TBrowseFolderDlg final : public FolderDialog {
 public:
  explicit TBrowseFolderDlg(FileSystem& fs) : fs_(fs) {}

  bool Execute(const std::string& dialogText, std::string& folderName) override;

 private:
  FileSystem& fs_;
};

}  // namespace varnex
