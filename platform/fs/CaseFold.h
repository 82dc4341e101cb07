#pragma once

#include <cstddef>
#include <string_view>

namespace varnex {

// Case-ignoring comparison of file names kept as bytes. Valid UTF-8 is compared by Unicode simple
// case folding; a byte that is not part of valid UTF-8 stands for itself, so every name, valid or
// not, has a place in the order and matches only what it should.

// Reads the code point at `offset`, advances `offset` past it and returns it case-folded. A byte
// that does not start a valid UTF-8 sequence comes back as a value above the Unicode range.
char32_t NextFoldedCodePoint(std::string_view name, std::size_t& offset);

// Negative, zero or positive as `a` sorts before, with or after `b` when case is ignored.
int CompareIgnoringCase(std::string_view a, std::string_view b);

inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return CompareIgnoringCase(a, b) == 0;
}

}  // namespace varnex
