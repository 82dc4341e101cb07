#include <gtest/gtest.h>

#include <QMimeData>
#include <string>
#include <utility>
#include <vector>

#include "platform/shell/DroppedNames.h"

namespace varnex {
namespace {

using Names = std::vector<std::string>;

// Links are left out; an encoded NUL or "/" would name another entry than the one dropped, and
// a file of another machine cannot be opened here: such a name is refused, and with it every name
// after it, so that the second name never stands in for a refused first one.
TEST(DroppedLocalNames, KeepsLocalFilesInOrderUpToARefusedOne) {
  const std::pair<QByteArray, Names> drops[] = {
      {"# comment\r\nfile:///a%20b/%FF\r\nsmb://server/share\r\nfile://localhost/c\r\n"
       "file:///100%2500\r\nfile:///100%252F\r\n",
       {"/a b/\xFF", "/c", "/100%00", "/100%2F"}},
      {"file:///music%00/x\r\nfile:///c", {}},
      {"file:///a%2Fb\r\nfile:///c", {}},
      {"file:///a%2fb/c\r\nfile:///c", {}},
      {"https://example.org/x\r\nfile://server/share\r\nfile:///c", {}},
      {"file:///c\r\nfile:///d%00\r\nfile:///e", {"/c"}},
  };
  for (const auto& [list, names] : drops) {
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), list);
    EXPECT_EQ(DroppedLocalNames(data), names) << list.toStdString();
  }
}

}  // namespace
}  // namespace varnex
