// A quick path for the one bitmap layout the store writes and reads most: 24-bit, uncompressed,
// bottom-up, with a 40-byte info header. Qt's own reader and writer handle every other layout;
// these give the same bytes and the same image as Qt for this one, several times faster.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

#include "platform/variant.h"

namespace kelvo {

// The image of `bytes` when they hold a whole bitmap of the plain layout; nullopt otherwise
// (and for sizes SanePictureSize refuses), so the caller goes to Qt's reader.
std::optional<QImage> DecodePlainBitmap(const Bytes& bytes);

// The plain-layout bitmap file of an opaque 32-bit image (QImage::Format_RGB32), byte for byte
// what Qt's bitmap writer makes of it; nullopt for other formats.
std::optional<QByteArray> EncodePlainBitmap(const QImage& image);

}  // namespace kelvo
