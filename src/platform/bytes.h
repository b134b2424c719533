// Bytes: the raw contents of a file, a picture or a binary column.
#pragma once

#include <cstdint>
#include <vector>

namespace kelvo {

using Bytes = std::vector<std::uint8_t>;

}  // namespace kelvo
