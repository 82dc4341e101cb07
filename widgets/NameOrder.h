#pragma once

#include <QCollator>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/NameList.h"

namespace varnex {

// The file list's order, as a file manager sorts: names in UTF-8 by the user's collation with case
// ignored, then names that are not UTF-8 by their bytes with case ignored; names that this leaves
// equal are ordered by their bytes.
class NameOrder {
 public:
  // A name made ready for many comparisons.
  struct Name {
    std::string bytes;
    bool utf8 = false;
    std::u16string text;    // for the collator: the name as text, where it is collated
    std::string foldedKey;  // where it is not: its case-folded key
  };

  // The collation of the default locale, which is the user's unless the program set another. Its
  // tables are loaded when two names first need it, so a list of one name or none costs nothing.
  NameOrder();

  // Makes `name` ready for comparisons as `bytes`, in the buffers it already has: names read one
  // after another into the same Name cost no allocation.
  void Prepare(std::string_view bytes, Name& name) const;

  // Below zero, zero or above zero as `a` sorts before, with or after `b`.
  int Compare(const Name& a, const Name& b) const;

  // The indices of `names` in the list's order; equal names keep the order they came in.
  std::vector<std::size_t> Sorted(const NameList& names) const;

 private:
  const QCollator& Collator() const;
  bool RankedOrder(const NameList& names, std::vector<std::size_t>& indices) const;
  void CollatedOrder(const NameList& names, std::vector<std::size_t>& indices) const;

  mutable std::optional<QCollator> collator_;
  // The C and POSIX locales collate by code point and ignore no case; there the names are
  // compared by their case-folded bytes, so that case is ignored in every locale.
  bool byFoldedBytes_ = false;
};

}  // namespace varnex
