#pragma once

#include <string>

namespace varnex {

// File names cross the graph's interface as wide text. Bytes that are not UTF-8 travel as the
// lone surrogates U+DC80..U+DCFF, one per byte, so every name comes back byte for byte.
std::u16string BytesToWide(const std::string& bytes);
std::string WideToBytes(const std::u16string& wide);

}  // namespace varnex
