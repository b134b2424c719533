// Text helpers with the semantics the host-visible behaviour needs (Unicode upper case,
// blank trimming, number forms). None of them depends on the process's locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvo {

// The one case mapping of the store, used on values and on column contents alike: full
// Unicode upper case ("ß" -> "SS", "ﬁ" -> "FI") of the composed form, so a precomposed
// "é" and "e" + combining accent compare equal. UTF-8 in and out.
std::string UCase(const std::string& text);
// Blanks around a number or a criterion: line ends as well as spaces and tabs.
inline constexpr const char* kWhitespace = " \t\r\n";
std::string Trim(const std::string& text, const char* blanks = " \t");  // leading and trailing
// The number `text` begins with ("1.50 KB" -> 1.5), "." as the decimal point; nullopt when
// it begins with none. `length`, when given, receives how many characters the number took.
std::optional<double> LeadingNumber(std::string_view text, std::size_t* length = nullptr);
// `text` read whole as a number, whitespace around it and one leading "+" allowed.
std::optional<double> ParseNumber(const std::string& text);
std::optional<std::int64_t> ParseInteger(const std::string& text);
// Shortest text that reads back as the same double: 1.5, 1, 900.5, 0.
std::string NumberText(double value);
// Fixed two decimals, rounded, with "." as the decimal point: "1.50".
std::string TwoDecimals(double value);

}  // namespace kelvo
