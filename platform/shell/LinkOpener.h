#pragma once

#include <string>

namespace varnex {

// Opens a link target (a web address, a "mailto:" target, ...) with the program the desktop
// associates with its scheme.
class LinkOpener {
 public:
  virtual ~LinkOpener() = default;
  virtual void Open(const std::string& target) = 0;
};

// Hands the target to xdg-open as one argument, never through a shell's command line, so no
// character of it is ever taken for shell syntax. Nothing is encoded; the result is not awaited.
class DesktopLinkOpener final : public LinkOpener {
 public:
  void Open(const std::string& target) override;
};

}  // namespace varnex
