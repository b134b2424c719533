// A quick path for the one bitmap layout the store writes and reads most: 24-bit, uncompressed,
// bottom-up, with a 40-byte info header. Qt's own reader and writer handle every other layout;
// these give the same bytes and the same image as Qt for this one, several times faster.
#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

#include "platform/bytes.h"

namespace kelvo {

inline constexpr std::size_t kPlainBitmapHeaderBytes = 54;

// Builds the image of a plain-layout bitmap from its bytes as they arrive, row by row, so the
// file's bytes are never held whole: at most one part-filled row is kept.
class PlainBitmapReader {
  public:
    // A reader for the bitmap whose first bytes are `header`, when they start a bitmap of the
    // plain layout of a size SanePictureSize accepts; nullopt otherwise. REQUIRES: `size` is
    // at least kPlainBitmapHeaderBytes.
    static std::optional<PlainBitmapReader> Start(const std::uint8_t* header, std::size_t size);

    // The bytes after the header, in file order; those after the last row are passed over.
    void Add(const std::uint8_t* data, std::size_t size);
    bool Complete() const { return rowsDone_ == image_.height(); }
    QImage Take() { return std::move(image_); }  // REQUIRES: Complete()

  private:
    PlainBitmapReader(QImage image, std::size_t rowBytes);
    void addRow(const std::uint8_t* row);

    QImage image_;
    std::size_t rowBytes_;
    int rowsDone_ = 0;
    Bytes partialRow_;
};

// The image of `bytes` when they hold a whole bitmap of the plain layout; nullopt otherwise
// (and for sizes SanePictureSize refuses), so the caller goes to Qt's reader.
std::optional<QImage> DecodePlainBitmap(const Bytes& bytes);

// The plain-layout bitmap file of an opaque 32-bit image (QImage::Format_RGB32), byte for byte
// what Qt's bitmap writer makes of it; nullopt for other formats.
std::optional<QByteArray> EncodePlainBitmap(const QImage& image);
// The length of what EncodePlainBitmap makes of `image`; nullopt where it makes nothing.
std::optional<std::int64_t> PlainBitmapLength(const QImage& image);

}  // namespace kelvo
