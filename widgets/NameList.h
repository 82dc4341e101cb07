#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnex {

// Names as bytes, one after another in one buffer: a list of a hundred thousand names costs their
// bytes and an offset each, with no allocation of its own per name.
class NameList {
 public:
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  // The bytes of all names, one after another.
  std::string_view Bytes() const { return bytes_; }

  std::string_view operator[](std::size_t index) const {
    const std::size_t start = index == 0 ? 0 : ends_[index - 1];
    return std::string_view(bytes_).substr(start, ends_[index] - start);
  }

  void Append(std::string_view name) {
    bytes_.append(name);
    ends_.push_back(bytes_.size());
  }

 private:
  std::string bytes_;
  std::vector<std::size_t> ends_;
};

}  // namespace varnex
