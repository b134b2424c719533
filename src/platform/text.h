// Text helpers with the semantics the host-visible behaviour needs (Unicode upper case,
// blank trimming, number forms). None of them depends on the process's locale.
#pragma once

#include <string>

namespace kelvo {

// The one case mapping of the store, used on values and on column contents alike: full
// Unicode upper case ("ß" -> "SS", "ﬁ" -> "FI") of the composed form, so a precomposed
// "é" and "e" + combining accent compare equal. UTF-8 in and out.
std::string UCase(const std::string& text);
std::string Trim(const std::string& text);  // leading and trailing blanks
// Shortest text that reads back as the same double: 1.5, 1, 900.5, 0.
std::string NumberText(double value);
// Fixed two decimals, rounded, with "." as the decimal point: "1.50".
std::string TwoDecimals(double value);

}  // namespace kelvo
