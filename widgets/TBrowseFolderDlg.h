#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include "platform/fs/FileSystem.h"
#include "platform/shell/FolderDialog.h"

namespace varnex {

// The folder dialog on Qt's own widget dialog, so that it behaves the same on every desktop:
// modal over the whole program, centred on the screen, OK only while the selection is an
// existing folder. Each Execute makes a dialog for that one browse.
class TBrowseFolderDlg final : public FolderDialog {
 public:
  explicit TBrowseFolderDlg(FileSystem& fs) : fs_(fs) {}

  bool Execute(const std::string& dialogText, std::string& folderName) override;

 private:
  FileSystem& fs_;
};

// Where a dialog of `size` goes on `screen`: centred, then moved back inside where it sticks out.
QPoint CentredOnScreen(const QRect& screen, const QSize& size);

}  // namespace varnex
