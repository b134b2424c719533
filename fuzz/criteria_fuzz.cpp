// Find/Filter criteria text: parsed into one condition or refused with an Error, a parsed
// condition matches the very value it names, and any text written as a condition finds it.
#include <cmath>
#include <cstdint>

#include "fuzz_input.h"
#include "platform/db/criteria.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = kelvo::fuzz::SplitAtNul(data, size, 2);
    kelvo::Criterion criterion;
    try {
        criterion = kelvo::ParseCriterion(parts[0]);
    } catch (const kelvo::Error&) {
        return 0;
    }
    kelvo::fuzz::Check(!criterion.column.empty(), "a condition names its column");
    try {
        kelvo::Matches(criterion, kelvo::Variant(parts[1]));
        kelvo::Matches(criterion, kelvo::Variant());
        const kelvo::Criterion written =
            kelvo::ParseCriterion(kelvo::TextCriterion(criterion.column, parts[1]));
        kelvo::fuzz::Check(kelvo::Matches(written, kelvo::Variant(parts[1])),
                           "any text written as a condition finds itself");
        if (criterion.kind == kelvo::Criterion::Kind::Text) {
            kelvo::fuzz::Check(kelvo::Matches(criterion, kelvo::Variant(criterion.text)),
                               "a text condition matches its own value");
        } else if (std::isfinite(criterion.number)) {
            kelvo::fuzz::Check(kelvo::Matches(criterion, kelvo::Variant(criterion.number)),
                               "a number condition matches its own number");
        }
    } catch (const kelvo::Error&) {
    }
    return 0;
}
