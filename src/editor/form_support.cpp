// Number conversions of the window's arithmetic.
#include "editor/form_support.h"

#include <cmath>
#include <cstdint>

#include "platform/error.h"
#include "platform/text.h"

namespace kelvo {

namespace {

double roundHalfEven(double value) {
    double rounded = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5) rounded = 2.0 * std::round(value / 2.0);
    return rounded;
}

double roundedWithin(double value, double low, double high) {
    if (!std::isfinite(value)) throw Error("Overflow");
    double rounded = roundHalfEven(value);
    if (rounded < low || rounded > high) throw Error("Overflow");
    return rounded;
}

}  // namespace

int CInt(double value) {
    return static_cast<int>(roundedWithin(value, -32768.0, 32767.0));
}

long CLng(double value) {
    return static_cast<long>(roundedWithin(value, -2147483648.0, 2147483647.0));
}

double CDbl(const std::string& text) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) throw Error("Type mismatch");
    const std::optional<double> value = LeadingNumber(std::string_view(text).substr(start));
    if (!value) throw Error("Type mismatch");
    return *value;
}

}  // namespace kelvo
