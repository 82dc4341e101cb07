#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell/ProcessStart.h"

namespace varnex {
namespace {

std::vector<char*> Environment() {
  char** end = environ;
  while (*end != nullptr) {
    ++end;
  }
  return {environ, end};
}

// The toolkit sets the locale and takes the start-up notices out while the read-ahead reads both;
// once settled, the locale is already the environment's and taking the notices out moves no other
// entry, so a lookup on another thread cannot miss one.
TEST(SettleLocaleAndEnvironment, LeavesTheToolkitNothingToChangeUnderAnotherThread) {
  const std::string locale = std::setlocale(LC_ALL, nullptr);
  setenv("DESKTOP_STARTUP_ID", "launcher-1", 1);
  setenv("XDG_ACTIVATION_TOKEN", "token-2", 1);
  setenv("VARNEX_SET_AFTER", "3", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  SettleLocaleAndEnvironment();

  EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C.UTF-8");
  const std::vector<char*> settled = Environment();
  ASSERT_GE(settled.size(), 4u);
  EXPECT_EQ(std::string_view(settled.end()[-2]), "DESKTOP_STARTUP_ID=launcher-1");
  EXPECT_EQ(std::string_view(settled.end()[-1]), "XDG_ACTIVATION_TOKEN=token-2");
  EXPECT_STREQ(std::getenv("VARNEX_SET_AFTER"), "3");
  unsetenv("DESKTOP_STARTUP_ID");
  unsetenv("XDG_ACTIVATION_TOKEN");
  EXPECT_EQ(Environment(), std::vector<char*>(settled.begin(), settled.end() - 2));

  unsetenv("VARNEX_SET_AFTER");
  unsetenv("LC_ALL");
  std::setlocale(LC_ALL, locale.c_str());
}

}  // namespace
}  // namespace varnex
