// Where GetChunk stands on one binary column of the current row, with the bytes the engine
// let it read ahead, so many small chunks cost few engine reads.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/db/engine.h"

namespace kelvo {

class ChunkReader {
  public:
    // The next `length` bytes of `column` of the row `key` (fewer at the value's end, none
    // after it). Throws Error when the value shrank while it was read.
    Bytes Next(Engine& engine, const TableInfo& table, const RowKey& key, const ColumnInfo& column,
               std::int64_t length);
    // The stored length of the value (nullopt when Null), asked of the engine at most once
    // for the row.
    std::optional<std::int64_t> Size(Engine& engine, const TableInfo& table, const RowKey& key,
                                     const ColumnInfo& column);
    // The whole value, wherever GetChunk stands; empty when Null.
    Bytes Whole(Engine& engine, const TableInfo& table, const RowKey& key,
                const ColumnInfo& column);

  private:
    std::optional<std::int64_t> size_;  // known after the first call
    bool sizeKnown_ = false;
    std::int64_t offset_ = 0;
    std::int64_t aheadStart_ = 0;
    Bytes ahead_;
};

}  // namespace kelvo
