// Parser and evaluator of recordset criteria: `column='text'` and `column=number`.
#include "platform/criteria.h"

#include <locale.h>
#include <wctype.h>

#include <charconv>

#include "platform/db_backend.h"
#include "platform/error.h"

namespace kelvo {
namespace {

const char* const kBlanks = " \t\r\n";

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

[[noreturn]] void badCriteria(const std::string& criteria, const std::string& why) {
    throw Error("invalid criteria \"" + criteria + "\": " + why);
}

bool parseNumber(const std::string& text, double& out) {
    const std::string t = trimmed(text);
    if (t.empty()) return false;
    const char* begin = t.data();
    if (*begin == '+') ++begin;
    auto [end, ec] = std::from_chars(begin, t.data() + t.size(), out);
    return ec == std::errc() && end == t.data() + t.size();
}

// C.UTF-8 gives towupper the whole Unicode simple case mapping, independent of the
// process's own locale.
locale_t utf8Locale() {
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

wint_t upperCodePoint(wint_t c) {
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
    if (locale_t locale = utf8Locale()) return towupper_l(c, locale);
    // Latin-1 without a locale: à..þ except ÷.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
    return c;
}

void appendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one code point at `i`; returns its length, or 0 for an invalid sequence.
std::size_t decodeUtf8(const std::string& text, std::size_t i, std::uint32_t& c) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) return 0;
    c = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

}  // namespace

std::string UpperCaseUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::uint32_t c = 0;
        const std::size_t length = decodeUtf8(text, i, c);
        if (length == 0) {
            out += text[i++];
            continue;
        }
        appendUtf8(out, static_cast<std::uint32_t>(upperCodePoint(c)));
        i += length;
    }
    return out;
}

Criterion ParseCriterion(const std::string& criteria) {
    const auto equals = criteria.find('=');
    if (equals == std::string::npos) badCriteria(criteria, "expected column=value");
    Criterion result;
    result.column = trimmed(criteria.substr(0, equals));
    if (!IsValidIdentifier(result.column)) badCriteria(criteria, "invalid column name");

    const std::string value = trimmed(criteria.substr(equals + 1));
    if (!value.empty() && value.front() == '\'') {
        if (value.size() < 2 || value.back() != '\'')
            badCriteria(criteria, "the text value has no closing quote");
        result.kind = Criterion::Kind::Text;
        result.text = UpperCaseUtf8(value.substr(1, value.size() - 2));
        return result;
    }
    if (!parseNumber(value, result.number))
        badCriteria(criteria, "the value must be a number or a text in single quotes");
    result.kind = Criterion::Kind::Number;
    return result;
}

bool Matches(const Criterion& criterion, const Variant& value) {
    if (value.isNull()) return false;
    if (criterion.kind == Criterion::Kind::Text) {
        if (value.type() == Variant::Type::Bytes) return false;
        return UpperCaseUtf8(value.toText()) == criterion.text;
    }
    switch (value.type()) {
        case Variant::Type::Bool:
        case Variant::Type::Int:
        case Variant::Type::Double:
            return value.toDouble() == criterion.number;
        case Variant::Type::Text: {
            double number = 0;
            return parseNumber(value.toText(), number) && number == criterion.number;
        }
        default:
            return false;
    }
}

}  // namespace kelvo
