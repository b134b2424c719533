// Windows and enhanced metafiles: their size at 96 dpi, their colours, and the errors for
// cut-off, corrupt and absurd files.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/files/files.h"
#include "platform/ui/interaction.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

PictureService& Pictures() {
    return *DefaultServices().pictures;
}

Bytes Sample(const std::string& name) {
    return LocalFileSystem().ReadAll(test::SampleFile(name));
}

std::string Write(const std::string& path, const Bytes& bytes) {
    LocalFileSystem().WriteAll(path, bytes);
    return path;
}

TEST(Metafile, DrawsAtItsOwnSizeTextAndAllWithoutAnApplication) {
    const std::string folder = test::TempFolder();
    const Bytes placeable = Sample("lined.wmf");
    for (auto [name, bytes] : {std::pair{"placeable.wmf", placeable},
                               {"plain.wmf", Bytes(placeable.begin() + 22, placeable.end())},
                               {"enhanced.emf", Sample("lined.emf")},
                               {"enhanced.jpg", Sample("lined.emf")}}) {
        SCOPED_TRACE(name);
        PicturePtr picture = Pictures().LoadPicture(Write(folder + name, bytes));
        ASSERT_FALSE(picture->IsEmpty());
        if (std::string(name) != "plain.wmf") {  // a plain file has no size of its own
            EXPECT_EQ(picture->PixelWidth(), 120);
            EXPECT_EQ(picture->PixelHeight(), 80);
        }
        const int w = picture->PixelWidth(), h = picture->PixelHeight();
        EXPECT_EQ(test::PixelAt(*picture, w / 2, h / 4), 0x3366CCu);
        EXPECT_EQ(test::PixelAt(*picture, w / 4, 3 * h / 4), 0x3366CCu);
        EXPECT_EQ(test::PixelAt(*picture, w / 2, h / 2), 0xCC0000u);
        Pictures().SavePicture(*picture, folder + "saved.bmp");  // like any other picture
        EXPECT_EQ(LocalFileSystem().FileLength(folder + "saved.bmp"), 54 + w * 3 * h);
    }
    // Qt's fonts abort the process without a GUI application; such text is left out then.
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    PicturePtr picture = Pictures().LoadPicture(test::SampleFile("text.emf"));
    EXPECT_EQ(picture->PixelWidth(), 60);
    EXPECT_EQ(test::PixelAt(*picture, 50, 35), 0x3366CCu);
}

TEST(Metafile, RefusesCutCorruptAndAbsurdFiles) {
    const std::string folder = test::TempFolder();
    const auto expectRefused = [](const std::string& path, const std::string& error) {
        const std::string said = test::PictureLoadError(path);
        EXPECT_EQ(said.rfind("cannot read picture file " + path + ": ", 0), 0u) << said;
        EXPECT_NE(said.find(error), std::string::npos) << said;
    };
    for (const char* name : {"lined.wmf", "lined.emf"}) {
        SCOPED_TRACE(name);
        const Bytes whole = Sample(name);
        for (std::size_t keep :
             {std::size_t{3}, std::size_t{30}, whole.size() / 2, whole.size() - 2})
            expectRefused(Write(folder + "cut", Bytes(whole.begin(), whole.begin() + keep)), "");
        Bytes corrupt = whole;
        for (std::size_t at = corrupt.size() / 2; at < corrupt.size(); at += 7) corrupt[at] ^= 0xFF;
        expectRefused(Write(folder + "corrupt", corrupt), "");
    }
    // Headers claiming 30000 x 30000 units at 1 unit an inch, 5000 x 5000 pixels, a 6 x 4
    // drawing stretched to 112 x 28000 pixels, a record of 3 GB, a frame of 10 km.
    for (auto [name, error] : {std::pair{"absurd-units.wmf", "out of range"},
                               {"absurd-size.wmf", "declared size 5000x5000 is out of range"},
                               {"absurd-stretch.wmf", "the drawing is too complex to show"},
                               {"absurd-record.wmf", "the file is corrupt"},
                               {"absurd-frame.emf", "out of range"}})
        expectRefused(test::SampleFile(name), error);
}

}  // namespace
}  // namespace kelvo
