// Little-endian numbers inside picture and metafile bytes. REQUIRES: the bytes reach that far.
#pragma once

#include <cstdint>

#include "platform/bytes.h"

namespace kelvo {

inline std::uint32_t Le32(const std::uint8_t* b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

inline std::uint16_t Le16(const std::uint8_t* b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return Le32(b.data(), at);
}

inline std::uint16_t Le16(const Bytes& b, std::size_t at) {
    return Le16(b.data(), at);
}

}  // namespace kelvo
