#pragma once

#include <string>

namespace varnex {

// The desktop's modal folder dialog.
class FolderDialog {
 public:
  virtual ~FolderDialog() = default;

  // Shows the dialog with `dialogText` as its instruction, starting at `folderName` when that is
  // an existing folder. True when the user confirmed a folder, which is then in `folderName`;
  // false, with `folderName` untouched, when the dialog was cancelled.
  virtual bool Execute(const std::string& dialogText, std::string& folderName) = 0;
};

}  // namespace varnex
