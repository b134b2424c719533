// Metafile record checks on libuemf's own safety tests. Kept apart from the libwmf code:
// libuemf's WMF header declares names that clash with libwmf's.
#include "platform/pictures/metafile_records.h"

#include <uemf_safe.h>
#include <uwmf.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/pictures/byte_order.h"

namespace kelvo {

namespace {

constexpr std::uint32_t kEmfEof = 14;
constexpr std::uint16_t kWmfEof = 0x0000;

const char* charsOf(const Bytes& bytes) {
    return reinterpret_cast<const char*>(bytes.data());
}

}  // namespace

// Every record lies inside the file, is well formed by libuemf's checks, and the last one is
// the end-of-file record.
void CheckEnhancedRecords(const Bytes& b) {
    std::size_t limit = std::min<std::size_t>(b.size(), Le32(b, 48));
    std::size_t at = 0;
    while (at + 8 <= limit) {
        std::uint32_t type = Le32(b, at), size = Le32(b, at + 4);
        if (size < 8 || size % 4 != 0 || size > limit - at) throw Error("the file is truncated");
        if (!U_emf_record_safe(charsOf(b) + at)) throw Error("the file is corrupt");
        if (type == kEmfEof) return;
        at += size;
    }
    throw Error("the file is truncated");
}

void CheckWindowsRecords(const Bytes& b) {
    const char* start = charsOf(b);
    const char* limit = start + b.size();
    U_WMRPLACEABLE placeable;
    U_WMRHEADER header;
    int headerSize = wmfheader_get(start, limit, &placeable, &header);
    if (headerSize <= 0) throw Error("the file is corrupt");
    // libwmf allocates a buffer of the size the header gives for its largest record.
    if (std::uint64_t{header.maxSize} * 2 > b.size()) throw Error("the file is corrupt");
    const char* at = start + headerSize;
    while (at + 6 <= limit) {
        std::size_t size = U_WMRRECSAFE_get(at, limit);
        if (size == 0) throw Error("the file is truncated");
        if (Le16(b, static_cast<std::size_t>(at - start) + 4) == kWmfEof) return;
        at += size;
    }
    throw Error("the file is truncated");
}

}  // namespace kelvo
