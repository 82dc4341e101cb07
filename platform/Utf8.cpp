#include "Utf8.h"

namespace varnex {

Utf8Char DecodeUtf8(std::string_view text, std::size_t offset) {
  const auto lead = static_cast<unsigned char>(text[offset]);
  if (lead < 0x80) {
    return {lead, 1};
  }
  std::size_t length;
  char32_t codePoint;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, codePoint = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, codePoint = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return {0, 0};
  }
  if (offset + length > text.size()) {
    return {0, 0};
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[offset + i]);
    if ((byte & 0xC0) != 0x80) {
      return {0, 0};
    }
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  if (codePoint < smallest || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return {0, 0};
  }
  return {codePoint, length};
}

char* EncodeUtf8(char32_t codePoint, char* out) {
  if (codePoint < 0x80) {
    *out++ = static_cast<char>(codePoint);
    return out;
  }
  if (codePoint < 0x800) {
    *out++ = static_cast<char>(0xC0 | (codePoint >> 6));
  } else {
    if (codePoint < 0x10000) {
      *out++ = static_cast<char>(0xE0 | (codePoint >> 12));
    } else {
      *out++ = static_cast<char>(0xF0 | (codePoint >> 18));
      *out++ = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    }
    *out++ = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  }
  *out++ = static_cast<char>(0x80 | (codePoint & 0x3F));
  return out;
}

void AppendUtf8(std::string& text, char32_t codePoint) {
  char bytes[4];
  text.append(bytes, EncodeUtf8(codePoint, bytes));
}

}  // namespace varnex
