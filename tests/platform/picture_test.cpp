// Loading every picture kind from real files, refusing bad ones, and saving as bitmaps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
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

std::string Write(const std::string& path, const Bytes& bytes) {
    LocalFileSystem().WriteAll(path, bytes);
    return path;
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

// What Qt's own codec writes for `image` as a bitmap.
Bytes QtBitmapBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes SavedBytes(const QImage& image, const std::string& path) {
    Pictures().SavePicture(*PictureFromImage(image), path);
    return ReadBytes(path);
}

struct Kind {
    std::string path;
    int width, height, tolerance;
};

// A real file of every raster kind offered, 0x3366CC all over.
std::vector<Kind> EveryRasterKind(const std::string& folder) {
    return {{test::WriteImageFile(folder, "a.bmp", "bmp", 37, 21), 37, 21, 0},
            {test::WriteImageFile(folder, "a.png", "png", 37, 21), 37, 21, 0},
            {test::WriteImageFile(folder, "a.jpg", "jpg", 37, 21), 37, 21, 6},
            {test::SampleFile("blue.gif"), 37, 21, 0},
            {test::SampleFile("blue.ico"), 37, 21, 0},
            {test::SampleFile("blue.cur"), 37, 21, 0},
            {test::SampleFile("wide-rle.bmp"), 600, 3, 0}};
}

TEST(Picture, LoadsEveryOfferedKindByItsContentAndNothingAsTheEmptyPicture) {
    const PicturePtr empty = EmptyPicture();
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_EQ(empty->PixelWidth() + empty->PixelHeight(), 0);
    EXPECT_NE(EmptyPicture(), empty);
    for (const PicturePtr& none : {empty, Pictures().LoadPicture(""), PictureFromImage(QImage())})
        EXPECT_EQ(none->Handle(), 0);

    const std::string folder = test::TempFolder();
    std::set<std::int64_t> handles;
    for (const Kind& kind : EveryRasterKind(folder)) {
        SCOPED_TRACE(kind.path);
        // Named as a JPEG whatever it holds: the kind is read from the content.
        const PicturePtr picture =
            Pictures().LoadPicture(Write(folder + "copy.jpg", ReadBytes(kind.path)));
        ASSERT_FALSE(picture->IsEmpty());
        EXPECT_EQ(picture->PixelWidth(), kind.width);
        EXPECT_EQ(picture->PixelHeight(), kind.height);
        for (auto [x, y] : {std::pair{0, 0}, {kind.width - 1, kind.height - 1}}) {
            const std::uint32_t pixel = test::PixelAt(*picture, x, y);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(0x3366CC >> shift & 0xFF, pixel >> shift & 0xFF, kind.tolerance);
        }
        handles.insert(picture->Handle());
    }
    EXPECT_EQ(handles.size(), 7u);
    EXPECT_EQ(handles.count(0), 0u);
}

TEST(Picture, RefusesMissingCorruptAndAbsurdFiles) {
    const std::string folder = test::TempFolder();
    const std::string missing = folder + "missing.bmp";
    EXPECT_EQ(test::PictureLoadError(missing),
              "cannot read picture file " + missing + ": file not found");
    EXPECT_EQ(test::PictureLoadError(folder),
              "cannot read picture file " + folder + ": it is a folder");
    const std::string text = Write(folder + "text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(test::PictureLoadError(text).rfind("cannot read picture file " + text, 0), 0u);

    for (const Kind& kind : EveryRasterKind(folder)) {
        const Bytes whole = ReadBytes(kind.path);
        for (std::size_t thirds : {0, 1, 2}) {
            const std::string cut = Write(
                folder + "cut", Bytes(whole.begin(), whole.begin() + whole.size() * thirds / 3));
            EXPECT_EQ(test::PictureLoadError(cut).rfind("cannot read picture file " + cut, 0), 0u)
                << kind.path << " cut to " << thirds << "/3";
        }
    }
    for (auto [name, error] : {std::pair{"absurd-size.bmp", "too large"},
                               {"absurd-size.png", ": declared size 40000x40000 is too large"}}) {
        const std::string path = test::SampleFile(name);
        EXPECT_NE(test::PictureLoadError(path).find(error), std::string::npos)
            << test::PictureLoadError(path);
    }
}

TEST(Picture, SavesUncompressedBitmapsAsQtsOwnCodecDoesWhateverTheSource) {
    const std::string folder = test::TempFolder();
    PicturePtr loaded =
        Pictures().LoadPicture(test::WriteImageFile(folder, "p.png", "png", 10, 7, 0x11AA55));
    const std::string saved = folder + "saved.qzr";
    Pictures().SavePicture(*loaded, saved);
    EXPECT_EQ(ReadBytes(saved), QtBitmapBytes(ImageOf(*loaded)));

    Pictures().SavePicture(*test::MakePicture(3, 3), saved);  // replaces the earlier file
    EXPECT_EQ(Pictures().LoadPicture(saved)->PixelWidth(), 3);
    EXPECT_THROW(Pictures().SavePicture(Picture(), folder + "empty.bmp"), Error);
    EXPECT_FALSE(LocalFileSystem().FileExists(folder + "empty.bmp"));
    const std::string nowhere = folder + "no/such/folder.bmp";
    EXPECT_NE(ErrorOf([&] { Pictures().SavePicture(*loaded, nowhere); }).find("No such file"),
              std::string::npos);
    EXPECT_THROW(Pictures().SavePicture(*loaded, "/dev/full"), Error);

    // Bitmaps of the layout the store writes go through a quick path of our own; Qt's codec is
    // the reference for every byte and pixel, at widths with every row padding.
    for (int width : {1, 2, 3, 4, 5, 593}) {
        SCOPED_TRACE(width);
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 37, y * 91, x ^ (y * 5)));
        image.setDotsPerMeterX(2835 + width);
        image.setDotsPerMeterY(4000);
        ASSERT_EQ(SavedBytes(image, folder + "plain.bmp"), QtBitmapBytes(image));
        const PicturePtr picture = Pictures().LoadPicture(folder + "plain.bmp");
        EXPECT_EQ(ImageOf(*picture), image);
        EXPECT_EQ(ImageOf(*picture).dotsPerMeterX(), 2835 + width);
        EXPECT_EQ(ImageOf(*picture).dotsPerMeterY(), 4000);
    }

    // What the quick path leaves to Qt: top-down rows, a cut-off pixel area, alpha.
    Bytes topDown = ReadBytes(test::WriteImageFile(folder, "base.bmp", "bmp", 6, 4, 0x0AC81E));
    const Bytes plain = topDown;
    for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<std::uint8_t>(-4u >> (8 * i));
    EXPECT_EQ(test::PixelAt(*Pictures().LoadPicture(Write(folder + "top.bmp", topDown)), 5, 0),
              0x0AC81Eu);
    EXPECT_NE(
        test::PictureLoadError(Write(folder + "short.bmp", Bytes(plain.begin(), plain.end() - 5))),
        "");
    QImage alpha(3, 2, QImage::Format_ARGB32);
    alpha.fill(qRgba(1, 2, 3, 128));
    EXPECT_EQ(SavedBytes(alpha, folder + "alpha.bmp"), QtBitmapBytes(alpha));
}

// Bytes given in pieces of any size read as the same bytes given whole, bitmap or not.
TEST(Picture, PiecesReadAsTheWholeBytes) {
    const std::string folder = test::TempFolder();
    QImage image(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) image.setPixel(x, y, qRgb(x * 30, y * 50, 7));
    const Bytes plain = SavedBytes(image, folder + "plain.bmp");
    const Bytes png = ReadBytes(test::WriteImageFile(folder, "p.png", "png", 9, 4, 0x123456));

    const auto readInPieces = [](const Bytes& bytes, std::size_t pieceSize) {
        std::unique_ptr<PictureReader> reader = Pictures().ReadPicture("in test");
        for (std::size_t at = 0; at < bytes.size(); at += pieceSize)
            reader->Add(bytes.data() + at, std::min(pieceSize, bytes.size() - at));
        return reader->Finish();
    };
    for (std::size_t pieceSize : {1, 13, 53, 54, 55, 16384}) {
        EXPECT_EQ(ImageOf(*readInPieces(plain, pieceSize)), image) << pieceSize;
        EXPECT_EQ(ImageOf(*readInPieces(png, pieceSize)),
                  ImageOf(*Pictures().LoadPictureData(png, "whole")))
            << pieceSize;
    }

    // Bytes after the last row change nothing; missing ones are reported, not guessed.
    Bytes longer = plain;
    longer.insert(longer.end(), 100, 0xEE);
    EXPECT_EQ(ImageOf(*readInPieces(longer, 40)), image);
    EXPECT_EQ(ErrorOf([&] { readInPieces(Bytes(plain.begin(), plain.end() - 3), 40); }),
              "cannot read picture in test: the file is truncated");
    EXPECT_THROW(readInPieces(Bytes(plain.begin(), plain.begin() + 20), 7), Error);
}

// Without an application the boxes answer as if cancelled and the clipboard stays empty; with
// one, the clipboard carries pictures.
TEST(Interaction, HarmlessWithoutAnApplicationAndTheClipboardCarriesPicturesWithOne) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    const Services& services = DefaultServices();
    EXPECT_EQ(services.interaction->MsgBox("Save changes?", 35, "Changes Not Saved"), vbCancel);
    EXPECT_EQ(services.interaction->MsgBox("Done", vbOKOnly), vbOK);
    services.interaction->DoEvents();
    services.clipboard->SetData(*test::MakePicture(2, 2));
    EXPECT_TRUE(services.clipboard->GetData()->IsEmpty());
    EXPECT_EQ(services.files, &LocalFileSystem());

    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    services.clipboard->Clear();
    EXPECT_TRUE(services.clipboard->GetData()->IsEmpty());
    services.clipboard->SetData(*test::MakePicture(12, 5, 0x804020));
    const PicturePtr pasted = services.clipboard->GetData();
    ASSERT_FALSE(pasted->IsEmpty());
    EXPECT_EQ(pasted->PixelHeight(), 5);
    EXPECT_EQ(test::PixelAt(*pasted, 11, 4), 0x804020u);
    services.interaction->DoEvents();
}

}  // namespace
}  // namespace kelvo
