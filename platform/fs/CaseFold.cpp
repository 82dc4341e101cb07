#include "CaseFold.h"

#include <QChar>

#include "platform/Utf8.h"

namespace varnex {

namespace {

constexpr char32_t kFirstRawByte = 0x110000;

char32_t RawByte(unsigned char byte) {
  return kFirstRawByte + byte;
}

}  // namespace

char32_t NextFoldedNonAscii(std::string_view name, std::size_t& offset) {
  const Utf8Char decoded = DecodeUtf8(name, offset);
  if (decoded.length == 0) {
    return RawByte(static_cast<unsigned char>(name[offset++]));
  }
  offset += decoded.length;
  return QChar::toCaseFolded(decoded.codePoint);
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
