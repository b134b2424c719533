// Row by row copies between 24-bit bitmap rows and 32-bit image scan lines.
#include "platform/pictures/plain_bitmap.h"

#include <algorithm>
#include <cstring>

#include "platform/pictures/byte_order.h"
#include "platform/pictures/picture_checks.h"

namespace kelvo {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kPixelsOffset = kFileHeaderSize + kInfoHeaderSize;
static_assert(kPixelsOffset == kPlainBitmapHeaderBytes);
constexpr std::uint32_t kOpaque = 0xFF000000u;

void putLe32(char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<char>(value >> (8 * i));
}

void putLe16(char* at, std::uint16_t value) {
    at[0] = static_cast<char>(value);
    at[1] = static_cast<char>(value >> 8);
}

// Bytes in one stored row: three a pixel, padded to a multiple of four.
std::size_t paddedRowBytes(std::int64_t width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

// Four-byte loads and stores run over the row's last pixel by one byte; the last pixel of a
// row is done byte by byte so nothing outside the row or scan line is touched.
void bgrRowToPixels(const std::uint8_t* from, std::uint32_t* to, int width) {
    int x = 0;
    for (; x + 1 < width; ++x, from += 3) {
        std::uint32_t bgrx;
        std::memcpy(&bgrx, from, 4);
        to[x] = kOpaque | (bgrx & 0xFFFFFFu);
    }
    if (x < width) to[x] = kOpaque | from[2] << 16 | from[1] << 8 | from[0];
}

void pixelsToBgrRow(const std::uint32_t* from, char* to, int width) {
    int x = 0;
    for (; x + 1 < width; ++x, to += 3) std::memcpy(to, &from[x], 4);
    if (x < width) {
        to[0] = static_cast<char>(from[x]);
        to[1] = static_cast<char>(from[x] >> 8);
        to[2] = static_cast<char>(from[x] >> 16);
    }
}

}  // namespace

std::optional<PlainBitmapReader> PlainBitmapReader::Start(const std::uint8_t* header,
                                                          std::size_t size) {
    if (size < kPixelsOffset || header[0] != 'B' || header[1] != 'M') return std::nullopt;
    constexpr std::size_t info = kFileHeaderSize;
    const auto width = static_cast<std::int32_t>(Le32(header, info + 4));
    const auto height = static_cast<std::int32_t>(Le32(header, info + 8));
    const bool plain = Le32(header, 10) == kPixelsOffset && Le32(header, info) == kInfoHeaderSize &&
                       Le16(header, info + 12) == 1 && Le16(header, info + 14) == 24 &&
                       Le32(header, info + 16) == 0 && Le32(header, info + 32) == 0;
    if (!plain || width <= 0 || height <= 0 || !SanePictureSize(width, height)) return std::nullopt;

    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return std::nullopt;
    image.setDotsPerMeterX(static_cast<std::int32_t>(Le32(header, info + 24)));
    image.setDotsPerMeterY(static_cast<std::int32_t>(Le32(header, info + 28)));
    return PlainBitmapReader(std::move(image), paddedRowBytes(width));
}

PlainBitmapReader::PlainBitmapReader(QImage image, std::size_t rowBytes)
    : image_(std::move(image)), rowBytes_(rowBytes) {}

void PlainBitmapReader::Add(const std::uint8_t* data, std::size_t size) {
    while (size > 0 && !Complete()) {
        if (partialRow_.empty() && size >= rowBytes_) {
            addRow(data);
            data += rowBytes_;
            size -= rowBytes_;
            continue;
        }
        const std::size_t taken = std::min(size, rowBytes_ - partialRow_.size());
        partialRow_.insert(partialRow_.end(), data, data + taken);
        data += taken;
        size -= taken;
        if (partialRow_.size() == rowBytes_) {
            addRow(partialRow_.data());
            partialRow_.clear();
        }
    }
}

// Rows are stored bottom-up.
void PlainBitmapReader::addRow(const std::uint8_t* row) {
    const int y = image_.height() - 1 - rowsDone_++;
    bgrRowToPixels(row, reinterpret_cast<std::uint32_t*>(image_.scanLine(y)), image_.width());
}

std::optional<QImage> DecodePlainBitmap(const Bytes& bytes) {
    std::optional<PlainBitmapReader> reader = PlainBitmapReader::Start(bytes.data(), bytes.size());
    if (!reader) return std::nullopt;
    reader->Add(bytes.data() + kPixelsOffset, bytes.size() - kPixelsOffset);
    if (!reader->Complete()) return std::nullopt;
    return reader->Take();
}

std::optional<std::int64_t> PlainBitmapLength(const QImage& image) {
    if (image.format() != QImage::Format_RGB32 || image.isNull()) return std::nullopt;
    return static_cast<std::int64_t>(kPixelsOffset + paddedRowBytes(image.width()) *
                                                         static_cast<std::size_t>(image.height()));
}

std::optional<QByteArray> EncodePlainBitmap(const QImage& image) {
    if (image.format() != QImage::Format_RGB32 || image.isNull()) return std::nullopt;
    const int width = image.width(), height = image.height();
    const std::size_t rowBytes = paddedRowBytes(width);
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(height);
    QByteArray file(static_cast<qsizetype>(kPixelsOffset + pixelBytes), '\0');
    char* out = file.data();
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out + 2, static_cast<std::uint32_t>(file.size()));
    putLe32(out + 10, kPixelsOffset);
    char* info = out + kFileHeaderSize;
    putLe32(info, kInfoHeaderSize);
    putLe32(info + 4, static_cast<std::uint32_t>(width));
    putLe32(info + 8, static_cast<std::uint32_t>(height));
    putLe16(info + 12, 1);
    putLe16(info + 14, 24);
    putLe32(info + 20, static_cast<std::uint32_t>(pixelBytes));
    putLe32(info + 24, static_cast<std::uint32_t>(image.dotsPerMeterX()));
    putLe32(info + 28, static_cast<std::uint32_t>(image.dotsPerMeterY()));
    for (int y = 0; y < height; ++y)
        pixelsToBgrRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)),
                       out + kPixelsOffset + rowBytes * (height - 1 - y), width);
    return file;
}

}  // namespace kelvo
