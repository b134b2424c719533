// Text helpers: Unicode upper case, blank trimming and the number forms shown to users.
// Numbers go through <charconv>, which ignores the locale that QApplication switches to.
#include "platform/text.h"

#include <QString>
#include <QUtf8StringView>
#include <charconv>
#include <cmath>

namespace kelvo {

std::string UCase(const std::string& text) {
    // Bytes that are not UTF-8 are kept, so two different invalid values stay different.
    if (!QUtf8StringView(text).isValidUtf8()) {
        std::string upper = text;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return upper;
    }
    // Upper case can decompose ("ǰ" -> "J" + caron), so the result is composed again.
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .normalized(QString::NormalizationForm_C)
        .toUpper()
        .normalized(QString::NormalizationForm_C)
        .toStdString();
}

std::string Trim(const std::string& text, const char* blanks) {
    auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<double> LeadingNumber(std::string_view text, std::size_t* length) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) return std::nullopt;
    if (length) *length = static_cast<std::size_t>(end - text.data());
    return value;
}

namespace {

template <typename Number>
std::optional<Number> wholeNumber(const std::string& text) {
    const std::string t = Trim(text, kWhitespace);
    const char* begin = t.data();
    const char* const end = t.data() + t.size();
    if (begin != end && *begin == '+') ++begin;
    Number value{};
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<double> ParseNumber(const std::string& text) {
    return wholeNumber<double>(text);
}

std::optional<std::int64_t> ParseInteger(const std::string& text) {
    return wholeNumber<std::int64_t>(text);
}

std::string NumberText(double value) {
    if (value == 0) return "0";  // also turns -0 into "0"
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string TwoDecimals(double value) {
    // Round half away from zero on the decimal value, as the "0.00" pattern does; the small
    // nudge absorbs binary error such as 1.005 stored as 1.00499999...
    double hundredths = std::round(value * 100.0 + (value >= 0 ? 1e-9 : -1e-9));
    if (hundredths == 0) hundredths = 0;  // no "-0.00"
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, hundredths / 100.0,
                                std::chars_format::fixed, 2);
    return std::string(buffer, result.ptr);
}

}  // namespace kelvo
