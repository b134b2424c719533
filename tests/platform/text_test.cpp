// Upper case, trimming and the number forms shown to users.
#include <gtest/gtest.h>

#include "platform/text.h"

namespace kelvo {
namespace {

TEST(Text, UpperCaseTrimAndNumberForms) {
    for (auto [text, upper] : {std::pair{"a lazy zebra", "A LAZY ZEBRA"},
                               {"élan ÿ ωμέγα", "ÉLAN Ÿ ΩΜΈΓΑ"},
                               {"straße", "STRASSE"},
                               {"O'Brien", "O'BRIEN"},
                               {"", ""},
                               {"az\xff", "AZ\xff"}})  // not UTF-8: letter by letter
        EXPECT_EQ(UCase(text), upper);
    for (auto [text, trimmed] :
         {std::pair{"  \tfront view \t ", "front view"}, {" \t ", ""}, {"a", "a"}})
        EXPECT_EQ(Trim(text), trimmed);
    for (auto [number, shown] : {std::pair{1.5, "1.5"},
                                 {1.0, "1"},
                                 {900.5, "900.5"},
                                 {0.0, "0"},
                                 {-0.0, "0"},
                                 {0.1, "0.1"},
                                 {-2.25, "-2.25"}})
        EXPECT_EQ(NumberText(number), shown);
    // Rounded half up, not cut.
    for (auto [number, shown] : {std::pair{1.5, "1.50"},
                                 {0.0, "0.00"},
                                 {2053.0 / 1024, "2.00"},
                                 {2054.0 / 1024, "2.01"},
                                 {1.005, "1.01"},
                                 {123456.789, "123456.79"}})
        EXPECT_EQ(TwoDecimals(number), shown);
}

}  // namespace
}  // namespace kelvo
