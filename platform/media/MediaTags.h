#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnex {

// What a media file tells about itself; empty texts for tags it does not carry.
struct MediaTags {
  std::string title;
  std::string artist;
  std::string album;
  std::optional<std::int64_t> lengthMicroseconds;
};

// Reads the tags and the length of a media file without playing it.
class MediaTagReader {
 public:
  virtual ~MediaTagReader() = default;
  // `path` holds the file system's bytes; a file that cannot be read gives empty tags.
  virtual MediaTags Read(const std::string& path) = 0;
};

// Reads through GStreamer's discoverer, waiting a bounded time for a file.
class GstMediaTagReader final : public MediaTagReader {
 public:
  GstMediaTagReader();
  MediaTags Read(const std::string& path) override;
};

// The file:// URI of an absolute path: every byte other than an unreserved character or "/" is
// percent-encoded, so a name that is not UTF-8 keeps its bytes.
std::string FileUri(const std::string& path);

// The MIME types of audio this player plays (MP3) that the installed GStreamer plugins can decode.
std::vector<std::string> DecodableAudioTypes();

}  // namespace varnex
