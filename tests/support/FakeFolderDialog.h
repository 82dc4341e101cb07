#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/shell/FolderDialog.h"

namespace varnex::test {

// A folder dialog that answers what the test says and remembers how it was asked.
class FakeFolderDialog final : public FolderDialog {
 public:
  struct Call {
    std::string dialogText;
    std::string startFolder;
  };

  bool Execute(const std::string& dialogText, std::string& folderName) override {
    calls.push_back({dialogText, folderName});
    if (!answer) {
      return false;
    }
    folderName = *answer;
    return true;
  }

  std::optional<std::string> answer;  // the folder to confirm; nothing means cancel
  std::vector<Call> calls;
};

}  // namespace varnex::test
