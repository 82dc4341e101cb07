#include "Audio.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "TempFolder.h"

namespace varnex::test {

void MakeMp3(const std::string& path, double seconds) {
  const int buffers = static_cast<int>(seconds * 10);
  const std::string command =
      "gst-launch-1.0 -q audiotestsrc num-buffers=" + std::to_string(buffers) +
      " samplesperbuffer=4410 freq=440 volume=0.5 ! audio/x-raw,rate=44100,channels=1 ! "
      "lamemp3enc ! filesink location='" +
      path + "'";
  if (std::system(command.c_str()) != 0) {
    throw std::runtime_error("cannot make " + path);
  }
}

std::string CaptureSink(const std::string& wavPath) {
  return "audioconvert ! audio/x-raw,format=S16LE ! wavenc ! filesink location=" + wavPath;
}

Level MeasureWav(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const std::size_t data = bytes.find("data");
  if (data == std::string::npos) {
    return {};
  }
  const std::size_t first = data + 8;
  const std::size_t count = (bytes.size() - first) / 2;
  Level level;
  double sum = 0;
  for (std::size_t i = count / 10; i < count - count / 10; ++i) {
    std::int16_t sample;
    std::memcpy(&sample, bytes.data() + first + 2 * i, 2);
    sum += static_cast<double>(sample) * sample;
    ++level.samples;
  }
  if (sum > 0) {
    level.rmsDb = 10 * std::log10(sum / static_cast<double>(level.samples) / (32768.0 * 32768.0));
  }
  return level;
}

}  // namespace varnex::test
