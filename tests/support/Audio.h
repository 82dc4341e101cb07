#pragma once

#include <string>

namespace varnex::test {

// Writes an MP3 of a 440 Hz tone, made by GStreamer's own encoder.
void MakeMp3(const std::string& path, double seconds);

// The sink description that captures what the player plays into a WAV file (16-bit samples).
std::string CaptureSink(const std::string& wavPath);

struct Level {
  std::size_t samples = 0;
  double rmsDb = -200;  // relative to full scale; -200 stands for digital silence
};

// The RMS level of the middle 80 % of a captured WAV file.
Level MeasureWav(const std::string& path);

// The RMS level of the first `milliseconds` of a captured WAV file, all channels together.
Level MeasureWavStart(const std::string& path, int milliseconds);

}  // namespace varnex::test
