#pragma once

#include <string>

#include "RegistryStore.h"

namespace varnex {

// The per-user store in one REGEDIT4 file, so that it can be read, edited by hand and imported
// into a Windows registry. A key holds the file's lock while it is open, so the values one program
// writes between opening and closing its key land together; every write replaces the file in one
// step (a new file renamed over the old), so a crash leaves the old or the new file, never half of
// one; a write that fails for any reason (a full disk too) leaves the previous file whole. The
// file is read as regedit imports it, and a write changes only the value written, keeping every
// other line as the person left it. A file without the format's header, so no settings file at
// all, or anything at its name but a regular file, reads as empty and is kept beside as ".bad"
// (".bad.1", ".bad.2" ... when that is taken) before it is replaced. A file without its owner's
// write permission is never replaced. When the file is a link, the link stays and what it points
// to is replaced. When the lock cannot be taken at all (no permission, or anything but a regular
// file at its name), the key is read as usual but every write fails.
class RegFileStore final : public RegistryStore {
 public:
  explicit RegFileStore(std::string filePath);

  // $XDG_CONFIG_HOME/Varnex/registry.reg, with ~/.config when XDG_CONFIG_HOME is unset.
  static std::string DefaultPath();

  std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override;

 private:
  std::string filePath_;
};

}  // namespace varnex
