#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace varnex {

// What a media file tells about itself; empty texts for tags it does not carry.
struct MediaTags {
  std::string title;
  std::string artist;
  std::string album;
  std::optional<std::int64_t> lengthMicroseconds;

  friend bool operator==(const MediaTags&, const MediaTags&) = default;
};

// Reads the tags and the length of a media file without playing it and without making the
// thread that asks wait.
class MediaTagReader {
 public:
  using Done = std::function<void(const MediaTags& tags)>;

  virtual ~MediaTagReader() = default;
  // Starts reading `path` (the file system's bytes) and returns at once; `done` follows on this
  // thread's event loop, with empty tags for a file that cannot be read. A new read replaces one
  // that has not finished, whose `done` then never comes.
  virtual void Read(const std::string& path, Done done) = 0;
};

// The file:// URI of an absolute path: every byte other than an unreserved character or "/" is
// percent-encoded, so a name that is not UTF-8 keeps its bytes.
std::string FileUri(const std::string& path);

}  // namespace varnex
