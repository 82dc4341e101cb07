#include "EscapedName.h"

#include <algorithm>
#include <cstdio>

#include "platform/Utf8.h"

namespace varnex {

namespace {

// Characters a terminal acts on instead of showing: C0 and C1 controls and DEL; the
// bidirectional controls and marks, which reorder what follows on the line; and the line and
// paragraph separators, which some terminals break the line at.
bool IsControl(char32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) || codePoint == 0x061C ||
         codePoint == 0x200E || codePoint == 0x200F ||
         (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string EscapedName(std::string_view name) {
  std::string escaped;
  for (std::size_t i = 0; i < name.size();) {
    const auto [codePoint, length] = DecodeUtf8(name, i);
    if (length == 0 || IsControl(codePoint)) {
      // Every byte of the character, so the line shows exactly the bytes of the name.
      for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(name[i]));
        escaped += hex;
      }
    } else if (codePoint == '\\') {
      escaped += "\\\\";
      ++i;
    } else {
      escaped.append(name.substr(i, length));
      i += length;
    }
  }
  return escaped;
}

}  // namespace varnex
