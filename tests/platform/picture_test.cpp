// Loading every picture kind from real files (metafiles at their size at 96 dpi), refusing
// cut-off, corrupt and absurd ones, and saving as bitmaps.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QImageWriter>
#include <set>

#include "platform/files/files.h"
#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

using test::ErrorOf;

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

// What Qt's own codec writes for `image` as a bitmap.
Bytes QtBitmapBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    return Bytes(bytes.begin(), bytes.end());
}

struct Kind {
    std::string path;
    int width, height, tolerance;
    std::uint32_t middle = 0x3366CC, corners = 0x3366CC;
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
    EXPECT_NE(EmptyPicture(), empty);
    for (const PicturePtr& none : {empty, Pictures().LoadPicture(""), PictureFromImage(QImage())})
        EXPECT_EQ(
            std::tuple(none->IsEmpty(), none->PixelWidth(), none->PixelHeight(), none->Handle()),
            std::tuple(true, 0, 0, 0));

    // Metafiles draw at their own size at 96 dpi (a plain one has none of its own), with a
    // 3-pixel line through the middle row; the Windows one leaves its corners white.
    const std::string folder = test::TempFolder();
    const Bytes placeable = ReadBytes(test::SampleFile("lined.wmf"));
    const std::string plain =
        Write(folder + "plain.wmf", Bytes(placeable.begin() + 22, placeable.end()));
    std::vector<Kind> kinds = EveryRasterKind(folder);
    kinds.insert(kinds.end(), {{test::SampleFile("lined.wmf"), 120, 80, 0, 0xCC0000, 0xFFFFFF},
                               {plain, 164, 108, 0, 0xCC0000, 0xFFFFFF},
                               {test::SampleFile("lined.emf"), 120, 80, 0, 0xCC0000}});
    std::set<std::int64_t> handles{0};  // with the handle of no picture
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.path);
        // Named as a JPEG whatever it holds: the kind is read from the content.
        const PicturePtr picture =
            Pictures().LoadPicture(Write(folder + "copy.jpg", ReadBytes(kind.path)));
        ASSERT_FALSE(picture->IsEmpty());
        const int w = kind.width, h = kind.height;
        EXPECT_EQ(std::pair(picture->PixelWidth(), picture->PixelHeight()), std::pair(w, h));
        for (auto [x, y, rgb] : {std::tuple{0, 0, kind.corners},
                                 {w - 1, h - 1, kind.corners},
                                 {w / 2, h / 4, 0x3366CCu},
                                 {w / 4, 3 * h / 4, 0x3366CCu},
                                 {w / 2, h / 2, kind.middle}}) {
            const std::uint32_t pixel = test::PixelAt(*picture, x, y);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(rgb >> shift & 0xFF, pixel >> shift & 0xFF, kind.tolerance);
        }
        handles.insert(picture->Handle());
    }
    EXPECT_EQ(handles.size(), kinds.size() + 1);
    // Qt's fonts abort the process without a GUI application; such text is left out then.
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    PicturePtr picture = Pictures().LoadPicture(test::SampleFile("text.emf"));
    EXPECT_EQ(picture->PixelWidth(), 60);
    EXPECT_EQ(test::PixelAt(*picture, 50, 35), 0x3366CCu);
}

TEST(Picture, RefusesMissingCutCorruptAndAbsurdFiles) {
    const std::string folder = test::TempFolder();
    const auto expectRefused = [](const std::string& path, const std::string& error) {
        const std::string said = test::PictureLoadError(path);
        EXPECT_EQ(said.rfind("cannot read picture file " + path + ": ", 0), 0u) << said;
        EXPECT_NE(said.find(error), std::string::npos) << said;
    };
    expectRefused(folder + "missing.bmp", ": file not found");
    expectRefused(folder, ": it is a folder");
    expectRefused(Write(folder + "text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'}), "");

    for (const Kind& kind : EveryRasterKind(folder)) {
        SCOPED_TRACE(kind.path);
        const Bytes whole = ReadBytes(kind.path);
        for (std::size_t thirds : {0, 1, 2})
            expectRefused(Write(folder + "cut",
                                Bytes(whole.begin(), whole.begin() + whole.size() * thirds / 3)),
                          "");
    }
    for (const char* name : {"lined.wmf", "lined.emf"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadBytes(test::SampleFile(name));
        for (std::size_t keep :
             {std::size_t{3}, std::size_t{30}, whole.size() / 2, whole.size() - 2})
            expectRefused(Write(folder + "cut", Bytes(whole.begin(), whole.begin() + keep)), "");
        Bytes corrupt = whole;
        for (std::size_t at = corrupt.size() / 2; at < corrupt.size(); at += 7) corrupt[at] ^= 0xFF;
        expectRefused(Write(folder + "corrupt", corrupt), "");
    }
    // Headers claiming 40000 x 40000 pixels, 30000 x 30000 units at 1 unit an inch, 5000 x 5000
    // pixels, a 6 x 4 drawing stretched to 112 x 28000 pixels, a record of 3 GB, a frame of 10 km.
    for (auto [name, error] : {std::pair{"absurd-size.bmp", "too large"},
                               {"absurd-size.png", ": declared size 40000x40000 is too large"},
                               {"absurd-units.wmf", "out of range"},
                               {"absurd-size.wmf", "declared size 5000x5000 is out of range"},
                               {"absurd-stretch.wmf", "the drawing is too complex to show"},
                               {"absurd-record.wmf", "the file is corrupt"},
                               {"absurd-frame.emf", "out of range"}})
        expectRefused(test::SampleFile(name), error);
}

// Bytes given in pieces of any size read as the same bytes given whole, bitmap or not.
PicturePtr ReadInPieces(const Bytes& bytes, std::size_t pieceSize) {
    std::unique_ptr<PictureReader> reader = Pictures().ReadPicture("in test");
    for (std::size_t at = 0; at < bytes.size(); at += pieceSize)
        reader->Add(bytes.data() + at, std::min(pieceSize, bytes.size() - at));
    return reader->Finish();
}

TEST(Picture, SavesUncompressedBitmapsAsQtsOwnCodecDoesAndReadsThemWholeOrInPieces) {
    const std::string folder = test::TempFolder();
    const std::string saved = folder + "saved.qzr";
    PicturePtr loaded;
    for (const std::string& source : {test::WriteImageFile(folder, "p.png", "png", 10, 7, 0x11AA55),
                                      test::SampleFile("lined.emf")}) {
        loaded = Pictures().LoadPicture(source);
        Pictures().SavePicture(*loaded, saved);
        EXPECT_EQ(ReadBytes(saved), QtBitmapBytes(ImageOf(*loaded))) << source;
    }

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
    Bytes plain;
    for (int width : {1, 2, 3, 4, 5, 593}) {
        SCOPED_TRACE(width);
        QImage image(width, 3, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < width; ++x) image.setPixel(x, y, qRgb(x * 37, y * 91, x ^ (y * 5)));
        image.setDotsPerMeterX(2835 + width);
        image.setDotsPerMeterY(4000);
        Pictures().SavePicture(*PictureFromImage(image), folder + "plain.bmp");
        plain = ReadBytes(folder + "plain.bmp");
        ASSERT_EQ(plain, QtBitmapBytes(image));
        const QImage loaded = ImageOf(*Pictures().LoadPicture(folder + "plain.bmp"));
        EXPECT_EQ(std::tuple(loaded, loaded.dotsPerMeterX(), loaded.dotsPerMeterY()),
                  std::tuple(image, 2835 + width, 4000));
        for (std::size_t pieceSize : {1, 13, 53, 54, 55, 16384})
            EXPECT_EQ(ImageOf(*ReadInPieces(plain, pieceSize)), image) << pieceSize;
    }
    const Bytes png = ReadBytes(test::WriteImageFile(folder, "p.png", "png", 9, 4, 0x123456));
    for (std::size_t pieceSize : {1, 13, 53, 54, 55, 16384})
        EXPECT_EQ(ImageOf(*ReadInPieces(png, pieceSize)),
                  ImageOf(*Pictures().LoadPictureData(png, "whole")))
            << pieceSize;
    // Bytes after the last row change nothing; missing ones are reported, not guessed.
    Bytes longer = plain;
    longer.insert(longer.end(), 100, 0xEE);
    EXPECT_EQ(ImageOf(*ReadInPieces(longer, 40)), ImageOf(*ReadInPieces(plain, 40)));
    EXPECT_EQ(ErrorOf([&] { ReadInPieces(Bytes(plain.begin(), plain.end() - 3), 40); }),
              "cannot read picture in test: the file is truncated");
    EXPECT_THROW(ReadInPieces(Bytes(plain.begin(), plain.begin() + 20), 7), Error);

    // What the quick path leaves to Qt: top-down rows, a cut-off pixel area, alpha.
    Bytes topDown = ReadBytes(test::WriteImageFile(folder, "base.bmp", "bmp", 6, 4, 0x0AC81E));
    EXPECT_NE(test::PictureLoadError(
                  Write(folder + "short.bmp", Bytes(topDown.begin(), topDown.end() - 5))),
              "");
    for (int i = 0; i < 4; ++i) topDown[22 + i] = static_cast<std::uint8_t>(-4u >> (8 * i));
    EXPECT_EQ(test::PixelAt(*Pictures().LoadPicture(Write(folder + "top.bmp", topDown)), 5, 0),
              0x0AC81Eu);
    QImage alpha(3, 2, QImage::Format_ARGB32);
    alpha.fill(qRgba(1, 2, 3, 128));
    Pictures().SavePicture(*PictureFromImage(alpha), folder + "alpha.bmp");
    EXPECT_EQ(ReadBytes(folder + "alpha.bmp"), QtBitmapBytes(alpha));
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
