#include <gtest/gtest.h>

#include <QMimeData>
#include <string>
#include <vector>

#include "platform/shell/DroppedNames.h"

namespace varnex {
namespace {

using Names = std::vector<std::string>;

TEST(DroppedLocalNames, KeepsLocalFilesInOrder) {
  QMimeData data;
  data.setData(QStringLiteral("text/uri-list"),
               "# comment\r\nfile:///a%20b/%FF\r\nsmb://server/share\r\nfile://localhost/c\r\n"
               "file:///music%00/x\r\nfile:///100%2500\r\nfile:///a%2Fb\r\nfile:///a%2fb/c\r\n"
               "file:///100%252F\r\n");
  // An encoded NUL or "/" would name another entry than the one dropped: refused.
  EXPECT_EQ(DroppedLocalNames(data), (Names{"/a b/\xFF", "/c", "/100%00", "/100%2F"}));
}

}  // namespace
}  // namespace varnex
