// Compact row keys: numbers in place, texts packed into one buffer behind their lengths.
#include "platform/db/row_keys.h"

#include <cstring>
#include <limits>

#include "platform/error.h"

namespace kelvo {
namespace {

constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);

}  // namespace

std::uint32_t RowKeys::textLength(std::int64_t slot) const {
    std::uint32_t length = 0;
    std::memcpy(&length, texts_.data() + slot, kLengthBytes);
    return length;
}

RowKey RowKeys::operator[](std::size_t i) const {
    const std::int64_t slot = slots_[i];
    if (type_ == Variant::Type::Int) return RowKey(slot);
    return RowKey(texts_.substr(static_cast<std::size_t>(slot) + kLengthBytes, textLength(slot)));
}

std::int64_t RowKeys::slotFor(const RowKey& key) {
    const Variant::Type type = key.type();
    if (type != Variant::Type::Int && type != Variant::Type::Text)
        throw Error("a row key must be a whole number or a text");
    if (type_ == Variant::Type::Null) type_ = type;
    if (type != type_) throw Error("the row keys of one recordset must be of one type");
    if (type == Variant::Type::Int) return key.toInt();

    const std::string text = key.toText();
    if (text.size() > std::numeric_limits<std::uint32_t>::max())
        throw Error("a row key is too long");
    const auto length = static_cast<std::uint32_t>(text.size());
    const auto slot = static_cast<std::int64_t>(texts_.size());
    texts_.append(reinterpret_cast<const char*>(&length), kLengthBytes);
    texts_.append(text);
    return slot;
}

void RowKeys::push_back(const RowKey& key) {
    slots_.push_back(slotFor(key));
}

void RowKeys::replace(std::size_t i, const RowKey& key) {
    const std::int64_t slot = slotFor(key);
    if (type_ == Variant::Type::Text) staleBytes_ += kLengthBytes + textLength(slots_[i]);
    slots_[i] = slot;
    // Rows rewritten one by one (PostgreSQL moves a row on update) would otherwise grow the
    // buffer by a key each.
    if (staleBytes_ > texts_.size() / 2) dropStaleTexts();
}

void RowKeys::dropStaleTexts() {
    std::string kept;
    kept.reserve(texts_.size() - staleBytes_);
    for (std::int64_t& slot : slots_) {
        const std::size_t bytes = kLengthBytes + textLength(slot);
        const auto moved = static_cast<std::int64_t>(kept.size());
        kept.append(texts_, static_cast<std::size_t>(slot), bytes);
        slot = moved;
    }
    texts_ = std::move(kept);
    staleBytes_ = 0;
}

std::vector<RowKey> RowKeys::all() const {
    std::vector<RowKey> keys;
    keys.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) keys.push_back((*this)[i]);
    return keys;
}

}  // namespace kelvo
