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

void AppendUtf8(std::string& text, char32_t codePoint) {
  if (codePoint < 0x800) {
    text += static_cast<char>(0xC0 | (codePoint >> 6));
  } else {
    if (codePoint < 0x10000) {
      text += static_cast<char>(0xE0 | (codePoint >> 12));
    } else {
      text += static_cast<char>(0xF0 | (codePoint >> 18));
      text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    }
    text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  }
  text += static_cast<char>(0x80 | (codePoint & 0x3F));
}

}  // namespace

char32_t NextFoldedNonAscii(std::string_view name, std::size_t& offset) {
  std::size_t length = 0;
  const char32_t codePoint = DecodeSequence(name, offset, length);
  if (codePoint == 0) {
    return RawByte(static_cast<unsigned char>(name[offset++]));
  }
  offset += length;
  return QChar::toCaseFolded(codePoint);
}

std::string CaseFoldedKey(std::string_view name) {
  std::string key;
  key.reserve(name.size());
  AppendCaseFoldedKey(key, name);
  return key;
}

void AppendCaseFoldedKey(std::string& key, std::string_view name) {
  for (std::size_t offset = 0; offset < name.size();) {
    const char32_t folded = NextFoldedCodePoint(name, offset);
    if (folded < 0x80) {
      key += static_cast<char>(folded);
    } else if (folded >= kFirstRawByte) {
      // 0xF8 never starts UTF-8, so a stray byte sorts after every character.
      key += '\xF8';
      key += static_cast<char>(folded - kFirstRawByte);
    } else {
      AppendUtf8(key, folded);
    }
  }
}

}  // namespace varnex
