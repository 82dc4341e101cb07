#include "NameList.h"

namespace varnex {

NameList NameList::Reordered(const std::vector<std::size_t>& indices) const {
  NameList reordered;
  reordered.bytes_.reserve(bytes_.size());
  reordered.ends_.reserve(indices.size());
  for (const std::size_t index : indices) {
    reordered.Append((*this)[index]);
  }
  return reordered;
}

std::vector<std::string> NameList::Strings() const {
  std::vector<std::string> strings;
  strings.reserve(size());
  for (std::size_t index = 0; index < size(); ++index) {
    strings.emplace_back((*this)[index]);
  }
  return strings;
}

}  // namespace varnex
