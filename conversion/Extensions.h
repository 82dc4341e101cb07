#pragma once

#include <optional>
#include <string_view>

namespace varnex {

// The two extensions the program converts between, without their dot, in lower case.
inline constexpr std::string_view kMp3 = "mp3";
inline constexpr std::string_view kIad = "iad";

// Which way a pass renames: every entry ending in "." and `from`, letter case ignored, gets `to`.
struct Direction {
  std::string_view from;
  std::string_view to;

  friend bool operator==(const Direction&, const Direction&) = default;
};

inline constexpr Direction kMp3ToIad{kMp3, kIad};
inline constexpr Direction kIadToMp3{kIad, kMp3};

// The direction that gives `extension`; nullopt when it is neither of the two.
inline std::optional<Direction> DirectionTo(std::string_view extension) {
  if (extension == kIad) {
    return kMp3ToIad;
  }
  if (extension == kMp3) {
    return kIadToMp3;
  }
  return std::nullopt;
}

}  // namespace varnex
