#include "NameOrder.h"

#include <QLocale>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <string_view>

#include "platform/Utf8.h"
#include "platform/fs/CaseFold.h"

namespace varnex {

namespace {

bool IsUtf8(std::string_view name) {
  for (std::size_t offset = 0; offset < name.size();) {
    // Most names are ASCII, checked eight bytes at a time.
    if (offset + 8 <= name.size() && EightAsciiBytes(name.data() + offset)) {
      offset += 8;
      continue;
    }
    if (static_cast<unsigned char>(name[offset]) < 0x80) {
      ++offset;
      continue;
    }
    const std::size_t length = DecodeUtf8(name, offset).length;
    if (length == 0) {
      return false;
    }
    offset += length;
  }
  return true;
}

// Calls `visit` with each code point of a name known to be UTF-8.
template <typename Visit>
void ForEachCodePoint(std::string_view name, Visit&& visit) {
  const auto byte = [name](std::size_t offset) {
    return static_cast<char32_t>(static_cast<unsigned char>(name[offset]));
  };
  for (std::size_t offset = 0; offset < name.size();) {
    const char32_t lead = byte(offset);
    if (lead < 0x80) {
      visit(lead);
      offset += 1;
    } else if (lead < 0xE0) {
      visit((lead & 0x1F) << 6 | (byte(offset + 1) & 0x3F));
      offset += 2;
    } else if (lead < 0xF0) {
      visit((lead & 0x0F) << 12 | (byte(offset + 1) & 0x3F) << 6 | (byte(offset + 2) & 0x3F));
      offset += 3;
    } else {
      visit((lead & 0x07) << 18 | (byte(offset + 1) & 0x3F) << 12 | (byte(offset + 2) & 0x3F) << 6 |
            (byte(offset + 3) & 0x3F));
      offset += 4;
    }
  }
}

// The longest name in a list: 255 bytes, and the brackets around a folder's name.
constexpr std::size_t kLongestName = 257;

// How many items ahead memory is fetched where items are visited out of the order they are stored.
constexpr std::size_t kReadAhead = 8;

int Sign(int value) {
  return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

// One name to be ordered by its key, a stretch of a buffer of keys. Names are at most 255 bytes
// (257 for a folder in brackets) and their keys at most four bytes a byte, so lengths fit 16 bits.
struct KeyedItem {
  std::uint64_t digit = 0;  // the eight bytes of the key being compared, as one number
  std::uint32_t keyStart = 0;
  std::uint32_t nameStart = 0;  // in the bytes of the list of names
  std::uint32_t position = 0;   // in the indices being ordered, which are in the order read
  std::uint16_t keyLength = 0;
  std::uint16_t nameLength = 0;
};

KeyedItem MakeItem(const std::string& keys, std::size_t keyStart, const NameList& names,
                   std::string_view name, std::size_t position) {
  return {0,
          static_cast<std::uint32_t>(keyStart),
          static_cast<std::uint32_t>(name.data() - names.Bytes().data()),
          static_cast<std::uint32_t>(position),
          static_cast<std::uint16_t>(keys.size() - keyStart),
          static_cast<std::uint16_t>(name.size())};
}

std::string_view NameOf(const KeyedItem& item, const NameList& names) {
  return names.Bytes().substr(item.nameStart, item.nameLength);
}

// Orders items by their keys, then by their names' bytes, then by their positions. Keys are
// compared eight bytes at a time as integers, and only items that agree so far are compared
// further, so long shared beginnings ("Track 1...") cost little. A key holds no zero byte, so the
// zeros that pad its end put it before every longer key it begins.
class KeySorter {
 public:
  KeySorter(std::string_view keys, const NameList& names) : keys_(keys), names_(names) {}

  void Sort(std::vector<KeyedItem>& items) const { SortFrom(items.begin(), items.end(), 0); }

 private:
  using Iterator = std::vector<KeyedItem>::iterator;
  static constexpr std::size_t kDigitBytes = 8;
  static constexpr std::ptrdiff_t kRadixRun = 512;

  void SortFrom(Iterator first, Iterator last, std::size_t depth) const {
    // Below the first bytes the items come in another order than their keys: fetching the
    // keys a few items ahead keeps the reads from waiting on memory one after another.
    for (auto item = first; item != last; ++item) {
      if (last - item > static_cast<std::ptrdiff_t>(kReadAhead)) {
        __builtin_prefetch(keys_.data() + item[kReadAhead].keyStart + depth);
      }
      item->digit = Digit(*item, depth);
    }
    if (last - first >= kRadixRun) {
      RadixSort(first, last);
    } else {
      std::sort(first, last,
                [](const KeyedItem& a, const KeyedItem& b) { return a.digit < b.digit; });
    }
    while (first != last) {
      const std::uint64_t digit = first->digit;
      const auto next = std::find_if(
          first + 1, last, [digit](const KeyedItem& item) { return item.digit != digit; });
      // Keys that end within these bytes are equal, and go before the longer ones they begin.
      const auto longer = std::partition(first, next, [depth](const KeyedItem& item) {
        return item.keyLength <= depth + kDigitBytes;
      });
      if (longer - first > 1) {
        std::sort(first, longer, [this](const KeyedItem& a, const KeyedItem& b) {
          const int byBytes = NameOf(a, names_).compare(NameOf(b, names_));
          return byBytes != 0 ? byBytes < 0 : a.position < b.position;
        });
      }
      if (next - longer > 1) {
        SortFrom(longer, next, depth + kDigitBytes);
      }
      first = next;
    }
  }

  // By digit, a byte at a time from the lowest, skipping the bytes that all items share: for
  // many items cheaper than comparing.
  static void RadixSort(Iterator first, Iterator last) {
    const auto count = static_cast<std::size_t>(last - first);
    std::vector<KeyedItem> buffer(count);
    KeyedItem* from = &*first;
    KeyedItem* to = buffer.data();
    for (int shift = 0; shift < 64; shift += 8) {
      std::array<std::size_t, 257> starts{};
      for (std::size_t i = 0; i < count; ++i) {
        ++starts[((from[i].digit >> shift) & 0xFF) + 1];
      }
      if (std::find(starts.begin() + 1, starts.end(), count) != starts.end()) {
        continue;
      }
      std::partial_sum(starts.begin(), starts.end(), starts.begin());
      for (std::size_t i = 0; i < count; ++i) {
        to[starts[(from[i].digit >> shift) & 0xFF]++] = from[i];
      }
      std::swap(from, to);
    }
    if (from != &*first) {
      std::copy(from, from + count, first);
    }
  }

  std::uint64_t Digit(const KeyedItem& item, std::size_t depth) const {
    const char* bytes = keys_.data() + item.keyStart + depth;
    std::uint64_t digit = 0;
    if (item.keyLength >= depth + kDigitBytes) {
      std::memcpy(&digit, bytes, kDigitBytes);
      return __builtin_bswap64(digit);
    }
    for (std::size_t i = 0; i < kDigitBytes; ++i) {
      const bool inKey = depth + i < item.keyLength;
      digit = digit << 8 | (inKey ? static_cast<unsigned char>(bytes[i]) : 0u);
    }
    return digit;
  }

  std::string_view keys_;
  const NameList& names_;
};

void TakeOrder(const std::vector<KeyedItem>& items, std::vector<std::size_t>& indices) {
  std::vector<std::size_t> sorted;
  sorted.reserve(items.size());
  for (const KeyedItem& item : items) {
    sorted.push_back(indices[item.position]);
  }
  indices = std::move(sorted);
}

// Names with no collation (not UTF-8, or in the C locale) in the order of their case-folded bytes.
void CaseFoldedOrder(const NameList& names, std::vector<std::size_t>& indices) {
  std::string keys;
  // Keys are mostly as long as their names; a key is written into room for twice its name.
  keys.reserve(names.Bytes().size() + 2 * kLongestName);
  std::vector<KeyedItem> items;
  items.reserve(indices.size());
  for (std::size_t position = 0; position < indices.size(); ++position) {
    const std::size_t start = keys.size();
    const std::string_view name = names[indices[position]];
    AppendCaseFoldedKey(keys, name);
    items.push_back(MakeItem(keys, start, names, name, position));
  }
  KeySorter(keys, names).Sort(items);
  TakeOrder(items, indices);
}

// The distinct characters of some names in UTF-8, each with a slot of its own.
class CharacterSlots {
 public:
  CharacterSlots(const NameList& names, const std::vector<std::size_t>& indices) {
    // Most characters are ASCII: they are only marked as seen here, and take their slots after.
    std::array<bool, 0x80> asciiSeen{};
    for (const std::size_t index : indices) {
      ForEachCodePoint(names[index], [this, &asciiSeen](char32_t character) {
        if (character < asciiSeen.size()) {
          asciiSeen[character] = true;
        } else {
          Take(character);
        }
      });
    }
    for (char32_t character = 0; character < asciiSeen.size(); ++character) {
      if (asciiSeen[character]) {
        Take(character);
      }
    }
  }

  // Too many distinct characters for a slot each (then the characterSlots are not to be used).
  bool TooVaried() const { return characters_.size() >= kMaxSlots; }
  // The characters by slot.
  const std::vector<char32_t>& Characters() const { return characters_; }

  std::uint16_t Of(char32_t character) const {
    const std::uint16_t slot = character < twoBytes_.size() ? twoBytes_[character]
                               : character < kPagedCharacters
                                   ? (*pages_[character >> 8])[character & 0xFF]
                                   : others_.at(character);
    return static_cast<std::uint16_t>(slot - 1);
  }

 private:
  void Take(char32_t character) {
    std::uint16_t& slot = character < twoBytes_.size()   ? twoBytes_[character]
                          : character < kPagedCharacters ? PageOf(character)[character & 0xFF]
                                                         : others_[character];
    if (slot == 0 && !TooVaried()) {
      characters_.push_back(character);
      slot = static_cast<std::uint16_t>(characters_.size());
    }
  }

  // As many as two bytes of a key can rank (see RankKeys).
  static constexpr std::size_t kMaxSlots = std::size_t{254} * 255;
  // The characterSlots of the basic plane in pages of 256 characters, made as characters of each
  // appear: names use a few scripts, so a few pages.
  using Page = std::array<std::uint16_t, 256>;
  static constexpr char32_t kPagedCharacters = 0x10000;

  Page& PageOf(char32_t character) {
    std::unique_ptr<Page>& page = pages_[character >> 8];
    if (!page) {
      page = std::make_unique<Page>();
    }
    return *page;
  }

  // Each character's slot + 1, or 0 before it has one; the characters of one and two bytes of
  // UTF-8 (Latin, Greek, Cyrillic, Hebrew, Arabic ...) always, the others by page.
  std::array<std::uint16_t, 0x800> twoBytes_{};
  std::array<std::unique_ptr<Page>, kPagedCharacters / 256> pages_;
  std::map<char32_t, std::uint16_t> others_;  // beyond the basic plane
  std::vector<char32_t> characters_;
};

// Where each character stands in the collation: its primary rank, shared by the characters that
// differ only by accents, and its full rank, shared only by those that collate equal (as a letter
// and its other case do). Learnt by asking the collator about the characters themselves, which
// holds for characters that collate one by one; whatever a language collates otherwise
// (contractions, expansions, ignorable marks) shows when the order is checked.
class CharacterRanks {
 public:
  struct Rank {
    std::uint16_t primary = 0;
    std::uint16_t full = 0;
    bool accented = false;  // not the first of the characters that share its primary rank
  };

  CharacterRanks(const QCollator& collator, const std::vector<char32_t>& characters) {
    std::vector<QString> texts;
    texts.reserve(characters.size());
    for (const char32_t character : characters) {
      texts.push_back(QString::fromUcs4(&character, 1));
    }
    std::vector<std::size_t> order(characters.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return collator.compare(texts[a], texts[b]) < 0;
    });
    ranks_.resize(characters.size());
    int primary = 0;
    int full = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
      const QString& before = texts[order[i - 1]];
      const QString& current = texts[order[i]];
      Rank rank = ranks_[order[i - 1]];
      if (collator.compare(before, current) != 0) {
        // Only an accent tells two characters apart when a later letter decides between them.
        rank.accented = collator.compare(before + u'1', current + u'0') > 0;
        rank.primary = static_cast<std::uint16_t>(primary += rank.accented ? 0 : 1);
        rank.full = static_cast<std::uint16_t>(++full);
      }
      ranks_[order[i]] = rank;
    }
  }

  std::size_t Count() const { return ranks_.size(); }
  const Rank& Of(std::uint16_t slot) const { return ranks_[slot]; }

 private:
  std::vector<Rank> ranks_;  // by slot
};

// A name's key: the primary ranks of its characters, and where an accent is among them, a
// separator and their full ranks. Names then compare as the collation compares them, letters
// first and accents only between names with the same letters. A rank takes one byte from 2 up, or
// where there are more ranks than that holds two, the first from 2 up and the second from 1 up:
// no byte is zero, and the separator 1 is below every rank.
class RankKeys {
 public:
  RankKeys(const CharacterSlots& characterSlots, const CharacterRanks& ranks)
      : slots_(characterSlots), ranks_(ranks), wide_(ranks.Count() + 1 > 0xFF) {
    const std::vector<char32_t>& characters = characterSlots.Characters();
    for (std::size_t slot = 0; slot < characters.size(); ++slot) {
      if (characters[slot] < ascii_.size()) {
        ascii_[characters[slot]] = ranks.Of(static_cast<std::uint16_t>(slot));
      }
    }
  }

  void Append(std::string& keys, std::string_view name) const {
    const std::size_t start = keys.size();
    // At most a rank for each byte, a separator and again a rank for each byte.
    const std::size_t half = name.size() * (wide_ ? 2 : 1);
    keys.resize(start + 2 * half + 1);
    char* primaryKey = keys.data() + start;
    // The full ranks go after the room the primary ones may take, and move up behind them.
    char* const fullStart = primaryKey + half + 1;
    char* fullKey = fullStart;
    bool accented = false;
    ForEachCodePoint(name, [&](char32_t character) {
      const CharacterRanks::Rank& rank = Of(character);
      primaryKey = Put(primaryKey, rank.primary);
      fullKey = Put(fullKey, rank.full);
      accented = accented || rank.accented;
    });
    if (accented) {
      *primaryKey++ = kSeparator;
      primaryKey = std::copy(fullStart, fullKey, primaryKey);
    }
    keys.resize(static_cast<std::size_t>(primaryKey - keys.data()));
  }

 private:
  static constexpr char kSeparator = 1;

  const CharacterRanks::Rank& Of(char32_t character) const {
    return character < ascii_.size() ? ascii_[character] : ranks_.Of(slots_.Of(character));
  }

  char* Put(char* key, int rank) const {
    if (wide_) {
      *key++ = static_cast<char>(rank / 255 + 2);
      *key++ = static_cast<char>(rank % 255 + 1);
    } else {
      *key++ = static_cast<char>(rank + 2);
    }
    return key;
  }

  const CharacterSlots& slots_;
  const CharacterRanks& ranks_;
  bool wide_;
  std::array<CharacterRanks::Rank, 128> ascii_{};
};

// A name in UTF-8 as the UTF-16 text the collator takes, in a buffer used again and again.
void ToUtf16(std::string_view name, std::u16string& text) {
  text.resize(name.size());  // a character takes no more units than bytes
  char16_t* unit = text.data();
  // An ASCII beginning, mostly the whole name, widens without decoding.
  std::size_t ascii = 0;
  while (ascii + 8 <= name.size() && EightAsciiBytes(name.data() + ascii)) {
    ascii += 8;
  }
  unit = std::copy(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(ascii), unit);
  name.remove_prefix(ascii);
  ForEachCodePoint(name, [&unit](char32_t character) {
    if (character < 0x10000) {
      *unit++ = static_cast<char16_t>(character);
    } else {
      *unit++ = static_cast<char16_t>(0xD7C0 + (character >> 10));
      *unit++ = static_cast<char16_t>(0xDC00 + (character & 0x3FF));
    }
  });
  text.resize(static_cast<std::size_t>(unit - text.data()));
}

}  // namespace

NameOrder::NameOrder() : byFoldedBytes_(QLocale().language() == QLocale::C) {}

const QCollator& NameOrder::Collator() const {
  if (!collator_) {
    collator_.emplace();
    collator_->setCaseSensitivity(Qt::CaseInsensitive);
  }
  return *collator_;
}

void NameOrder::Prepare(std::string_view bytes, Name& name) const {
  name.bytes.assign(bytes);
  name.utf8 = IsUtf8(bytes);
  name.foldedKey.clear();
  if (name.utf8 && !byFoldedBytes_) {
    ToUtf16(bytes, name.text);
  } else {
    AppendCaseFoldedKey(name.foldedKey, bytes);
  }
}

int NameOrder::Compare(const Name& a, const Name& b) const {
  if (a.utf8 != b.utf8) {
    return a.utf8 ? -1 : 1;
  }
  const int collated = a.utf8 && !byFoldedBytes_
                           ? Collator().compare(QStringView(a.text), QStringView(b.text))
                           : a.foldedKey.compare(b.foldedKey);
  if (collated != 0) {
    return Sign(collated);
  }
  return Sign(a.bytes.compare(b.bytes));
}

std::vector<std::size_t> NameOrder::Sorted(const NameList& names) const {
  std::vector<std::size_t> utf8;
  std::vector<std::size_t> others;
  utf8.reserve(names.size());
  for (std::size_t index = 0; index < names.size(); ++index) {
    (IsUtf8(names[index]) ? utf8 : others).push_back(index);
  }
  if (byFoldedBytes_) {
    CaseFoldedOrder(names, utf8);
  } else if (utf8.size() > 1 && !RankedOrder(names, utf8)) {
    CollatedOrder(names, utf8);
  }
  CaseFoldedOrder(names, others);
  utf8.insert(utf8.end(), others.begin(), others.end());
  return utf8;
}

// Most names sort by the ranks of their characters, which costs about as much as sorting bytes.
// The result counts only when the collation itself puts every neighbouring pair in order, and a
// sequence whose neighbours are all in order is sorted; otherwise the general case decides.
bool NameOrder::RankedOrder(const NameList& names, std::vector<std::size_t>& indices) const {
  const CharacterSlots characterSlots(names, indices);
  if (characterSlots.TooVaried()) {
    return false;
  }
  const QCollator& collator = Collator();
  const CharacterRanks ranks(collator, characterSlots.Characters());
  const RankKeys rankKeys(characterSlots, ranks);
  std::string keys;
  keys.reserve(2 * names.Bytes().size() + indices.size());
  std::vector<KeyedItem> items;
  items.reserve(indices.size());
  for (std::size_t position = 0; position < indices.size(); ++position) {
    const std::size_t start = keys.size();
    const std::string_view name = names[indices[position]];
    rankKeys.Append(keys, name);
    items.push_back(MakeItem(keys, start, names, name, position));
  }
  KeySorter(keys, names).Sort(items);
  std::u16string before;
  std::u16string current;
  ToUtf16(NameOf(items.front(), names), before);
  for (std::size_t i = 1; i < items.size(); ++i) {
    if (i + kReadAhead < items.size()) {
      __builtin_prefetch(names.Bytes().data() + items[i + kReadAhead].nameStart);
    }
    ToUtf16(NameOf(items[i], names), current);
    const int collated = collator.compare(QStringView(before), QStringView(current));
    if (collated > 0 || (collated == 0 && NameOf(items[i - 1], names) > NameOf(items[i], names))) {
      return false;
    }
    std::swap(before, current);
  }
  TakeOrder(items, indices);
  return true;
}

// The general case: one collation key per name, compared as bytes.
void NameOrder::CollatedOrder(const NameList& names, std::vector<std::size_t>& indices) const {
  const QCollator& collator = Collator();
  std::vector<QCollatorSortKey> keys;
  keys.reserve(indices.size());
  for (const std::size_t index : indices) {
    const std::string_view name = names[index];
    keys.push_back(
        collator.sortKey(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
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
