#include "CaseFold.h"

#include <QChar>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/Utf8.h"

namespace varnex {

namespace {

constexpr char32_t kFirstRawByte = 0x110000;
constexpr std::size_t kEight = sizeof(std::uint64_t);
constexpr std::uint64_t kEachByte = 0x0101010101010101;
constexpr std::uint64_t kTopBits = kEachByte * 0x80;

char32_t RawByte(unsigned char byte) {
  return kFirstRawByte + byte;
}

// Folds eight bytes at once into `out` when all are ASCII, which most of most names are. A byte's
// top bit comes up where it is at least 'A' and not above 'Z'; moved down to 0x20, it makes that
// capital small. No byte carries into the next, as none is above 0x7F.
bool FoldEightAscii(const char* in, char* out) {
  if (!EightAsciiBytes(in)) {
    return false;
  }
  std::uint64_t eight;
  std::memcpy(&eight, in, kEight);
  const std::uint64_t atLeastA = eight + kEachByte * (0x80 - 'A');
  const std::uint64_t aboveZ = eight + kEachByte * (0x80 - 'Z' - 1);
  const std::uint64_t folded = eight | ((atLeastA & ~aboveZ & kTopBits) >> 2);
  std::memcpy(out, &folded, kEight);
  return true;
}

// The folds of the two-byte characters, asked of the toolkit once: accented Latin, Greek and
// Cyrillic letters, most of what names hold beyond ASCII, are among them.
const std::array<char16_t, 0x800>& TwoByteFolds() {
  static const std::array<char16_t, 0x800> folds = [] {
    std::array<char16_t, 0x800> table{};
    for (char32_t codePoint = 0x80; codePoint < table.size(); ++codePoint) {
      table[codePoint] = static_cast<char16_t>(QChar::toCaseFolded(codePoint));
    }
    return table;
  }();
  return folds;
}

}  // namespace

char32_t NextFoldedNonAscii(std::string_view name, std::size_t& offset) {
  const auto lead = static_cast<unsigned char>(name[offset]);
  if (lead >= 0xC2 && lead <= 0xDF && offset + 1 < name.size()) {
    const auto trail = static_cast<unsigned char>(name[offset + 1]);
    if ((trail & 0xC0) == 0x80) {
      offset += 2;
      return TwoByteFolds()[(lead & 0x1Fu) << 6 | (trail & 0x3Fu)];
    }
  }
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
  const std::size_t start = key.size();
  // A key takes at most two bytes for each byte of the name: a stray byte takes two, and no
  // character folds to more than twice its own length.
  key.resize(start + 2 * name.size());
  char* out = key.data() + start;
  for (std::size_t offset = 0; offset < name.size();) {
    if (offset + kEight <= name.size() && FoldEightAscii(name.data() + offset, out)) {
      offset += kEight;
      out += kEight;
      continue;
    }
    const char byte = name[offset];
    if (static_cast<unsigned char>(byte) < 0x80) {
      *out++ = FoldAscii(byte);
      ++offset;
      continue;
    }
    const char32_t folded = NextFoldedNonAscii(name, offset);
    if (folded >= kFirstRawByte) {
      // 0xF8 never starts UTF-8, so a stray byte sorts after every character.
      *out++ = '\xF8';
      *out++ = static_cast<char>(folded - kFirstRawByte);
    } else {
      out = EncodeUtf8(folded, out);
    }
  }
  key.resize(static_cast<std::size_t>(out - key.data()));
}

}  // namespace varnex
