// Find/Filter criteria of a recordset: parsed and evaluated here, never handed to SQL.
#pragma once

#include <string>

#include "platform/db/variant.h"

namespace kelvo {

// One `column='text'` or `column=number` condition.
struct Criterion {
    enum class Kind { Text, Number };
    std::string column;
    Kind kind = Kind::Text;
    std::string text;   // Kind::Text: the value, upper-cased
    double number = 0;  // Kind::Number
};

// Throws Error with a message naming the criteria for anything outside the grammar. Inside a
// quoted value a doubled quote stands for one.
Criterion ParseCriterion(const std::string& criteria);

// `column='value'` with each quote of the value doubled: ParseCriterion gives back the value.
std::string TextCriterion(const std::string& column, const std::string& value);

// Texts match when their UCase forms are equal; numbers match a column value that reads as the same
// number. Null never matches.
bool Matches(const Criterion& criterion, const Variant& value);

}  // namespace kelvo
