#include "NameOrder.h"

#include <QLocale>
#include <algorithm>
#include <numeric>

#include "platform/Utf8.h"
#include "platform/fs/CaseFold.h"

namespace varnex {

namespace {

enum class Encoding { Ascii, Utf8, Other };

Encoding EncodingOf(std::string_view name) {
  Encoding encoding = Encoding::Ascii;
  for (std::size_t offset = 0; offset < name.size();) {
    if (static_cast<unsigned char>(name[offset]) < 0x80) {
      ++offset;
      continue;
    }
    const std::size_t length = DecodeUtf8(name, offset).length;
    if (length == 0) {
      return Encoding::Other;
    }
    encoding = Encoding::Utf8;
    offset += length;
  }
  return encoding;
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

// Names that are not UTF-8 have no collation; their case-folded bytes give them a fixed order.
void ByteOrder(const std::vector<std::string>& names, std::vector<std::size_t>& indices) {
  struct Item {
    std::size_t keyStart;
    std::size_t keyLength;
    std::size_t index;
  };
  std::string keys;
  std::vector<Item> items;
  items.reserve(indices.size());
  for (const std::size_t index : indices) {
    const std::size_t start = keys.size();
    AppendCaseFoldedKey(keys, names[index]);
    items.push_back({start, keys.size() - start, index});
  }
  const std::string_view allKeys = keys;
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    const int byKey =
        allKeys.substr(a.keyStart, a.keyLength).compare(allKeys.substr(b.keyStart, b.keyLength));
    if (byKey != 0) {
      return byKey < 0;
    }
    if (const int byBytes = names[a.index].compare(names[b.index]); byBytes != 0) {
      return byBytes < 0;
    }
    return a.index < b.index;
  });
  for (std::size_t i = 0; i < items.size(); ++i) {
    indices[i] = items[i].index;
  }
}

}  // namespace

NameOrder::NameOrder() : byFoldedBytes_(QLocale().language() == QLocale::C) {
  collator_.setCaseSensitivity(Qt::CaseInsensitive);
  std::array<char16_t, 128> characters{};
  std::iota(characters.begin(), characters.end(), char16_t{0});
  const auto compare = [this](char16_t a, char16_t b) {
    return collator_.compare(QStringView(&a, 1), QStringView(&b, 1));
  };
  std::stable_sort(characters.begin(), characters.end(),
                   [&](char16_t a, char16_t b) { return compare(a, b) < 0; });
  unsigned char rank = 0;
  for (std::size_t i = 0; i < characters.size(); ++i) {
    if (i > 0 && compare(characters[i - 1], characters[i]) != 0) {
      ++rank;
    }
    asciiRank_[characters[i]] = rank;
  }
}

NameOrder::Name NameOrder::Prepare(std::string bytes) const {
  Name name;
  name.utf8 = EncodingOf(bytes) != Encoding::Other;
  if (name.utf8) {
    name.text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  name.bytes = std::move(bytes);
  return name;
}

int NameOrder::Compare(const Name& a, const Name& b) const {
  if (a.utf8 != b.utf8) {
    return a.utf8 ? -1 : 1;
  }
  const int collated = a.utf8 && !byFoldedBytes_
                           ? collator_.compare(a.text, b.text)
                           : CaseFoldedKey(a.bytes).compare(CaseFoldedKey(b.bytes));
  if (collated != 0) {
    return Sign(collated);
  }
  return Sign(a.bytes.compare(b.bytes));
}

std::vector<std::size_t> NameOrder::Sorted(const std::vector<std::string>& names) const {
  std::vector<std::size_t> utf8;
  std::vector<std::size_t> others;
  bool allAscii = true;
  for (std::size_t index = 0; index < names.size(); ++index) {
    const Encoding encoding = EncodingOf(names[index]);
    if (encoding == Encoding::Other) {
      others.push_back(index);
    } else {
      allAscii = allAscii && encoding == Encoding::Ascii;
      utf8.push_back(index);
    }
  }
  if (byFoldedBytes_) {
    ByteOrder(names, utf8);
  } else if (!allAscii || !FastAsciiOrder(names, utf8)) {
    CollatedOrder(names, utf8);
  }
  ByteOrder(names, others);
  utf8.insert(utf8.end(), others.begin(), others.end());
  return utf8;
}

// Plain ASCII names, as most are, sort by their characters' collation ranks, which costs no more
// than byte folding. Where the locale collates a sequence of characters otherwise than one by one
// (a contraction such as "ch" in Czech), the collation itself tells: the result counts only when
// every neighbouring pair is in order by the collation, and a sequence whose neighbours are all in
// order is sorted.
bool NameOrder::FastAsciiOrder(const std::vector<std::string>& names,
                               std::vector<std::size_t>& indices) const {
  struct Item {
    std::size_t start;  // of the name's key, and after sorting of its text
    std::size_t length;
    std::size_t index;
  };
  std::size_t total = 0;
  for (const std::size_t index : indices) {
    total += names[index].size();
  }
  std::string keys(total, '\0');
  std::vector<Item> items;
  items.reserve(indices.size());
  std::size_t at = 0;
  for (const std::size_t index : indices) {
    const std::string& name = names[index];
    for (std::size_t i = 0; i < name.size(); ++i) {
      keys[at + i] = static_cast<char>(asciiRank_[static_cast<unsigned char>(name[i])]);
    }
    items.push_back({at, name.size(), index});
    at += name.size();
  }
  const std::string_view allKeys = keys;
  std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
    const int byKey = allKeys.substr(a.start, a.length).compare(allKeys.substr(b.start, b.length));
    if (byKey != 0) {
      return byKey < 0;
    }
    if (const int byBytes = names[a.index].compare(names[b.index]); byBytes != 0) {
      return byBytes < 0;
    }
    return a.index < b.index;
  });
  // The names as text in their new order, in one buffer: plain ASCII widens to UTF-16 unchanged.
  std::u16string texts(total, u'\0');
  at = 0;
  for (Item& item : items) {
    const std::string& name = names[item.index];
    std::copy(name.begin(), name.end(), texts.begin() + static_cast<std::ptrdiff_t>(at));
    item.start = at;
    at += name.size();
  }
  const std::u16string_view allTexts = texts;
  for (std::size_t i = 1; i < items.size(); ++i) {
    const Item& a = items[i - 1];
    const Item& b = items[i];
    const int collated = collator_.compare(QStringView(allTexts.substr(a.start, a.length)),
                                           QStringView(allTexts.substr(b.start, b.length)));
    if (collated > 0 || (collated == 0 && names[a.index] > names[b.index])) {
      return false;
    }
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    indices[i] = items[i].index;
  }
  return true;
}

// The general case: one collation key per name, compared as bytes.
void NameOrder::CollatedOrder(const std::vector<std::string>& names,
                              std::vector<std::size_t>& indices) const {
  std::vector<QCollatorSortKey> keys;
  keys.reserve(indices.size());
  for (const std::size_t index : indices) {
    const std::string& name = names[index];
    keys.push_back(
        collator_.sortKey(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
  }
  std::vector<std::size_t> positions(indices.size());
  std::iota(positions.begin(), positions.end(), std::size_t{0});
  std::sort(positions.begin(), positions.end(), [&](std::size_t a, std::size_t b) {
    if (const int collated = keys[a].compare(keys[b]); collated != 0) {
      return collated < 0;
    }
    if (const int byBytes = names[indices[a]].compare(names[indices[b]]); byBytes != 0) {
      return byBytes < 0;
    }
    return a < b;
  });
  std::vector<std::size_t> sorted;
  sorted.reserve(positions.size());
  for (const std::size_t position : positions) {
    sorted.push_back(indices[position]);
  }
  indices = std::move(sorted);
}

}  // namespace varnex
