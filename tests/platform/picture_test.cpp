// Loading every picture kind from real files, refusing bad ones, and saving as bitmaps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <cstdlib>
#include <fstream>
#include <set>

#include "platform/files/files.h"
#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

PictureService& Pictures() {
    return *DefaultServices().pictures;
}

Bytes ReadBytes(const std::string& path) {
    return LocalFileSystem().ReadAll(path);
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    LocalFileSystem().WriteAll(path, bytes);
}

std::uint32_t Le32(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void ExpectCloseColour(std::uint32_t expected, std::uint32_t actual, int tolerance) {
    for (int shift : {0, 8, 16}) {
        int want = (expected >> shift) & 0xFF, got = (actual >> shift) & 0xFF;
        EXPECT_NEAR(want, got, tolerance) << std::hex << expected << " vs " << actual;
    }
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

TEST(Picture, EmptyPictureHasHandleZero) {
    PicturePtr empty = EmptyPicture();
    EXPECT_EQ(empty->Handle(), 0);
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_EQ(empty->PixelWidth(), 0);
    EXPECT_EQ(empty->PixelHeight(), 0);
    EXPECT_NE(EmptyPicture(), empty);
    EXPECT_EQ(Pictures().LoadPicture("")->Handle(), 0);
    EXPECT_EQ(PictureFromImage(QImage())->Handle(), 0);
}

TEST(Picture, LoadsEveryOfferedRasterKind) {
    std::string folder = test::TempFolder();
    std::set<std::int64_t> handles;
    struct Kind {
        const char* format;
        const char* name;
        int tolerance;
    };
    for (Kind kind : {Kind{"bmp", "a.bmp", 0}, Kind{"rle", "a.rle", 0}, Kind{"png", "a.png", 0},
                      Kind{"jpg", "a.jpg", 6}, Kind{"gif", "a.gif", 0}, Kind{"ico", "a.ico", 0},
                      Kind{"cur", "a.cur", 0}}) {
        SCOPED_TRACE(kind.format);
        std::string path = test::WriteImageFile(folder, kind.name, kind.format, 37, 21, 0x3366CC);
        PicturePtr picture = Pictures().LoadPicture(path);
        ASSERT_FALSE(picture->IsEmpty());
        EXPECT_EQ(picture->PixelWidth(), 37);
        EXPECT_EQ(picture->PixelHeight(), 21);
        ExpectCloseColour(0x3366CC, test::PixelAt(*picture, 0, 0), kind.tolerance);
        ExpectCloseColour(0x3366CC, test::PixelAt(*picture, 36, 20), kind.tolerance);
        handles.insert(picture->Handle());
    }
    EXPECT_EQ(handles.size(), 7u);
    EXPECT_EQ(handles.count(0), 0u);

    // Wide rows need several runs in a run-length bitmap; the kind is read from the content.
    std::string wide = test::WriteImageFile(folder, "wide.bmp", "rle", 600, 3, 0x102030);
    PicturePtr picture = Pictures().LoadPicture(wide);
    EXPECT_EQ(picture->PixelWidth(), 600);
    EXPECT_EQ(test::PixelAt(*picture, 599, 2), 0x102030u);
    std::string gifNamedJpg = test::WriteImageFile(folder, "gif.jpg", "gif", 300, 200, 0xFF0000);
    EXPECT_EQ(test::PixelAt(*Pictures().LoadPicture(gifNamedJpg), 299, 199), 0xFF0000u);
}

TEST(Picture, RefusesMissingCorruptAndAbsurdFiles) {
    std::string folder = test::TempFolder();
    std::string missing = folder + "missing.bmp";
    EXPECT_EQ(test::PictureLoadError(missing),
              "cannot read picture file " + missing + ": file not found");

    std::string empty = folder + "empty.bmp";
    WriteBytes(empty, {});
    EXPECT_NE(test::PictureLoadError(empty).find("cannot read picture file " + empty),
              std::string::npos);

    std::string text = folder + "text.jpg";
    WriteBytes(text, Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    EXPECT_NE(test::PictureLoadError(text).find("cannot read picture file " + text),
              std::string::npos);

    EXPECT_EQ(test::PictureLoadError(folder),
              "cannot read picture file " + folder + ": it is a folder");

    for (const char* format : {"bmp", "png", "gif", "jpg", "rle", "ico"}) {
        SCOPED_TRACE(format);
        std::string whole = test::WriteImageFile(folder, "whole", format, 64, 64);
        for (int thirds : {1, 2}) {
            Bytes bytes = ReadBytes(whole);
            bytes.resize(bytes.size() * thirds / 3);
            std::string cut = folder + "cut." + format;
            WriteBytes(cut, bytes);
            EXPECT_NE(test::PictureLoadError(cut).find("cannot read picture file " + cut),
                      std::string::npos)
                << thirds << "/3";
        }
    }

    // A bitmap header declaring 100000 x 100000 pixels, with almost no data behind it.
    Bytes huge = ReadBytes(test::WriteImageFile(folder, "small.bmp", "bmp", 4, 4));
    huge[18] = 0xA0, huge[19] = 0x86, huge[20] = 0x01, huge[21] = 0;  // width 100000
    huge[22] = 0xA0, huge[23] = 0x86, huge[24] = 0x01, huge[25] = 0;  // height 100000
    std::string hugePath = folder + "huge.bmp";
    WriteBytes(hugePath, huge);
    EXPECT_NE(test::PictureLoadError(hugePath).find("too large"), std::string::npos)
        << test::PictureLoadError(hugePath);

    // A PNG whose header claims 40000 x 40000.
    Bytes png = ReadBytes(test::WriteImageFile(folder, "small.png", "png", 4, 4));
    for (std::size_t at : {16u, 20u})
        png[at] = 0, png[at + 1] = 0, png[at + 2] = 0x9C, png[at + 3] = 0x40;
    std::uint32_t crc = Crc32(&png[12], 17);  // IHDR type and data
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    std::string hugePng = folder + "huge.png";
    WriteBytes(hugePng, png);
    EXPECT_EQ(test::PictureLoadError(hugePng),
              "cannot read picture file " + hugePng + ": declared size 40000x40000 is too large");
}

TEST(Picture, SavesUncompressedBitmapWhateverTheSource) {
    std::string folder = test::TempFolder();
    PicturePtr loaded =
        Pictures().LoadPicture(test::WriteImageFile(folder, "p.png", "png", 10, 7, 0x11AA55));
    std::string saved = folder + "saved.qzr";
    Pictures().SavePicture(*loaded, saved);
    Bytes bytes = ReadBytes(saved);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Le32(bytes, 30), 0u);  // BI_RGB: no compression
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    EXPECT_EQ(bytes.size(), 54u + 32u * 7u);  // 24-bit rows of 30 bytes padded to 32

    PicturePtr again = Pictures().LoadPicture(saved);
    EXPECT_EQ(again->PixelWidth(), 10);
    EXPECT_EQ(test::PixelAt(*again, 9, 6), 0x11AA55u);
    EXPECT_NE(again->Handle(), loaded->Handle());

    Pictures().SavePicture(*test::MakePicture(3, 3), saved);  // replaces the earlier file
    EXPECT_EQ(Pictures().LoadPicture(saved)->PixelWidth(), 3);

    EXPECT_THROW(Pictures().SavePicture(Picture(), folder + "empty.bmp"), Error);
    EXPECT_FALSE(LocalFileSystem().FileExists(folder + "empty.bmp"));
    try {
        Pictures().SavePicture(*loaded, folder + "no/such/folder.bmp");
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos);
    }
    EXPECT_THROW(Pictures().SavePicture(*loaded, "/dev/full"), Error);
}

// Bitmaps of the layout the store writes go through a quick path of our own; Qt's codec is
// the reference for every byte and pixel, at widths with every row padding.
QByteArray QtBitmapBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    return bytes;
}

QImage QtDecoded(const Bytes& bytes) {
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer, "bmp").read();
}

TEST(Picture, PlainBitmapsMatchQtsOwnCodec) {
    std::string folder = test::TempFolder();
    for (int width : {1, 2, 3, 4, 5, 593}) {
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 37, y * 91, x ^ (y * 5)));
        image.setDotsPerMeterX(2835 + width);
        image.setDotsPerMeterY(4000);
        std::string path = folder + "plain" + std::to_string(width) + ".bmp";
        Pictures().SavePicture(*PictureFromImage(image), path);
        Bytes saved = ReadBytes(path);
        QByteArray reference = QtBitmapBytes(image);
        ASSERT_EQ(saved, Bytes(reference.begin(), reference.end())) << "width " << width;

        const PicturePtr picture = Pictures().LoadPicture(path);
        const QImage& loaded = ImageOf(*picture);
        EXPECT_EQ(loaded, QtDecoded(saved)) << "width " << width;
        EXPECT_EQ(loaded.dotsPerMeterX(), 2835 + width);
        EXPECT_EQ(loaded.dotsPerMeterY(), 4000);
    }

    // What the quick path leaves to Qt: top-down rows, a cut-off pixel area, a picture with
    // alpha.
    QImage image(6, 4, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    Bytes plain = ReadBytes(test::WriteImageFile(folder, "base.bmp", "bmp", 6, 4, 0x0AC81E));
    auto variant = [&](const std::string& name, auto change) {
        Bytes bytes = plain;
        change(bytes);
        WriteBytes(folder + name, bytes);
        return folder + name;
    };
    std::string topDown = variant("topdown.bmp", [](Bytes& b) {
        std::uint32_t h = static_cast<std::uint32_t>(-4);
        for (int i = 0; i < 4; ++i) b[22 + i] = static_cast<std::uint8_t>(h >> (8 * i));
    });
    EXPECT_EQ(ImageOf(*Pictures().LoadPicture(topDown)).pixel(5, 0), image.pixel(5, 0));
    std::string shortBody = variant("short.bmp", [](Bytes& b) { b.resize(b.size() - 5); });
    EXPECT_NE(test::PictureLoadError(shortBody), "");

    QImage alpha(3, 2, QImage::Format_ARGB32);
    alpha.fill(qRgba(1, 2, 3, 128));
    std::string alphaPath = folder + "alpha.bmp";
    Pictures().SavePicture(*PictureFromImage(alpha), alphaPath);
    QByteArray alphaReference = QtBitmapBytes(alpha);
    EXPECT_EQ(ReadBytes(alphaPath), Bytes(alphaReference.begin(), alphaReference.end()));
}

// Bytes given in pieces of any size read as the same bytes given whole, bitmap or not.
TEST(Picture, PiecesReadAsTheWholeBytes) {
    std::string folder = test::TempFolder();
    QImage image(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 30, y * 50, 7));
    Pictures().SavePicture(*PictureFromImage(image), folder + "plain.bmp");
    const Bytes plain = ReadBytes(folder + "plain.bmp");
    const Bytes png = ReadBytes(test::WriteImageFile(folder, "p.png", "png", 9, 4, 0x123456));

    auto readInPieces = [](const Bytes& bytes, std::size_t pieceSize) {
        std::unique_ptr<PictureReader> reader = Pictures().ReadPicture("in test");
        for (std::size_t at = 0; at < bytes.size(); at += pieceSize)
            reader->Add(bytes.data() + at, std::min(pieceSize, bytes.size() - at));
        return reader->Finish();
    };
    for (std::size_t pieceSize : {std::size_t{1}, std::size_t{13}, std::size_t{53}, std::size_t{54},
                                  std::size_t{55}, std::size_t{16384}}) {
        EXPECT_EQ(ImageOf(*readInPieces(plain, pieceSize)), image) << pieceSize;
        EXPECT_EQ(ImageOf(*readInPieces(png, pieceSize)),
                  ImageOf(*Pictures().LoadPictureData(png, "whole")))
            << pieceSize;
    }

    // Bytes after the last row change nothing; missing ones are reported, not guessed.
    Bytes longer = plain;
    longer.insert(longer.end(), 100, 0xEE);
    EXPECT_EQ(ImageOf(*readInPieces(longer, 40)), image);
    const Bytes cut(plain.begin(), plain.end() - 3);
    try {
        readInPieces(cut, 40);
        ADD_FAILURE() << "a cut-off bitmap was read";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "cannot read picture in test: the file is truncated");
    }
    const Bytes headerOnly(plain.begin(), plain.begin() + 20);
    EXPECT_THROW(readInPieces(headerOnly, 7), Error);
}

TEST(Interaction, HarmlessWithoutAnApplication) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    const Services& services = DefaultServices();
    EXPECT_EQ(services.interaction->MsgBox("Save changes?", 35, "Changes Not Saved"), vbCancel);
    EXPECT_EQ(services.interaction->MsgBox("Done", vbOKOnly), vbOK);
    services.interaction->DoEvents();
    EXPECT_TRUE(services.clipboard->GetData()->IsEmpty());
    services.clipboard->Clear();
    services.clipboard->SetData(*test::MakePicture(2, 2));
    EXPECT_EQ(services.files, &LocalFileSystem());
}

TEST(Interaction, ClipboardCarriesPictures) {
    if (QCoreApplication::instance()) GTEST_SKIP() << "another application object is alive";
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    Clipboard& clipboard = *DefaultServices().clipboard;
    clipboard.Clear();
    EXPECT_TRUE(clipboard.GetData()->IsEmpty());
    clipboard.SetData(*test::MakePicture(12, 5, 0x804020));
    PicturePtr pasted = clipboard.GetData();
    ASSERT_FALSE(pasted->IsEmpty());
    EXPECT_EQ(pasted->PixelWidth(), 12);
    EXPECT_EQ(pasted->PixelHeight(), 5);
    EXPECT_EQ(test::PixelAt(*pasted, 11, 4), 0x804020u);
    DefaultServices().interaction->DoEvents();
}

}  // namespace
}  // namespace kelvo
