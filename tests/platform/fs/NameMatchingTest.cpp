#include <gtest/gtest.h>

#include <QByteArray>
#include <QChar>
#include <cerrno>
#include <cstdint>

#include "platform/Exception.h"
#include "platform/Utf8.h"
#include "platform/fs/CaseFold.h"
#include "platform/fs/Wildcard.h"

namespace varnex {
namespace {

struct MatchCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(WildcardPattern, MatchesLikeTheFileDialogsUsersKnow) {
  const MatchCase cases[] = {
      {"*.mp3", "song.mp3", true},
      {"*.mp3", "Song.MP3", true},  // case ignored
      {"*.mp3", "a.mp3x", false},   // no short names that would match longer extensions
      {"*.mp3", "mp3", false},
      {"*.mp3", ".mp3", true},  // hidden names match; attributes decide later
      {"*.mp3", "a.b.mp3", true},
      {"*.*", "no extension", true},  // "*.*" is every name
      {"*.", "name", false},
      {"?.mp3", "a.mp3", true},
      {"?.mp3", "ab.mp3", false},
      {"a*b*c", "axxbyyc", true},
      {"a*b*c", "axxbyyb", false},
      {"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {"*", "", true},
      {"[x].mp3", "[x].mp3", true},  // brackets are literal
      {"[x].mp3", "x.mp3", false},
      {"*ÉTÉ*", "résumé d'été.mp3", true},  // Unicode letters fold too
      {"straße*", "STRASSE.mp3", false},    // simple folding only: no one-to-many expansion
  };
  for (const MatchCase& c : cases) {
    EXPECT_EQ(WildcardPattern(c.pattern).Matches(c.name), c.matches)
        << c.pattern << " against " << c.name;
  }
}

TEST(WildcardPattern, NamesThatAreNotUtf8MatchByTheirBytes) {
  const std::string latin1 = "caf\xE9.mp3";
  EXPECT_TRUE(WildcardPattern("*.mp3").Matches(latin1));
  EXPECT_TRUE(WildcardPattern("caf?.mp3").Matches(latin1));
  EXPECT_TRUE(WildcardPattern("caf\xE9*").Matches(latin1));
  EXPECT_FALSE(WildcardPattern("caf\xC9*").Matches(latin1));  // no case folding of raw bytes
  EXPECT_FALSE(WildcardPattern("café*").Matches(latin1));     // U+00E9 is not the byte E9
  // A truncated sequence is raw bytes, each standing for itself.
  EXPECT_TRUE(WildcardPattern("??.mp3").Matches("\xE2\x82.mp3"));
  EXPECT_FALSE(WildcardPattern("?.mp3").Matches("\xE2\x82.mp3"));
}

TEST(CaseFold, KeysOrderNamesWithCaseIgnored) {
  const auto key = [](std::string_view name) { return CaseFoldedKey(name); };
  EXPECT_EQ(key("A.MP3"), key("a.mp3"));
  EXPECT_LT(key("a.mp3"), key("B.mp3"));
  EXPECT_LT(key("b"), key("b.mp3"));  // a prefix sorts first
  EXPECT_EQ(key("ÉTÉ"), key("été"));
  EXPECT_LT(key("z"), key("é"));  // code point order across lengths of UTF-8
  EXPECT_LT(key("\u07FF"), key("\u0800"));
  EXPECT_LT(key("\uFFFD"), key("\U0001F3B5"));
  EXPECT_LT(key("\U0010FFFF"), key("\x80"));  // stray bytes after every character
  EXPECT_LT(key("\xFE"), key("\xFF"));
  // Broken sequences are stray bytes: a lead at the end with its trail beyond the name, a lead
  // before ASCII, an overlong pair, a lead before a byte that is no trail.
  EXPECT_EQ(key(std::string_view("\xC3\xA9", 1)), "\xF8\xC3");
  EXPECT_EQ(key("\xC3\x41"), "\xF8\xC3\x61");
  EXPECT_EQ(key("\xC1\x81"), "\xF8\xC1\xF8\x81");
  EXPECT_EQ(key("\xDF\xC0"), "\xF8\xDF\xF8\xC0");
  // Where UTF-8 takes one byte more, and the longest keys: stray bytes, and a fold longer than its
  // character (U+023A, two bytes, folds to U+2C65, three).
  for (const char* unfolded :
       {"\u0080", "\u07FF", "\u0800", "\uFFFF", "\U00010000", "\U0010FFFF"}) {
    EXPECT_EQ(key(unfolded), unfolded);
  }
  const auto times = [](const char* text, int count) {
    return QByteArray(text).repeated(count).toStdString();
  };
  EXPECT_EQ(key(times("\xFF", 255)), times("\xF8\xFF", 255));
  EXPECT_EQ(key(times("\u023A", 127)), times("\u2C65", 127));
  for (int ascii = 0; ascii < 0x80; ++ascii) {  // eight of each folded at once, seven one by one
    const int folded = ascii >= 'A' && ascii <= 'Z' ? ascii + 32 : ascii;
    ASSERT_EQ(key(std::string(15, static_cast<char>(ascii))),
              std::string(15, static_cast<char>(folded)))
        << ascii;
  }
  for (char32_t character = 0x80; character < 0x800; ++character) {  // as the toolkit folds them
    std::string name;
    std::string folded;
    AppendUtf8(name, character);
    AppendUtf8(folded, QChar::toCaseFolded(character));
    ASSERT_EQ(key(name + "X"), folded + "x") << std::hex << static_cast<std::uint32_t>(character);
  }
}

TEST(EInOutError, CarriesTheCodeAndTextTheUserKnows) {
  struct Expected {
    int errnoValue;
    int code;
    const char* text;
  };
  const Expected cases[] = {
      {ENOENT, 2, "File not found"},      {ENOTDIR, 3, "Invalid filename"},
      {EMFILE, 4, "Too many open files"}, {ENFILE, 4, "Too many open files"},
      {EACCES, 5, "File access denied"},  {EPERM, 5, "File access denied"},
      {EIO, EIO, "I/O error 5"},          {ELOOP, 3, "Invalid filename"},
  };
  for (const Expected& c : cases) {
    const EInOutError error = EInOutError::FromErrno(c.errnoValue);
    EXPECT_EQ(error.ErrorCode(), c.code) << c.errnoValue;
    EXPECT_STREQ(error.what(), c.text) << c.errnoValue;
  }
}

}  // namespace
}  // namespace varnex
