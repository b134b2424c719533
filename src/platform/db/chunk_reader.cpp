// Ranged reads of a binary column in the pieces the engine prefers.
#include "platform/db/chunk_reader.h"

#include <algorithm>

namespace kelvo {

std::optional<std::int64_t> ChunkReader::Size(Engine& engine, const TableInfo& table,
                                              const RowKey& key, const ColumnInfo& column) {
    if (!sizeKnown_) {
        Engine::BlobStart start = engine.StartBlob(table, key, column);
        size_ = start.size;
        sizeKnown_ = true;
        if (start.whole) {
            ahead_ = std::move(*start.whole);
            aheadStart_ = 0;
        }
    }
    return size_;
}

Bytes ChunkReader::Whole(Engine& engine, const TableInfo& table, const RowKey& key,
                         const ColumnInfo& column) {
    const std::int64_t size = Size(engine, table, key, column).value_or(0);
    if (aheadStart_ == 0 && static_cast<std::int64_t>(ahead_.size()) == size) return ahead_;
    return engine.ReadBlob(table, key, column, 0, size);
}

Bytes ChunkReader::Next(Engine& engine, const TableInfo& table, const RowKey& key,
                        const ColumnInfo& column, std::int64_t length) {
    const std::int64_t size = Size(engine, table, key, column).value_or(0);
    const std::int64_t wanted = std::max<std::int64_t>(0, std::min(length, size - offset_));
    if (wanted == 0) return {};

    const std::int64_t aheadEnd = aheadStart_ + static_cast<std::int64_t>(ahead_.size());
    if (offset_ < aheadStart_ || offset_ + wanted > aheadEnd) {
        std::int64_t span = std::min(size - offset_, std::max(wanted, engine.ReadAhead(offset_)));
        // A short tail comes along: one more read would cost a round trip for little.
        if (size - offset_ - span < span / 2) span = size - offset_;
        ahead_.clear();
        ahead_.shrink_to_fit();
        ahead_ = engine.ReadBlob(table, key, column, offset_, span);
        aheadStart_ = offset_;
        if (static_cast<std::int64_t>(ahead_.size()) < wanted)
            throw Error("GetChunk: the value of column \"" + column.name +
                        "\" changed while it was read");
    }
    const auto begin = ahead_.begin() + (offset_ - aheadStart_);
    Bytes chunk(begin, begin + wanted);
    offset_ += wanted;
    // Nothing is left to read ahead of: the buffer is not held while the caller uses the value.
    if (offset_ == size) Bytes().swap(ahead_);
    return chunk;
}

}  // namespace kelvo
