#include "CaseFold.h"

#include <QChar>

namespace varnex {

namespace {

constexpr char32_t kFirstRawByte = 0x110000;

char32_t RawByte(unsigned char byte) {
  return kFirstRawByte + byte;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes one multi-byte UTF-8 sequence starting at `offset`, or returns 0 when it is not valid
// (truncated, overlong, a surrogate or beyond U+10FFFF).
char32_t DecodeSequence(std::string_view name, std::size_t offset, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(name[offset]);
  char32_t codePoint;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return 0;
  }
  if (offset + length > name.size()) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(name[offset + i]);
    if (!IsContinuation(byte)) {
      return 0;
    }
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  if (codePoint < smallest || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return codePoint;
}

}  // namespace

char32_t NextFoldedCodePoint(std::string_view name, std::size_t& offset) {
  const auto lead = static_cast<unsigned char>(name[offset]);
  if (lead < 0x80) {
    ++offset;
    return (lead >= 'A' && lead <= 'Z') ? lead + ('a' - 'A') : lead;
  }
  std::size_t length = 0;
  const char32_t codePoint = DecodeSequence(name, offset, length);
  if (codePoint == 0) {
    ++offset;
    return RawByte(lead);
  }
  offset += length;
  return QChar::toCaseFolded(codePoint);
}

int CompareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = NextFoldedCodePoint(a, i);
    const char32_t y = NextFoldedCodePoint(b, j);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (i < a.size()) {
    return 1;
  }
  return j < b.size() ? -1 : 0;
}

}  // namespace varnex
