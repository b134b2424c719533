// Conversions of database values the way a host's database client makes them.
#include "platform/db/variant.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>

#include "platform/error.h"
#include "platform/text.h"

namespace kelvo {
namespace {

std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string shortestText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, ec == std::errc() ? end : buffer);
}

[[noreturn]] void nullConversion(const char* to) {
    throw Error(std::string("invalid use of Null: cannot convert Null to ") + to);
}

[[noreturn]] void badConversion(const std::string& text, const char* to) {
    throw Error("type mismatch: cannot convert '" + text + "' to " + to);
}

}  // namespace

std::string Variant::toText() const {
    switch (type()) {
        case Type::Null:
            nullConversion("text");
        case Type::Bool:
            return std::get<bool>(value_) ? "True" : "False";
        case Type::Int:
            return std::to_string(std::get<std::int64_t>(value_));
        case Type::Double:
            return shortestText(std::get<double>(value_));
        case Type::Text:
            return std::get<std::string>(value_);
        case Type::Bytes: {
            const Bytes& b = std::get<Bytes>(value_);
            return std::string(b.begin(), b.end());
        }
    }
    return {};
}

bool Variant::toBool() const {
    switch (type()) {
        case Type::Null:
            nullConversion("a flag");
        case Type::Bool:
            return std::get<bool>(value_);
        case Type::Int:
            return std::get<std::int64_t>(value_) != 0;
        case Type::Double:
            return std::get<double>(value_) != 0.0;
        case Type::Text: {
            const std::string text = lowerAscii(Trim(std::get<std::string>(value_), kWhitespace));
            if (text == "true" || text == "t") return true;
            if (text == "false" || text == "f") return false;
            if (auto number = ParseNumber(text)) return *number != 0.0;
            badConversion(std::get<std::string>(value_), "a flag");
        }
        case Type::Bytes:
            badConversion("(bytes)", "a flag");
    }
    return false;
}

std::int64_t Variant::toInt() const {
    switch (type()) {
        case Type::Null:
            nullConversion("a number");
        case Type::Bool:
            return std::get<bool>(value_) ? 1 : 0;
        case Type::Int:
            return std::get<std::int64_t>(value_);
        case Type::Double:
            return static_cast<std::int64_t>(std::llround(std::get<double>(value_)));
        case Type::Text: {
            const std::string& text = std::get<std::string>(value_);
            if (auto i = ParseInteger(text)) return *i;
            if (auto d = ParseNumber(text)) return static_cast<std::int64_t>(std::llround(*d));
            const std::string lower = lowerAscii(Trim(text, kWhitespace));
            if (lower == "true") return 1;
            if (lower == "false") return 0;
            badConversion(text, "a number");
        }
        case Type::Bytes:
            badConversion("(bytes)", "a number");
    }
    return 0;
}

double Variant::toDouble() const {
    switch (type()) {
        case Type::Null:
            nullConversion("a number");
        case Type::Bool:
            return std::get<bool>(value_) ? 1.0 : 0.0;
        case Type::Int:
            return static_cast<double>(std::get<std::int64_t>(value_));
        case Type::Double:
            return std::get<double>(value_);
        case Type::Text: {
            const std::string& text = std::get<std::string>(value_);
            if (auto d = ParseNumber(text)) return *d;
            badConversion(text, "a number");
        }
        case Type::Bytes:
            badConversion("(bytes)", "a number");
    }
    return 0;
}

const Bytes& Variant::bytes() const {
    if (type() != Type::Bytes) throw Error("type mismatch: the value is not binary");
    return std::get<Bytes>(value_);
}

}  // namespace kelvo
