// Parser and evaluator of recordset criteria: `column='text'` and `column=number`.
#include "platform/db/criteria.h"

#include "platform/db/engine.h"
#include "platform/error.h"
#include "platform/text.h"

namespace kelvo {
namespace {

[[noreturn]] void badCriteria(const std::string& criteria, const std::string& why) {
    throw Error("invalid criteria \"" + criteria + "\": " + why);
}

// A doubled quote inside a quoted value stands for one quote; a single one is taken as it
// is, so a value typed with its quotes undoubled still finds its row.
std::string unquoted(const std::string& inside) {
    std::string text;
    text.reserve(inside.size());
    for (std::size_t i = 0; i < inside.size(); ++i) {
        text += inside[i];
        if (inside[i] == '\'' && i + 1 < inside.size() && inside[i + 1] == '\'') ++i;
    }
    return text;
}

}  // namespace

Criterion ParseCriterion(const std::string& criteria) {
    const auto equals = criteria.find('=');
    if (equals == std::string::npos) badCriteria(criteria, "expected column=value");
    Criterion result;
    result.column = Trim(criteria.substr(0, equals), kWhitespace);
    if (!IsValidIdentifier(result.column)) badCriteria(criteria, "invalid column name");

    const std::string value = Trim(criteria.substr(equals + 1), kWhitespace);
    if (!value.empty() && value.front() == '\'') {
        if (value.size() < 2 || value.back() != '\'')
            badCriteria(criteria, "the text value has no closing quote");
        result.kind = Criterion::Kind::Text;
        result.text = UCase(unquoted(value.substr(1, value.size() - 2)));
        return result;
    }
    const std::optional<double> number = ParseNumber(value);
    if (!number) badCriteria(criteria, "the value must be a number or a text in single quotes");
    result.kind = Criterion::Kind::Number;
    result.number = *number;
    return result;
}

std::string TextCriterion(const std::string& column, const std::string& value) {
    std::string criteria = column + "='";
    for (char c : value) criteria.append(c == '\'' ? 2 : 1, c);
    return criteria + "'";
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
            const std::optional<double> number = ParseNumber(value.toText());
            return number && *number == criterion.number;
        }
        default:
            return false;
    }
}

}  // namespace kelvo
