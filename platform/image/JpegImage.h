#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnex {

// A JPEG picture decoded by libjpeg into 8-bit RGB rows. A corrupt or truncated file gives an
// error message instead of libjpeg's default handling, which would end the process.
class JpegImage {
 public:
  // Decodes `data`; false with `error` set when it is not a whole, valid JPEG.
  bool LoadFromMemory(const std::vector<std::uint8_t>& data, std::string& error);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // Width() * Height() pixels of red, green and blue, row after row.
  const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

  // The JPEG library this program is built with: its name and version.
  static std::string LibraryName();

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace varnex
