#include "WideText.h"

namespace varnex {

namespace {

// The code point of a valid UTF-8 sequence at `i` and its length, or length 0.
char32_t DecodeUtf8(const std::string& bytes, std::size_t i, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(bytes[i]);
  char32_t codePoint = 0;
  char32_t smallest = 0;
  length = lead < 0x80                    ? 1
           : lead >= 0xC2 && lead <= 0xDF ? 2
           : lead >= 0xE0 && lead <= 0xEF ? 3
           : lead >= 0xF0 && lead <= 0xF4 ? 4
                                          : 0;
  if (length == 0 || i + length > bytes.size()) {
    length = 0;
    return 0;
  }
  if (length == 1) {
    return lead;
  }
  codePoint = lead & (0x7F >> length);
  smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(bytes[i + k]);
    if ((byte & 0xC0) != 0x80) {
      length = 0;
      return 0;
    }
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  if (codePoint < smallest || codePoint > 0x10FFFF ||
      (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    length = 0;
  }
  return codePoint;
}

void AppendUtf8(std::string& bytes, char32_t codePoint) {
  if (codePoint < 0x80) {
    bytes += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    bytes += static_cast<char>(0xC0 | (codePoint >> 6));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    bytes += static_cast<char>(0xE0 | (codePoint >> 12));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (codePoint >> 18));
    bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

}  // namespace

std::u16string BytesToWide(const std::string& bytes) {
  std::u16string wide;
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t length = 0;
    const char32_t codePoint = DecodeUtf8(bytes, i, length);
    if (length == 0) {
      wide += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
      ++i;
    } else if (codePoint >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
      i += length;
    } else {
      wide += static_cast<char16_t>(codePoint);
      i += length;
    }
  }
  return wide;
}

std::string WideToBytes(const std::u16string& wide) {
  std::string bytes;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF) {
      AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00));
    } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
      bytes += static_cast<char>(unit - 0xDC00);  // a byte that was not UTF-8
    } else {
      AppendUtf8(bytes, unit);
    }
  }
  return bytes;
}

}  // namespace varnex
