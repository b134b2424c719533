// Real image files of every kind the editor offers, made here: Qt writes BMP, PNG and JPEG;
// GIF, run-length bitmaps, icons and cursors are built byte by byte.
#include "support/test_images.h"

#include <QColor>
#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/error.h"
#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"

namespace kelvo::test {

namespace {

using ByteList = std::vector<std::uint8_t>;

void Put16(ByteList& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void Put32(ByteList& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::uint8_t Red(std::uint32_t rgb) {
    return (rgb >> 16) & 0xFF;
}
std::uint8_t Green(std::uint32_t rgb) {
    return (rgb >> 8) & 0xFF;
}
std::uint8_t Blue(std::uint32_t rgb) {
    return rgb & 0xFF;
}

// A bitmap file header and BITMAPINFOHEADER for `pixelBytes` of image data after a palette.
ByteList BitmapHeaders(int width, int height, int bitCount, std::uint32_t compression,
                       std::uint32_t pixelBytes, const std::vector<std::uint32_t>& palette) {
    ByteList out;
    std::uint32_t offset = 14 + 40 + 4 * static_cast<std::uint32_t>(palette.size());
    out.push_back('B');
    out.push_back('M');
    Put32(out, offset + pixelBytes);
    Put32(out, 0);
    Put32(out, offset);
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bitCount));
    Put32(out, compression);
    Put32(out, pixelBytes);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, static_cast<std::uint32_t>(palette.size()));
    Put32(out, 0);
    for (std::uint32_t colour : palette) {
        out.push_back(Blue(colour));
        out.push_back(Green(colour));
        out.push_back(Red(colour));
        out.push_back(0);
    }
    return out;
}

// An 8-bit run-length bitmap (BI_RLE8) in one colour: runs of at most 255 pixels a row.
ByteList RunLengthBitmap(int width, int height, std::uint32_t rgb) {
    ByteList pixels;
    for (int row = 0; row < height; ++row) {
        for (int left = width; left > 0; left -= 255) {
            pixels.push_back(static_cast<std::uint8_t>(std::min(left, 255)));
            pixels.push_back(0);
        }
        pixels.push_back(0);
        pixels.push_back(0);  // end of line
    }
    pixels.push_back(0);
    pixels.push_back(1);  // end of bitmap
    ByteList out = BitmapHeaders(width, height, 8, 1, static_cast<std::uint32_t>(pixels.size()),
                                 {rgb, 0x000000});
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// A GIF of one colour. Every pixel goes out as a literal 3-bit code, with a clear code after
// each two so the decoder's table never widens the codes: valid LZW without compression.
ByteList GifFile(int width, int height, std::uint32_t rgb) {
    ByteList out{'G', 'I', 'F', '8', '9', 'a'};
    Put16(out, static_cast<unsigned>(width));
    Put16(out, static_cast<unsigned>(height));
    out.push_back(0x80);  // global colour table of 2 entries
    out.push_back(0);
    out.push_back(0);
    for (std::uint32_t colour : {rgb, std::uint32_t{0}}) {
        out.push_back(Red(colour));
        out.push_back(Green(colour));
        out.push_back(Blue(colour));
    }
    out.push_back(0x2C);  // image descriptor
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<unsigned>(width));
    Put16(out, static_cast<unsigned>(height));
    out.push_back(0);

    constexpr unsigned kClear = 4, kEnd = 5, kWidth = 3;
    ByteList codes;
    std::uint32_t bitBuffer = 0;
    int bitCount = 0;
    auto putCode = [&](unsigned code) {
        bitBuffer |= code << bitCount;
        bitCount += kWidth;
        while (bitCount >= 8) {
            codes.push_back(bitBuffer & 0xFF);
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    long total = static_cast<long>(width) * height;
    for (long i = 0; i < total; ++i) {
        if (i % 2 == 0) putCode(kClear);
        putCode(0);
    }
    putCode(kEnd);
    if (bitCount > 0) codes.push_back(bitBuffer & 0xFF);

    out.push_back(2);  // minimum code size
    for (std::size_t at = 0; at < codes.size(); at += 255) {
        std::size_t size = std::min<std::size_t>(255, codes.size() - at);
        out.push_back(static_cast<std::uint8_t>(size));
        out.insert(out.end(), codes.begin() + static_cast<long>(at),
                   codes.begin() + static_cast<long>(at + size));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

// An icon (type 1) or cursor (type 2) of 32-bit images with all-visible masks, one for each
// size, in this order.
ByteList IconFile(const std::vector<std::pair<int, int>>& sizes, std::uint32_t rgb, bool cursor) {
    const auto imageBytes = [](int width, int height) {
        const std::uint32_t maskRow = ((static_cast<std::uint32_t>(width) + 31) / 32) * 4;
        return 40 + static_cast<std::uint32_t>(width * height * 4) + maskRow * height;
    };
    ByteList out;
    Put16(out, 0);
    Put16(out, cursor ? 2 : 1);
    Put16(out, static_cast<std::uint16_t>(sizes.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * sizes.size());
    for (auto [width, height] : sizes) {
        if (width > 256 || height > 256) throw std::invalid_argument("icons are at most 256x256");
        out.push_back(static_cast<std::uint8_t>(width & 0xFF));  // 256 is written as 0
        out.push_back(static_cast<std::uint8_t>(height & 0xFF));
        out.push_back(0);
        out.push_back(0);
        Put16(out, cursor ? 0 : 1);   // hot spot x, or planes
        Put16(out, cursor ? 0 : 32);  // hot spot y, or bits per pixel
        Put32(out, imageBytes(width, height));
        Put32(out, offset);
        offset += imageBytes(width, height);
    }
    for (auto [width, height] : sizes) {
        Put32(out, 40);
        Put32(out, static_cast<std::uint32_t>(width));
        Put32(out, static_cast<std::uint32_t>(height * 2));
        Put16(out, 1);
        Put16(out, 32);
        for (int i = 0; i < 6; ++i) Put32(out, 0);
        for (int i = 0; i < width * height; ++i) {
            out.push_back(Blue(rgb));
            out.push_back(Green(rgb));
            out.push_back(Red(rgb));
            out.push_back(0xFF);
        }
        out.insert(out.end(), ((static_cast<std::uint32_t>(width) + 31) / 32) * 4 * height, 0);
    }
    return out;
}

std::uint32_t ColorRef(std::uint32_t rgb) {
    return Red(rgb) | Green(rgb) << 8 | Blue(rgb) << 16;
}

void Put32At(ByteList& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An enhanced metafile whose reference device has 96 pixels an inch, so logical units are
// pixels and the frame (in 0.01 mm) spans exactly width x height pixels.
ByteList EnhancedMetafile(int width, int height, std::uint32_t fill, std::int64_t line) {
    ByteList out;
    int records = 0;
    auto record = [&](std::uint32_t type, std::initializer_list<std::uint32_t> values) {
        Put32(out, type);
        Put32(out, 8 + 4 * static_cast<std::uint32_t>(values.size()));
        for (std::uint32_t value : values) Put32(out, value);
        ++records;
    };
    auto hundredthsMm = [](int pixels) { return static_cast<std::uint32_t>(pixels * 2540 / 96); };
    auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    record(1, {0,
               0,
               w - 1,
               h - 1,
               0,
               0,
               hundredthsMm(width),
               hundredthsMm(height),
               0x464D4520,
               0x10000,
               0,
               0,
               4,
               0,
               0,
               0,
               1920,
               1080,
               508,
               286});                       // nBytes, nRecords set below
    record(39, {1, 0, ColorRef(fill), 0});  // solid brush
    record(37, {1});
    record(38, {2, 0, 1, 0, ColorRef(fill)});  // pen of the fill colour
    record(37, {2});
    record(43, {0, 0, w, h});  // rectangle
    if (line != kNoLine) {
        record(38, {3, 0, 3, 0, ColorRef(static_cast<std::uint32_t>(line))});
        record(37, {3});
        record(27, {0, h / 2});  // move to
        record(54, {w, h / 2});  // line to
    }
    record(14, {0, 16, 20});  // end of file
    Put32At(out, 48, static_cast<std::uint32_t>(out.size()));
    Put32At(out, 52, static_cast<std::uint32_t>(records));
    return out;
}

// A placeable Windows metafile with 96 logical units an inch, its window the whole picture.
ByteList WindowsMetafile(int width, int height, std::uint32_t fill, std::int64_t line) {
    ByteList body;
    std::uint32_t largest = 0;
    auto record = [&](unsigned function, const std::vector<unsigned>& words) {
        std::uint32_t size = 3 + static_cast<std::uint32_t>(words.size());
        largest = std::max(largest, size);
        Put32(body, size);
        Put16(body, function);
        for (unsigned word : words) Put16(body, word & 0xFFFF);
    };
    auto colour = [](std::uint32_t rgb, std::initializer_list<unsigned> before) {
        std::vector<unsigned> words(before);
        words.push_back(ColorRef(rgb) & 0xFFFF);
        words.push_back(ColorRef(rgb) >> 16);
        return words;
    };
    auto w = static_cast<unsigned>(width), h = static_cast<unsigned>(height);
    record(0x020B, {0, 0});  // window origin
    record(0x020C, {h, w});  // window extent
    std::vector<unsigned> brush = colour(fill, {0});
    brush.push_back(0);     // hatch
    record(0x02FC, brush);  // solid brush, object 0
    record(0x012D, {0});
    record(0x02FA, colour(fill, {0, 1, 0}));  // pen, object 1
    record(0x012D, {1});
    record(0x041B, {h, w, 0, 0});  // rectangle: bottom, right, top, left
    if (line != kNoLine) {
        record(0x02FA, colour(static_cast<std::uint32_t>(line), {0, 3, 0}));  // object 2
        record(0x012D, {2});
        record(0x0214, {h / 2, 0});  // move to (y, x)
        record(0x0213, {h / 2, w});  // line to
    }
    record(0x0000, {});  // end of file

    ByteList out;
    Put32(out, 0x9AC6CDD7u);
    Put16(out, 0);
    for (unsigned value : {0u, 0u, w, h}) Put16(out, value);
    Put16(out, 96);
    Put32(out, 0);
    unsigned checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= out[i] | out[i + 1] << 8;
    Put16(out, checksum);
    Put16(out, 1);       // in memory
    Put16(out, 9);       // header words
    Put16(out, 0x0300);  // version
    Put32(out, static_cast<std::uint32_t>((18 + body.size()) / 2));
    Put16(out, 3);  // objects
    Put32(out, largest);
    Put16(out, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

void WriteBytes(const std::string& path, const ByteList& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    if (!file.flush()) throw std::runtime_error("cannot write test image " + path);
}

QImage FilledImage(int width, int height, std::uint32_t rgb) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(0xFF000000u | rgb));
    return image;
}

// Removes the folders handed out when the test program ends.
struct TempFolders {
    std::mutex mutex;
    std::vector<std::string> made;
    ~TempFolders() {
        for (const auto& folder : made) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
};

}  // namespace

std::string TempFolder() {
    static TempFolders folders;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kelvo-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) throw std::runtime_error("cannot make a test folder");
    std::string folder = std::string(buffer.data()) + "/";
    std::lock_guard lock(folders.mutex);
    folders.made.push_back(folder);
    return folder;
}

std::string WriteImageFile(const std::string& folder, const std::string& name,
                           const std::string& format, int width, int height, std::uint32_t rgb) {
    std::string path = folder + name;
    if (format == "rle") {
        WriteBytes(path, RunLengthBitmap(width, height, rgb));
    } else if (format == "gif") {
        WriteBytes(path, GifFile(width, height, rgb));
    } else if (format == "ico" || format == "cur") {
        // Smaller images around the one asked for, as icon files usually hold several sizes.
        const std::vector<std::pair<int, int>> sizes = {
            {std::max(width / 2, 1), std::max(height / 2, 1)}, {width, height}, {1, 1}};
        WriteBytes(path, IconFile(sizes, rgb, format == "cur"));
    } else if (format == "wmf" || format == "emf") {
        WriteBytes(path, MetafileBytes(format, width, height, rgb));
    } else if (format == "bmp" || format == "png" || format == "jpg") {
        const char* qtFormat = format == "bmp" ? "BMP" : format == "png" ? "PNG" : "JPEG";
        if (!FilledImage(width, height, rgb).save(QString::fromStdString(path), qtFormat, 95))
            throw std::runtime_error("cannot write test image " + path);
    } else {
        throw std::invalid_argument("unknown test image format " + format);
    }
    return path;
}

Bytes MetafileBytes(const std::string& kind, int width, int height, std::uint32_t fill,
                    std::int64_t line) {
    if (kind == "emf") return EnhancedMetafile(width, height, fill, line);
    if (kind == "wmf") return WindowsMetafile(width, height, fill, line);
    throw std::invalid_argument("unknown metafile kind " + kind);
}

PicturePtr MakePicture(int width, int height, std::uint32_t rgb) {
    return PictureFromImage(FilledImage(width, height, rgb));
}

std::uint32_t PixelAt(const Picture& picture, int x, int y) {
    const QImage& image = ImageOf(picture);
    if (!image.valid(x, y)) throw std::out_of_range("pixel outside the picture");
    return image.pixel(x, y) & 0xFFFFFFu;
}

std::string PictureLoadError(const std::string& path) {
    try {
        DefaultServices().pictures->LoadPicture(path);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

std::uint64_t Checksum(const Bytes& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint8_t b : bytes) hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

std::uint64_t PictureChecksum(const Picture& picture) {
    if (picture.IsEmpty()) return 0;
    const QImage image = ImageOf(picture).convertToFormat(QImage::Format_RGB32);
    std::uint64_t hash = Checksum(Bytes{static_cast<std::uint8_t>(image.width() & 0xFF),
                                        static_cast<std::uint8_t>(image.height() & 0xFF)});
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = image.constScanLine(y);
        for (int x = 0; x < image.width() * 4; ++x)
            if (x % 4 != 3) hash = (hash ^ line[x]) * 1099511628211ull;
    }
    return hash;
}

}  // namespace kelvo::test
