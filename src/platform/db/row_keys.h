// The row keys of a keyset, held compactly: a keyset of a large table is kept for as long as
// its recordset is open, so a key costs its number, or its text and a few bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/variant.h"

namespace kelvo {

// A row identity: SQLite's rowid (Int) or PostgreSQL's key literal or ctid (Text).
using RowKey = Variant;

// Keys of one type, as an engine gives them: whole numbers or texts.
class RowKeys {
  public:
    std::size_t size() const { return slots_.size(); }
    void reserve(std::size_t count) { slots_.reserve(count); }

    RowKey operator[](std::size_t i) const;
    // Each throws Error for a key that is neither a whole number nor a text, or that is not
    // of the type of the keys already held.
    void push_back(const RowKey& key);
    void replace(std::size_t i, const RowKey& key);

    std::vector<RowKey> all() const;

  private:
    std::int64_t slotFor(const RowKey& key);
    std::uint32_t textLength(std::int64_t slot) const;
    void dropStaleTexts();

    Variant::Type type_ = Variant::Type::Null;  // of every key held; Null before the first
    std::vector<std::int64_t> slots_;           // the number, or where the text starts in texts_
    std::string texts_;                         // each text after its length in four bytes
    std::size_t staleBytes_ = 0;                // of texts since replaced
};

}  // namespace kelvo
