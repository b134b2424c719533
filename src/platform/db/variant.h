// A database value as the store sees it: Null, a flag, a number, a text or bytes.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "platform/api.h"
#include "platform/bytes.h"

namespace kelvo {

class KELVO_API Variant {
  public:
    enum class Type { Null, Bool, Int, Double, Text, Bytes };

    Variant() = default;  // Null
    Variant(bool b) : value_(b) {}
    Variant(int i) : value_(static_cast<std::int64_t>(i)) {}
    Variant(std::int64_t i) : value_(i) {}
    Variant(double d) : value_(d) {}
    Variant(std::string s) : value_(std::move(s)) {}
    Variant(const char* s) : value_(std::string(s)) {}
    Variant(Bytes b) : value_(std::move(b)) {}

    Type type() const { return static_cast<Type>(value_.index()); }
    bool isNull() const { return type() == Type::Null; }

    // Conversions as a host database's client would make them.
    // Each throws Error on Null, except where noted.
    std::string toText() const;  // numbers in their shortest form, flags as "True"/"False"
    bool toBool() const;  // numbers: non-zero; texts: "true"/"1" (any case) or a non-zero number
    std::int64_t toInt() const;
    double toDouble() const;
    const Bytes& bytes() const;  // throws Error unless type() == Bytes

    bool operator==(const Variant& other) const { return value_ == other.value_; }

  private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Bytes> value_;
};

}  // namespace kelvo
