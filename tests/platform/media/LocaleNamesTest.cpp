#include <gtest/gtest.h>

#include "platform/media/LocaleNames.h"

namespace varnex {
namespace {

TEST(GetLocaleInfoA, EnglishNamesOfLanguages) {
  char name[260];
  EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SENGLANGUAGE, name, sizeof name), 8);
  EXPECT_STREQ(name, "English");
  GetLocaleInfoA(0x040C, LOCALE_SENGLANGUAGE, name, sizeof name);  // French (France)
  EXPECT_STREQ(name, "French");
  EXPECT_EQ(GetLocaleInfoA(0x0000, LOCALE_SENGLANGUAGE, name, sizeof name), 0);
  EXPECT_STREQ(name, "");
}

}  // namespace
}  // namespace varnex
