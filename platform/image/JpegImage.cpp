#include "JpegImage.h"

#include <csetjmp>
#include <cstdio>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace varnex {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return; it jumps back to
// the decoder instead of ending the process.
struct ErrorManager {
  jpeg_error_mgr library;
  std::jmp_buf escape;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void LeaveDecoder(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  manager->library.format_message(info, manager->message);
  std::longjmp(manager->escape, 1);
}

// Warnings (a truncated file among them) end the decoding too: a half picture is no picture.
void TreatWarningsAsErrors(j_common_ptr info, int level) {
  if (level < 0) {
    LeaveDecoder(info);
  }
}

}  // namespace

bool JpegImage::LoadFromMemory(const std::vector<std::uint8_t>& data, std::string& error) {
  jpeg_decompress_struct info;
  ErrorManager manager;
  info.err = jpeg_std_error(&manager.library);
  manager.library.error_exit = LeaveDecoder;
  manager.library.emit_message = TreatWarningsAsErrors;
  std::vector<std::uint8_t> pixels;  // declared before the jump point, so nothing is skipped

  if (setjmp(manager.escape) != 0) {
    jpeg_destroy_decompress(&info);
    error = manager.message;
    return false;
  }
  jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof(info));
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  const std::size_t rowSize = static_cast<std::size_t>(info.output_width) * 3;
  pixels.resize(rowSize * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + rowSize * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  width_ = static_cast<int>(info.output_width);
  height_ = static_cast<int>(info.output_height);
  jpeg_destroy_decompress(&info);
  pixels_ = std::move(pixels);
  return true;
}

// libjpeg-turbo reports the version text of the IJG release whose interface it offers ("6b" with
// that release's date), not its own; its own version is in its configuration header.
std::string JpegImage::LibraryName() {
#ifdef LIBJPEG_TURBO_VERSION
#define VARNEX_TEXT(x) #x
#define VARNEX_EXPANDED_TEXT(x) VARNEX_TEXT(x)
  return "libjpeg-turbo " VARNEX_EXPANDED_TEXT(LIBJPEG_TURBO_VERSION);
#undef VARNEX_EXPANDED_TEXT
#undef VARNEX_TEXT
#else
  jpeg_error_mgr errors;
  jpeg_std_error(&errors);
  return std::string("libjpeg ") + errors.jpeg_message_table[JMSG_VERSION];
#endif
}

}  // namespace varnex
