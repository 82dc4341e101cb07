#include "Wildcard.h"

#include <algorithm>
#include <iterator>

#include "CaseFold.h"

namespace varnex {

namespace {

// Tokens beyond every folded code point and raw byte.
constexpr char32_t kAnyRun = 0xFFFFFFFF;
constexpr char32_t kAnyOne = 0xFFFFFFFE;

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

WildcardPattern::WildcardPattern(std::string_view pattern) : matchesEverything_(pattern == "*.*") {
  const std::string_view ending = pattern.substr(std::min<std::size_t>(1, pattern.size()));
  if (pattern.size() > 1 && pattern.front() == '*' && !HasWildcards(ending) && IsAscii(ending)) {
    std::transform(ending.begin(), ending.end(), std::back_inserter(asciiEnding_), FoldAscii);
  }
  for (std::size_t offset = 0; offset < pattern.size();) {
    if (pattern[offset] == '*' || pattern[offset] == '?') {
      tokens_.push_back(pattern[offset] == '*' ? kAnyRun : kAnyOne);
      ++offset;
    } else {
      tokens_.push_back(NextFoldedCodePoint(pattern, offset));
    }
  }
}

// Greedy matching that falls back to the last "*" on a mismatch: linear for the patterns a user
// writes, and never worse than pattern length times name length.
bool WildcardPattern::Matches(std::string_view name) const {
  if (matchesEverything_) {
    return true;
  }
  // ASCII bytes are whole characters, so the last bytes are the last characters when all are ASCII.
  if (!asciiEnding_.empty() && name.size() >= asciiEnding_.size()) {
    const std::string_view last = name.substr(name.size() - asciiEnding_.size());
    if (IsAscii(last)) {
      return std::equal(last.begin(), last.end(), asciiEnding_.begin(),
                        [](char a, char b) { return FoldAscii(a) == b; });
    }
  }
  std::size_t token = 0;
  std::size_t offset = 0;
  std::size_t resumeToken = std::string::npos;
  std::size_t resumeOffset = 0;
  while (offset < name.size()) {
    if (token < tokens_.size() && tokens_[token] == kAnyRun) {
      resumeToken = ++token;
      resumeOffset = offset;
      continue;
    }
    std::size_t next = offset;
    const char32_t codePoint = NextFoldedCodePoint(name, next);
    if (token < tokens_.size() && (tokens_[token] == kAnyOne || tokens_[token] == codePoint)) {
      ++token;
      offset = next;
    } else if (resumeToken != std::string::npos) {
      token = resumeToken;
      NextFoldedCodePoint(name, resumeOffset);
      offset = resumeOffset;
    } else {
      return false;
    }
  }
  while (token < tokens_.size() && tokens_[token] == kAnyRun) {
    ++token;
  }
  return token == tokens_.size();
}

bool HasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string::npos;
}

}  // namespace varnex
