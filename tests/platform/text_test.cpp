// Upper case, trimming and the number forms shown to users.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace kelvo {
namespace {

TEST(Text, UpperCaseAndTrim) {
    EXPECT_EQ(UCase("front view"), "FRONT VIEW");
    EXPECT_EQ(UCase("élan ÿ ωμέγα"), "ÉLAN Ÿ ΩΜΈΓΑ");
    EXPECT_EQ(UCase("straße"), "STRASSE");
    EXPECT_EQ(UCase("O'Brien"), "O'BRIEN");
    EXPECT_EQ(UCase(""), "");
    EXPECT_EQ(Trim("  \tfront view \t "), "front view");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("a"), "a");
}

TEST(Text, NumberForms) {
    EXPECT_EQ(NumberText(1.5), "1.5");
    EXPECT_EQ(NumberText(1), "1");
    EXPECT_EQ(NumberText(900.5), "900.5");
    EXPECT_EQ(NumberText(0), "0");
    EXPECT_EQ(NumberText(-0.0), "0");
    EXPECT_EQ(NumberText(0.1), "0.1");
    EXPECT_EQ(NumberText(-2.25), "-2.25");
    EXPECT_EQ(TwoDecimals(1.5), "1.50");
    EXPECT_EQ(TwoDecimals(0), "0.00");
    EXPECT_EQ(TwoDecimals(2048.0 / 1024), "2.00");
    EXPECT_EQ(TwoDecimals(2053.0 / 1024), "2.00");
    EXPECT_EQ(TwoDecimals(2054.0 / 1024), "2.01");
    EXPECT_EQ(TwoDecimals(1.005), "1.01");
    EXPECT_EQ(TwoDecimals(1536.0 / 1024), "1.50");
    EXPECT_EQ(TwoDecimals(123456.789), "123456.79");
}

}  // namespace
}  // namespace kelvo
