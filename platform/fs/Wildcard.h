#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnex {

// A file-name pattern with "*" (any run) and "?" (any one character); every other character is
// literal and letter case is ignored. "*.*" matches every name, as users of such patterns expect.
class WildcardPattern {
 public:
  explicit WildcardPattern(std::string_view pattern);

  bool Matches(std::string_view name) const;

 private:
  std::vector<char32_t> tokens_;
  bool matchesEverything_ = false;
  // For "*" and a plain ASCII ending ("*.mp3"), the ending in lower case: a name whose last bytes
  // are ASCII is matched by comparing just those.
  std::string asciiEnding_;
};

bool HasWildcards(std::string_view text);

}  // namespace varnex
