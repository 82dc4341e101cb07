#pragma once

#include <memory>
#include <string>
#include <vector>

#include "MediaTags.h"

namespace varnex {

// Reads through GStreamer's discoverer, which runs on the event loop of the thread of the first
// Read (the window's) and gives up on a file after a bounded time.
class GstMediaTagReader final : public MediaTagReader {
 public:
  GstMediaTagReader();
  GstMediaTagReader(const GstMediaTagReader&) = delete;
  GstMediaTagReader& operator=(const GstMediaTagReader&) = delete;
  ~GstMediaTagReader() override;

  void Read(const std::string& path, Done done) override;

 private:
  struct Discovery;
  std::unique_ptr<Discovery> discovery_;
};

// The MIME types of audio this player plays (MP3) that the installed GStreamer plugins can decode.
std::vector<std::string> DecodableAudioTypes();

}  // namespace varnex
