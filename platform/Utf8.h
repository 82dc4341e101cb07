#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace varnex {

// Whether the eight bytes at `bytes` are all ASCII, looked at as one word: names are mostly ASCII.
inline bool EightAsciiBytes(const char* bytes) {
  std::uint64_t eight;
  std::memcpy(&eight, bytes, sizeof eight);
  return (eight & 0x8080808080808080u) == 0;
}

struct Utf8Char {
  char32_t codePoint;
  std::size_t length;  // 0 when the bytes at the offset are not valid UTF-8
};

// Decodes the UTF-8 sequence at `offset`. Truncated and overlong sequences, surrogates and values
// beyond U+10FFFF are not valid: names on disk may hold any bytes, and each such byte is then
// left to the caller to treat as itself.
Utf8Char DecodeUtf8(std::string_view text, std::size_t offset);

// Writes the code point's one to four bytes at `out` and returns the end of what it wrote.
char* EncodeUtf8(char32_t codePoint, char* out);
void AppendUtf8(std::string& text, char32_t codePoint);

}  // namespace varnex
