// Windows and enhanced metafiles made here: their size at 96 dpi, their colours, and the
// errors for cut-off, corrupt and absurd files.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <random>
#include <tuple>
#include <utility>

#include "platform/files/files.h"
#include "platform/ui/interaction.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

PictureService& Pictures() {
    return *DefaultServices().pictures;
}

std::string Write(const std::string& folder, const std::string& name, const Bytes& bytes) {
    LocalFileSystem().WriteAll(folder + name, bytes);
    return folder + name;
}

TEST(Metafile, DrawsAtItsOwnSize) {
    std::string folder = test::TempFolder();
    Bytes placeable = test::MetafileBytes("wmf", 120, 80, 0x3366CC, 0xCC0000);
    Bytes plain(placeable.begin() + 22, placeable.end());  // without the placeable header
    struct Case {
        const char* name;
        Bytes bytes;
    };
    for (const Case& c :
         {Case{"placeable.wmf", placeable}, Case{"plain.wmf", plain},
          Case{"enhanced.emf", test::MetafileBytes("emf", 120, 80, 0x3366CC, 0xCC0000)},
          Case{"enhanced.jpg", test::MetafileBytes("emf", 120, 80, 0x3366CC, 0xCC0000)}}) {
        SCOPED_TRACE(c.name);
        PicturePtr picture = Pictures().LoadPicture(Write(folder, c.name, c.bytes));
        ASSERT_FALSE(picture->IsEmpty());
        if (std::string(c.name) != "plain.wmf") {  // a plain file has no size of its own
            EXPECT_EQ(picture->PixelWidth(), 120);
            EXPECT_EQ(picture->PixelHeight(), 80);
        }
        int w = picture->PixelWidth(), h = picture->PixelHeight();
        EXPECT_EQ(test::PixelAt(*picture, w / 2, h / 4), 0x3366CCu);
        EXPECT_EQ(test::PixelAt(*picture, w / 4, 3 * h / 4), 0x3366CCu);
        EXPECT_EQ(test::PixelAt(*picture, w / 2, h / 2), 0xCC0000u);
    }
    std::string written = test::WriteImageFile(folder, "filled.emf", "emf", 64, 48, 0x00FF00);
    PicturePtr filled = Pictures().LoadPicture(written);
    EXPECT_EQ(filled->PixelWidth(), 64);
    EXPECT_EQ(test::PixelAt(*filled, 32, 24), 0x00FF00u);

    // Saved as a bitmap like any other picture.
    Pictures().SavePicture(*filled, folder + "filled.bmp");
    EXPECT_EQ(LocalFileSystem().FileLength(folder + "filled.bmp"), 54 + 64 * 3 * 48);
}

void Put32At(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// An enhanced metafile that also writes the text "Hi" (EMR_EXTTEXTOUTW) before its end.
Bytes EnhancedWithText() {
    Bytes emf = test::MetafileBytes("emf", 60, 40, 0x3366CC);
    Bytes text(88, 0);
    Put32At(text, 0, 84);
    Put32At(text, 4, 88);
    Put32At(text, 24, 1);            // graphics mode
    Put32At(text, 36, 5);            // reference point x
    Put32At(text, 40, 20);           // y
    Put32At(text, 44, 2);            // characters
    Put32At(text, 48, 76);           // string offset
    Put32At(text, 72, 80);           // spacing offset
    text[76] = 'H', text[78] = 'i';  // UTF-16
    Put32At(text, 80, 8);
    Put32At(text, 84, 8);
    emf.insert(emf.end() - 20, text.begin(), text.end());
    Put32At(emf, 48, static_cast<std::uint32_t>(emf.size()));
    Put32At(emf, 52, emf[52] + 1u);
    return emf;
}

TEST(Metafile, TextNeedsNoApplication) {
    // Qt's fonts abort the process without a GUI application; such text is left out then.
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    std::string folder = test::TempFolder();
    PicturePtr picture = Pictures().LoadPicture(Write(folder, "text.emf", EnhancedWithText()));
    EXPECT_EQ(picture->PixelWidth(), 60);
    EXPECT_EQ(test::PixelAt(*picture, 50, 35), 0x3366CCu);
}

TEST(Metafile, RefusesCutCorruptAndAbsurdFiles) {
    std::string folder = test::TempFolder();
    for (const char* kind : {"wmf", "emf"}) {
        SCOPED_TRACE(kind);
        Bytes whole = test::MetafileBytes(kind, 50, 40, 0x3366CC, 0xCC0000);
        for (std::size_t keep :
             {std::size_t{3}, std::size_t{30}, whole.size() / 2, whole.size() - 2}) {
            Bytes cut(whole.begin(), whole.begin() + static_cast<long>(keep));
            std::string path = Write(folder, std::string("cut.") + kind, cut);
            EXPECT_EQ(
                test::PictureLoadError(path).rfind("cannot read picture file " + path + ": ", 0),
                0u)
                << keep << ": " << test::PictureLoadError(path);
        }
        Bytes corrupt = whole;
        for (std::size_t at = corrupt.size() / 2; at < corrupt.size(); at += 7) corrupt[at] ^= 0xFF;
        std::string path = Write(folder, std::string("corrupt.") + kind, corrupt);
        EXPECT_EQ(test::PictureLoadError(path).rfind("cannot read picture file " + path, 0), 0u);
    }

    // Placeable headers claiming 30000 x 30000 units at 1 unit an inch, 5000 x 5000 pixels,
    // and a 6 x 4 drawing (its outline one unit thick) stretched to 112 x 28000 pixels.
    for (const auto& [width, height, right, bottom, inch, error] :
         std::vector<std::tuple<int, int, unsigned, unsigned, unsigned, std::string>>{
             {50, 40, 30000, 30000, 1, "out of range"},
             {50, 40, 5000, 5000, 96, "declared size 5000x5000 is out of range"},
             {6, 4, 112, 28000, 96, "the drawing is too complex to show"}}) {
        Bytes placed = test::MetafileBytes("wmf", width, height, 0x3366CC);
        for (const auto& [at, value] : {std::pair{10u, right}, {12u, bottom}, {14u, inch}})
            placed[at] = value & 0xFF, placed[at + 1] = value >> 8;
        unsigned checksum = 0;
        for (std::size_t i = 0; i < 20; i += 2) checksum ^= placed[i] | placed[i + 1] << 8;
        placed[20] = checksum & 0xFF, placed[21] = checksum >> 8;
        std::string path = Write(folder, "placed.wmf", placed);
        EXPECT_NE(test::PictureLoadError(path).find(error), std::string::npos)
            << test::PictureLoadError(path);
    }

    // A header whose largest record is 3 GB long, in a file of a few hundred bytes.
    Bytes bigRecord = test::MetafileBytes("wmf", 50, 40, 0x3366CC);
    bigRecord[36] = 0x33, bigRecord[37] = 0x66;
    std::string bigRecordWmf = Write(folder, "big-record.wmf", bigRecord);
    EXPECT_EQ(test::PictureLoadError(bigRecordWmf),
              "cannot read picture file " + bigRecordWmf + ": the file is corrupt");

    // An enhanced header whose frame spans 10 km.
    Bytes hugeEmf = test::MetafileBytes("emf", 50, 40, 0x3366CC);
    for (std::size_t at : {32u, 36u})
        hugeEmf[at] = 0, hugeEmf[at + 1] = 0xE1, hugeEmf[at + 2] = 0xF5, hugeEmf[at + 3] = 0x05;
    std::string hugeEmfPath = Write(folder, "huge.emf", hugeEmf);
    EXPECT_NE(test::PictureLoadError(hugeEmfPath).find("out of range"), std::string::npos)
        << test::PictureLoadError(hugeEmfPath);
}

}  // namespace
}  // namespace kelvo

namespace kelvo {
namespace {

// Mangled files of every kind either load or fail with an Error; nothing crashes or hangs.
TEST(Metafile, SurvivesMangledFiles) {
    std::string folder = test::TempFolder();
    std::mt19937 random(20240611);
    std::vector<Bytes> originals{test::MetafileBytes("wmf", 40, 30, 0x3366CC, 0xCC0000),
                                 test::MetafileBytes("emf", 40, 30, 0x3366CC, 0xCC0000)};
    for (const char* format : {"bmp", "rle", "gif", "png", "ico"})
        originals.push_back(
            LocalFileSystem().ReadAll(test::WriteImageFile(folder, "o", format, 20, 10)));
    int loaded = 0, refused = 0;
    for (const Bytes& original : originals) {
        for (int round = 0; round < 150; ++round) {
            Bytes mangled = original;
            int changes = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < changes; ++i) {
                std::size_t at = random() % mangled.size();
                mangled[at] = static_cast<std::uint8_t>(round % 3 == 0 ? 0xFF : random());
            }
            if (round % 5 == 0) mangled.resize(random() % mangled.size() + 1);
            std::string path = Write(folder, "mangled", mangled);
            try {
                PicturePtr picture = Pictures().LoadPicture(path);
                EXPECT_GT(picture->PixelWidth(), 0);
                ++loaded;
            } catch (const Error& error) {
                EXPECT_EQ(std::string(error.what()).rfind("cannot read picture file " + path, 0),
                          0u);
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(loaded + refused, 150 * static_cast<int>(originals.size()));
}

}  // namespace
}  // namespace kelvo
