#pragma once

#include <string>
#include <vector>

#include "platform/shell/LinkOpener.h"

namespace varnex::test {

// Keeps the targets it is asked to open, and opens nothing.
class RecordingLinkOpener final : public LinkOpener {
 public:
  void Open(const std::string& target) override { opened.push_back(target); }
  std::vector<std::string> opened;
};

}  // namespace varnex::test
