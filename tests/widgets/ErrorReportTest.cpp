#include <gtest/gtest.h>

#include "widgets/ErrorReport.h"

namespace varnex {
namespace {

TEST(ErrorReport, TitleAndTextRules) {
  EXPECT_EQ(ApplicationTitle(QStringLiteral("/usr/bin/varnex")), QStringLiteral("varnex"));
  EXPECT_EQ(ApplicationTitle(QStringLiteral("/opt/VARNEX.EXE")), QStringLiteral("Varnex"));
  EXPECT_EQ(ApplicationTitle(QStringLiteral("/x.y/Tool.v2.bin")), QStringLiteral("Tool"));
  EXPECT_EQ(ErrorReportText(QStringLiteral("File not found")), QStringLiteral("File not found."));
  EXPECT_EQ(ErrorReportText(QStringLiteral("Done.")), QStringLiteral("Done."));
  EXPECT_EQ(ErrorReportText(QStringLiteral("(80040216)")), QStringLiteral("(80040216)"));
  EXPECT_EQ(ErrorReportText(QStringLiteral("Why?")), QStringLiteral("Why?."));
  EXPECT_EQ(ErrorReportText(QString()), QString());
}

}  // namespace
}  // namespace varnex
