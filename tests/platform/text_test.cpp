// Upper case, trimming and the number forms shown to users.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace kelvo {
namespace {

TEST(Text, UpperCaseTrimAndNumberForms) {
    using Texts = std::pair<const char*, const char*>;
    // Text that is not UTF-8 is upper-cased letter by letter.
    const Texts upper[] = {{"a lazy zebra", "A LAZY ZEBRA"},
                           {"élan ÿ ωμέγα", "ÉLAN Ÿ ΩΜΈΓΑ"},
                           {"straße", "STRASSE"},
                           {"O'Brien", "O'BRIEN"},
                           {"", ""},
                           {"az\xff", "AZ\xff"}};
    for (auto [text, expected] : upper) EXPECT_EQ(UCase(text), expected);
    const Texts trimmed[] = {{"  \tfront view \t ", "front view"}, {" \t ", ""}, {"a", "a"}};
    for (auto [text, expected] : trimmed) EXPECT_EQ(Trim(text), expected);
    using Number = std::pair<double, const char*>;
    const Number shown[] = {{1.5, "1.5"}, {1.0, "1"},   {900.5, "900.5"}, {0.0, "0"},
                            {-0.0, "0"},  {0.1, "0.1"}, {-2.25, "-2.25"}};
    for (auto [number, expected] : shown) EXPECT_EQ(NumberText(number), expected);
    // Rounded half up, not cut.
    const Number twoDecimals[] = {{1.5, "1.50"},           {0.0, "0.00"},
                                  {2053.0 / 1024, "2.00"}, {2054.0 / 1024, "2.01"},
                                  {1.005, "1.01"},         {123456.789, "123456.79"}};
    for (auto [number, expected] : twoDecimals) EXPECT_EQ(TwoDecimals(number), expected);
}

}  // namespace
}  // namespace kelvo
