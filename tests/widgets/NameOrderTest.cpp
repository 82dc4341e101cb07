#include <gtest/gtest.h>

#include <QCollator>
#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <numeric>
#include <random>

#include "platform/fs/CaseFold.h"
#include "widgets/NameOrder.h"

namespace varnex {
namespace {

bool IsUtf8(const std::string& name) {
  // A leading byte order mark is text too: decoded, not dropped.
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
  const QString text = decoder(QByteArrayView(name.data(), static_cast<qsizetype>(name.size())));
  return !decoder.hasError();
}

// The list's order spelt out plainly: UTF-8 names by the collation with case ignored, then the
// others by their case-folded bytes (all of them so in the C locale), ties by bytes, then as read.
std::vector<std::string> PlainOrder(const std::vector<std::string>& names) {
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  const bool byBytes = QLocale().language() == QLocale::C;
  const auto rank = [&](const std::string& a, const std::string& b) {
    if (IsUtf8(a) != IsUtf8(b)) {
      return IsUtf8(a) ? -1 : 1;
    }
    const int collated = IsUtf8(a) && !byBytes ? collator.compare(QString::fromStdString(a),
                                                                  QString::fromStdString(b))
                                               : CaseFoldedKey(a).compare(CaseFoldedKey(b));
    return collated != 0 ? collated : a.compare(b);
  };
  std::vector<std::string> sorted = names;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [&](const std::string& a, const std::string& b) { return rank(a, b) < 0; });
  return sorted;
}

std::vector<std::string> Ordered(const std::vector<std::string>& names) {
  NameList list;
  for (const std::string& name : names) {
    list.Append(name);
  }
  std::vector<std::string> ordered;
  for (const std::size_t index : NameOrder().Sorted(list)) {
    ordered.emplace_back(list[index]);
  }
  return ordered;
}

enum class Pieces { Simple, Special, Many, AsciiBeginnings };

// Names made of pieces that collate simply (letters of several scripts with and without accents,
// in both cases), or also of pieces that do not (letters collated in pairs or expanded, ignorable
// and combining marks, Korean syllables, Thai vowels written first, bytes that are not UTF-8), or
// of more distinct characters than a byte can rank; or ASCII beginnings of every length around the
// eight bytes read at a time, before characters of two to four bytes, a byte order mark and a byte
// that is not UTF-8.
std::vector<std::string> Names(Pieces kind, unsigned seed) {
  if (kind == Pieces::AsciiBeginnings) {
    std::vector<std::string> names;
    for (const std::size_t length : {0, 1, 7, 8, 9, 15, 16, 17}) {
      for (const char* tail : {"", "é", "Ω", "東", "🎵", "\xEF\xBB\xBF", "\xFF"}) {
        names.push_back(std::string("abcdefghijklmnopq").substr(0, length) + tail + ".mp3");
        names.push_back(std::string("ABCDEFGHIJKLMNOPQ").substr(0, length) + tail + "a.mp3");
      }
    }
    return names;
  }
  std::vector<std::string> pieces = {"a", "A", "b",  "B",  "e", "E",  "é", "É",     "è",   "ê", "z",
                                     "o", "ö", "Ö",  "1",  "2", "10", " ", "-",     "_",   "ω", "Ω",
                                     "д", "Д", "東", "京", "ש", "ئ",  "🎵", "Track", "song"};
  if (kind == Pieces::Special) {
    pieces.insert(pieces.end(), {"ch", "Ch", "c",  "h", "ß",    "ss",   "æ",         "ae",   "aa",
                                 "å",  "ø",  "ſ",  "K", "İ",    "ı",    "e\xCC\x81", "\x01", "가",
                                 "각", "나", "เก", "ก", "\xFF", "\xC3", "caf\xE9"});
  }
  if (kind == Pieces::Many) {
    for (char32_t character = 0x4E00; character < 0x4E00 + 400; ++character) {
      pieces.push_back(QString::fromUcs4(&character, 1).toStdString());
    }
  }
  std::mt19937 random(seed);
  std::vector<std::string> names;
  for (int i = 0; i < 1500; ++i) {
    std::string name;
    for (int count = 1 + static_cast<int>(random() % 4); count > 0; --count) {
      name += pieces[random() % pieces.size()];
    }
    names.push_back(name + ".mp3");
  }
  names.push_back(names.front());  // the same name twice, as two patterns of a mask give it
  return names;
}

TEST(NameOrder, IsTheCollationsWithCaseIgnoredInEveryLocale) {
  for (const char* locale : {"C", "en_US", "fr_FR", "cs_CZ", "da_DK", "de_DE", "ko_KR", "th_TH"}) {
    QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
    for (const Pieces kind :
         {Pieces::Simple, Pieces::Special, Pieces::Many, Pieces::AsciiBeginnings}) {
      const std::vector<std::string> names = Names(kind, 7);
      EXPECT_EQ(Ordered(names), PlainOrder(names)) << locale << " " << static_cast<int>(kind);
      // Names prepared one after another into the same buffers, as the hourglass watch does,
      // compare as the same names prepared on their own, and in the list's order.
      const std::vector<std::string> sorted = PlainOrder(names);
      const NameOrder order;
      NameOrder::Name reused;
      for (std::size_t i = 0; i + 1 < sorted.size(); ++i) {
        order.Prepare(sorted[i], reused);
        NameOrder::Name own;
        order.Prepare(sorted[i], own);
        ASSERT_EQ(order.Compare(reused, own), 0) << locale << " " << sorted[i];
        order.Prepare(sorted[i + 1], own);
        ASSERT_LE(order.Compare(reused, own), 0) << locale << " " << sorted[i] << " " << own.bytes;
      }
    }
  }
  QLocale::setDefault(QLocale::system());
}

}  // namespace
}  // namespace varnex
