// Find/Filter criteria of a recordset: parsed and evaluated here, never handed to SQL.
#pragma once

#include <string>

#include "platform/variant.h"

namespace kelvo {

// One `column='text'` or `column=number` condition.
struct Criterion {
    enum class Kind { Text, Number };
    std::string column;
    Kind kind = Kind::Text;
    std::string text;   // Kind::Text: the value, upper-cased
    double number = 0;  // Kind::Number
};

// Throws Error with a message naming the criteria for anything outside the grammar.
Criterion ParseCriterion(const std::string& criteria);

// Texts match without regard to case; numbers match a column value that reads as the same
// number. Null never matches.
bool Matches(const Criterion& criterion, const Variant& value);

// Unicode upper case of UTF-8 text (invalid bytes are kept as they are).
std::string UpperCaseUtf8(const std::string& text);

}  // namespace kelvo
