#include "Audio.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

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

namespace {

// The 16-bit samples of a captured WAV file and the frames (samples of all channels) per second;
// nothing when the file has no complete header.
struct Wav {
  std::vector<std::int16_t> samples;
  std::size_t samplesPerSecond = 0;
};

Wav ReadWav(const std::string& path) {
  const std::string bytes = ReadFile(path);
  const std::size_t format = bytes.find("fmt ");
  const std::size_t data = bytes.find("data");
  Wav wav;
  if (format == std::string::npos || data == std::string::npos || bytes.size() < format + 16) {
    return wav;
  }
  const auto number = [&bytes](std::size_t at, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
  };
  const std::size_t channels = number(format + 10, 2);
  wav.samplesPerSecond = channels * number(format + 12, 4);
  const std::size_t first = data + 8;
  wav.samples.resize((bytes.size() - std::min(first, bytes.size())) / 2);
  std::memcpy(wav.samples.data(), bytes.data() + first, wav.samples.size() * 2);
  return wav;
}

Level Measure(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
  Level level;
  double sum = 0;
  for (std::size_t i = from; i < to && i < samples.size(); ++i) {
    sum += static_cast<double>(samples[i]) * samples[i];
    ++level.samples;
  }
  if (sum > 0) {
    level.rmsDb = 10 * std::log10(sum / static_cast<double>(level.samples) / (32768.0 * 32768.0));
  }
  return level;
}

}  // namespace

Level MeasureWav(const std::string& path) {
  const Wav wav = ReadWav(path);
  const std::size_t count = wav.samples.size();
  return Measure(wav.samples, count / 10, count - count / 10);
}

Level MeasureWavStart(const std::string& path, int milliseconds) {
  const Wav wav = ReadWav(path);
  return Measure(wav.samples, 0, wav.samplesPerSecond * milliseconds / 1000);
}

}  // namespace varnex::test
