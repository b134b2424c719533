// Structural checks on BMP (also run-length), GIF, PNG and JPEG bytes: complete bodies and
// declared sizes within bounds.
#include "platform/pictures/picture_checks.h"

#include <cstdlib>

#include "platform/pictures/byte_order.h"

namespace kelvo {

namespace {

std::uint32_t be32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

std::string tooLarge(std::int64_t width, std::int64_t height) {
    return "declared size " + std::to_string(width) + "x" + std::to_string(height) +
           " is too large";
}

std::string sizeProblem(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) return "declared size is empty";
    return SanePictureSize(width, height) ? "" : tooLarge(width, height);
}

// Walks a BI_RLE8 / BI_RLE4 stream; complete when it ends with its end-of-bitmap code or
// covers every row.
bool runLengthComplete(const Bytes& b, std::size_t at, std::int64_t height, bool fourBit) {
    std::int64_t rows = 0;
    while (at + 2 <= b.size()) {
        std::uint8_t count = b[at], code = b[at + 1];
        at += 2;
        if (count > 0) continue;
        if (code == 0) {
            ++rows;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (at + 2 > b.size()) return false;
            rows += b[at + 1];
            at += 2;
        } else {
            std::size_t literal = fourBit ? (code + 1u) / 2 : code;
            at += literal + (literal & 1);
        }
    }
    return rows >= height && at <= b.size();
}

std::string bitmapProblem(const Bytes& b) {
    if (b.size() < 26) return kTruncatedPicture;
    std::uint32_t offset = Le32(b, 10), headerSize = Le32(b, 14);
    std::int64_t width, height;
    unsigned bitCount, compression = 0;
    if (headerSize == 12) {
        width = Le16(b, 18), height = Le16(b, 20), bitCount = Le16(b, 24);
    } else {
        if (b.size() < 34) return kTruncatedPicture;
        width = static_cast<std::int32_t>(Le32(b, 18));
        height = std::llabs(static_cast<std::int32_t>(Le32(b, 22)));
        bitCount = Le16(b, 28), compression = Le32(b, 30);
    }
    if (std::string problem = sizeProblem(width, height); !problem.empty()) return problem;
    if (offset >= b.size()) return kTruncatedPicture;
    switch (compression) {
        case 0:  // uncompressed
        case 3:  // bit fields
        case 6: {
            std::uint64_t rowBytes = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
            return offset + rowBytes * static_cast<std::uint64_t>(height) > b.size()
                       ? kTruncatedPicture
                       : "";
        }
        case 1:
        case 2:
            return runLengthComplete(b, offset, height, compression == 2) ? "" : kTruncatedPicture;
        default:
            return "";
    }
}

// Complete when the first image's data blocks are all there.
std::string gifProblem(const Bytes& b) {
    if (b.size() < 13) return kTruncatedPicture;
    if (std::string problem = sizeProblem(Le16(b, 6), Le16(b, 8)); !problem.empty()) return problem;
    std::size_t at = 13;
    if (b[10] & 0x80) at += 3u << ((b[10] & 7) + 1);
    auto skipSubBlocks = [&]() {
        while (at < b.size()) {
            std::uint8_t size = b[at++];
            if (size == 0) return true;
            at += size;
        }
        return false;
    };
    while (at < b.size()) {
        std::uint8_t block = b[at];
        if (block == 0x21) {
            at += 2;
            if (!skipSubBlocks()) return kTruncatedPicture;
        } else if (block == 0x2C) {
            if (at + 10 > b.size()) return kTruncatedPicture;
            if (std::string problem = sizeProblem(Le16(b, at + 5), Le16(b, at + 7));
                !problem.empty())
                return problem;
            std::uint8_t packed = b[at + 9];
            at += 10;
            if (packed & 0x80) at += 3u << ((packed & 7) + 1);
            at += 1;  // minimum code size
            return skipSubBlocks() ? "" : kTruncatedPicture;
        } else {
            return "no image in the file";
        }
    }
    return kTruncatedPicture;
}

// Complete when the chunks run on to IEND.
std::string pngProblem(const Bytes& b) {
    if (b.size() < 33) return kTruncatedPicture;
    if (std::string problem = sizeProblem(be32(b, 16), be32(b, 20)); !problem.empty())
        return problem;
    std::uint64_t at = 8;
    while (at + 12 <= b.size()) {
        std::uint32_t length = be32(b, at);
        bool end = b[at + 4] == 'I' && b[at + 5] == 'E' && b[at + 6] == 'N' && b[at + 7] == 'D';
        at += 12ull + length;
        if (end) return at <= b.size() ? "" : kTruncatedPicture;
    }
    return kTruncatedPicture;
}

// Complete when an end-of-image marker follows the last start-of-scan; entropy-coded data
// never holds a bare marker.
std::string jpegProblem(const Bytes& b) {
    std::size_t lastScan = 0;
    for (std::size_t i = 2; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xDA) lastScan = i;
    if (lastScan == 0) return "";  // no scan at all: the decoder says what is wrong
    for (std::size_t i = lastScan + 2; i + 1 < b.size(); ++i)
        if (b[i] == 0xFF && b[i + 1] == 0xD9) return "";
    return kTruncatedPicture;
}

}  // namespace

bool SanePictureSize(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

std::string PictureBytesProblem(const Bytes& b) {
    if (b.size() >= 2 && b[0] == 'B' && b[1] == 'M') return bitmapProblem(b);
    if (b.size() >= 6 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return gifProblem(b);
    if (b.size() >= 8 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G')
        return pngProblem(b);
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return jpegProblem(b);
    return "";
}

}  // namespace kelvo
