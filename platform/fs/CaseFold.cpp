#include "CaseFold.h"

#include <QChar>
#include <algorithm>

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
    // Runs of ASCII, which most names are, are folded a run at a time.
    const std::size_t run =
        std::find_if(name.begin() + offset, name.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) -
        name.begin();
    if (run > offset) {
      const std::size_t at = key.size();
      key.resize(at + run - offset);
      std::transform(name.begin() + offset, name.begin() + run, key.begin() + at, FoldAscii);
      offset = run;
      continue;
    }
    const char32_t folded = NextFoldedNonAscii(name, offset);
    if (folded >= kFirstRawByte) {
      // 0xF8 never starts UTF-8, so a stray byte sorts after every character.
      key += '\xF8';
      key += static_cast<char>(folded - kFirstRawByte);
    } else {
      AppendUtf8(key, folded);
    }
  }
}

}  // namespace varnex
