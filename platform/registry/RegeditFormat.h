#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RegistryStore.h"

namespace varnex {

// The keys and values of a REGEDIT4 file, in the file's order. Key paths are full
// ("HKEY_CURRENT_USER\Software\Varnex"); the empty value name is the key's default value ("@").
struct RegeditKey {
  std::string path;
  std::vector<std::pair<std::string, RegistryValue>> values;
};
using RegeditContent = std::vector<RegeditKey>;

// Reads the text of a REGEDIT4 file: `"name"="text"`, `dword:0000008a`, `hex:..` and `hex(N):..`,
// with wrapped hex lines and comments. nullopt when the text is not such a file.
std::optional<RegeditContent> ParseRegedit(std::string_view text);

// Writes the content as REGEDIT4 text with Windows line ends, so that regedit imports it. Texts
// that are printable UTF-8 are written quoted; anything else as hex, so every byte survives.
std::string FormatRegedit(const RegeditContent& content);

// Registry names ignore letter case.
bool SameRegistryName(std::string_view a, std::string_view b);

}  // namespace varnex
