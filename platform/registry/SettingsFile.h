#pragma once

#include <string>
#include <string_view>

namespace varnex {

// The file the settings live in, read and written so that nothing a person had is ever lost.
class SettingsFile {
 public:
  enum class State {
    Missing,     // nothing is there (or a link points to where nothing is)
    Read,        // a regular file, read whole
    NotRegular,  // something else: a FIFO, a folder, a device...; never opened, so never waited on
    Unreadable,  // a regular file that could not be read
  };

  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  // Reads the file, following links.
  State Read(std::string& text) const;

  // Replaces the contents in one step: a new private file beside the old one, written, flushed to
  // the disk and renamed over it. When the path is a link, the new file goes where it points and
  // the link stays. False when any step fails; the previous file is then whole and in place.
  bool Replace(std::string_view text) const;

  // Moves the file aside, to the first free name of ".bad", ".bad.1", ".bad.2" ... after it; an
  // earlier one is never replaced. When the path is a link to a regular file, that file is moved
  // aside beside itself and the link stays; a link to anything else is moved aside itself.
  bool KeepAside() const;

 private:
  std::string path_;
};

}  // namespace varnex
