#include "JpegImage.h"

#include <dlfcn.h>

#include <csetjmp>
#include <cstdio>
#include <optional>
#include <string>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace varnex {

namespace {

// The library is opened at the first picture, not with the program: nothing at start needs it.
struct JpegLibrary {
  decltype(&jpeg_std_error) stdError;
  decltype(&jpeg_CreateDecompress) createDecompress;
  decltype(&jpeg_mem_src) memorySource;
  decltype(&jpeg_read_header) readHeader;
  decltype(&jpeg_start_decompress) startDecompress;
  decltype(&jpeg_read_scanlines) readScanlines;
  decltype(&jpeg_finish_decompress) finishDecompress;
  decltype(&jpeg_destroy_decompress) destroyDecompress;

  // Null when the library or one of its functions is missing.
  static const JpegLibrary* Load() {
    static const std::optional<JpegLibrary> loaded = Open();
    return loaded ? &*loaded : nullptr;
  }

 private:
  // The name the library of this interface version is installed under: libjpeg.so.62 for the
  // version 6b interface, libjpeg.so.8 for version 8, and so on.
  static constexpr int kSoVersion = JPEG_LIB_VERSION == 62 ? 62 : JPEG_LIB_VERSION / 10;

  static std::optional<JpegLibrary> Open() {
    const std::string name = "libjpeg.so." + std::to_string(kSoVersion);
    void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      return std::nullopt;
    }
    JpegLibrary api{};
    const bool found = Find(library, "jpeg_std_error", api.stdError) &&
                       Find(library, "jpeg_CreateDecompress", api.createDecompress) &&
                       Find(library, "jpeg_mem_src", api.memorySource) &&
                       Find(library, "jpeg_read_header", api.readHeader) &&
                       Find(library, "jpeg_start_decompress", api.startDecompress) &&
                       Find(library, "jpeg_read_scanlines", api.readScanlines) &&
                       Find(library, "jpeg_finish_decompress", api.finishDecompress) &&
                       Find(library, "jpeg_destroy_decompress", api.destroyDecompress);
    return found ? std::optional(api) : std::nullopt;
  }

  template <typename Function>
  static bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
  }
};

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
  const JpegLibrary* api = JpegLibrary::Load();
  if (api == nullptr) {
    error = "The JPEG library cannot be opened";
    return false;
  }
  jpeg_decompress_struct info;
  ErrorManager manager;
  info.err = api->stdError(&manager.library);
  manager.library.error_exit = LeaveDecoder;
  manager.library.emit_message = TreatWarningsAsErrors;
  std::vector<std::uint8_t> pixels;  // declared before the jump point, so nothing is skipped

  if (setjmp(manager.escape) != 0) {
    api->destroyDecompress(&info);
    error = manager.message;
    return false;
  }
  api->createDecompress(&info, JPEG_LIB_VERSION, sizeof(info));
  api->memorySource(&info, data.data(), static_cast<unsigned long>(data.size()));
  api->readHeader(&info, TRUE);
  info.out_color_space = JCS_RGB;
  api->startDecompress(&info);
  const std::size_t rowSize = static_cast<std::size_t>(info.output_width) * 3;
  pixels.resize(rowSize * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + rowSize * info.output_scanline;
    api->readScanlines(&info, &row, 1);
  }
  api->finishDecompress(&info);
  width_ = static_cast<int>(info.output_width);
  height_ = static_cast<int>(info.output_height);
  api->destroyDecompress(&info);
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
  const JpegLibrary* api = JpegLibrary::Load();
  if (api == nullptr) {
    return "libjpeg";
  }
  jpeg_error_mgr errors;
  api->stdError(&errors);
  return std::string("libjpeg ") + errors.jpeg_message_table[JMSG_VERSION];
#endif
}

}  // namespace varnex
