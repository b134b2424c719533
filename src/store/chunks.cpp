// Photo bytes from a file into a photo column, one chunk at a time.
#include "store/store_internal.h"

namespace kelvo::store {

void AppendFromFile(InputFile& in, std::int64_t size, Field& column, const std::string& ended) {
    if (size == 0) return;
    Bytes chunk(static_cast<std::size_t>(size));
    const auto read = [&in](std::uint8_t* out, std::size_t length) { return in.Read(out, length); };
    if (!ReadExactly(read, chunk.data(), chunk.size())) throw Error(ended);
    column.AppendChunk(chunk);
}

}  // namespace kelvo::store
