// Bytes of AppendChunk calls, kept in an anonymous temporary file until the row is written,
// so a large value is never held whole in memory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/db/engine.h"

namespace kelvo {

class Spool {
  public:
    Spool();  // throws Error when no temporary file can be made
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void Append(const Bytes& chunk);
    std::int64_t Size() const { return size_; }

    // The spooled bytes as a write of `column`, read back from their start.
    BlobWrite Writer(const ColumnInfo& column);

  private:
    std::FILE* file_;
    std::int64_t size_ = 0;
};

}  // namespace kelvo
