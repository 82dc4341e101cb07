#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnex {

// Case-ignoring handling of file names kept as bytes. Valid UTF-8 is compared by Unicode simple
// case folding; a byte that is not part of valid UTF-8 stands for itself, so every name, valid or
// not, has a place in the order and matches only what it should.

char32_t NextFoldedNonAscii(std::string_view name, std::size_t& offset);

// An ASCII capital in lower case; every other byte as it is.
inline char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// Reads the code point at `offset`, advances `offset` past it and returns it case-folded. A byte
// that does not start a valid UTF-8 sequence comes back as a value above the Unicode range.
inline char32_t NextFoldedCodePoint(std::string_view name, std::size_t& offset) {
  const auto byte = static_cast<unsigned char>(name[offset]);
  if (byte >= 0x80) {
    return NextFoldedNonAscii(name, offset);
  }
  ++offset;
  return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte;
}

// A key whose byte order is the order of names with case ignored: the folded text in UTF-8, which
// keeps code point order, and each stray byte after every character. Sorting by keys compares
// bytes instead of decoding both names at every comparison.
std::string CaseFoldedKey(std::string_view name);
// The same key, appended to `keys`; many keys in one buffer sort faster than separate strings.
void AppendCaseFoldedKey(std::string& keys, std::string_view name);

}  // namespace varnex
