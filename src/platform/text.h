// Text helpers with the semantics the host-visible behaviour needs (Unicode upper case,
// blank trimming, number forms).
#pragma once

#include <string>

namespace kelvo {

std::string UCase(const std::string& text);  // Unicode-aware, UTF-8 in and out
std::string Trim(const std::string& text);   // leading and trailing blanks
// Shortest text that reads back as the same double: 1.5, 1, 900.5, 0.
std::string NumberText(double value);
// Fixed two decimals, rounded: "1.50".
std::string TwoDecimals(double value);

}  // namespace kelvo
