// One column of a recordset's current row: its value, its size and its bytes in chunks.
#pragma once

#include <cstdint>
#include <string>

#include "platform/api.h"
#include "platform/db/variant.h"

namespace kelvo {

class Recordset;

// A column of the current row of a recordset.
class KELVO_API Field {
  public:
    const std::string& Name() const { return name_; }

    Variant Value() const;             // Null for an empty column
    void Value(const Variant& value);  // staged until Recordset::Update

    std::int64_t ActualSize() const;  // stored length in bytes, 0 when Null or empty

    // Next `length` bytes of a binary column, continuing where the last call on this row
    // stopped (a move resets it). Fewer bytes at the end of the value. On SQLite a value
    // read partway keeps the database's read lock until it is read to its end or the
    // connection runs its next statement.
    Bytes GetChunk(std::int64_t length);
    // Appends bytes to the binary column of the current (or new) row; staged until Update.
    // Staged bytes are spooled to a temporary file, never held whole in memory.
    void AppendChunk(const Bytes& chunk);

  private:
    friend class Recordset;
    Field(Recordset& owner, std::string name) : owner_(&owner), name_(std::move(name)) {}
    Recordset* owner_;
    std::string name_;
};

}  // namespace kelvo
