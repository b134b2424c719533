// Structural checks on picture file bytes before decoding: Qt's readers return part of an
// image for a cut-off file, and some allocate before looking at the declared size.
#pragma once

#include <cstdint>
#include <string>

#include "platform/bytes.h"

namespace kelvo {

inline constexpr int kMaxPictureSide = 32768;
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;

inline constexpr const char* kTruncatedPicture = "the file is truncated";

bool SanePictureSize(std::int64_t width, std::int64_t height);

// Why the bytes cannot be a whole picture of their kind ("" when no fault is seen, also for
// kinds not checked here): a truncated body or an absurd declared size.
std::string PictureBytesProblem(const Bytes& bytes);

}  // namespace kelvo
