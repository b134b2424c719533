// Parser and evaluator of recordset criteria: `column='text'` and `column=number`.
#include "platform/criteria.h"

#include <charconv>

#include "platform/db_backend.h"
#include "platform/error.h"
#include "platform/text.h"

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

}  // namespace

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
        result.text = UCase(value.substr(1, value.size() - 2));
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
        return UCase(value.toText()) == criterion.text;
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
