#include "WideText.h"

#include "platform/Utf8.h"

namespace varnex {

std::u16string BytesToWide(const std::string& bytes) {
  std::u16string wide;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto [codePoint, length] = DecodeUtf8(bytes, i);
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
