// Small helpers of the window's logic: the number conversions of the window's arithmetic.
#pragma once

#include <string>

namespace kelvo {

// Rounds halves to even into a 16-bit integer; throws Error("Overflow") out of range.
int CInt(double value);
// Rounds halves to even into a 32-bit integer; throws Error("Overflow") out of range.
long CLng(double value);
// The leading number of a text ("900.5", "1", "2.5 KB"), "." as decimal sign; throws
// Error("Type mismatch") when the text starts with no number.
double CDbl(const std::string& text);
// The value as single precision, as the window's positions are written.
inline double Single(double value) {
    return static_cast<float>(value);
}

}  // namespace kelvo
