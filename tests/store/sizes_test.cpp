// Photo sizes in kilobytes, the PhotosMaxSize limit and temporary picture file names, under
// the C locale and under one whose decimal point is a comma.
#include "support/photo_env.h"
#include "support/scoped_locale.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class SizesTest : public testing::TestWithParam<std::string>, public PhotoEnv {
  protected:
    void SetUp() override {
        locale = std::make_unique<ScopedLocale>(GetParam());
        useFreshTmpdir();
        services.pictures = &patterns;
        store = newStore();
    }
    void TearDown() override { EXPECT_EQ(filesIn(tmp), Lines{}) << "temporary files left behind"; }
    // Init copies PhotosMaxSize; a handed-in recordset is enough for that.
    void initWithLimit(double kilobytes) {
        store->PhotosMaxSize = kilobytes;
        store->Init("A1", "CUST", "", std::make_shared<Recordset>());
        events.clear();
    }
    bool over(int bytes) {
        bool bSizeOver = false;
        store->VerifyPhotoSize(*MakePicture(bytes, 1), &bSizeOver);
        return bSizeOver;
    }

    std::unique_ptr<ScopedLocale> locale;
    PatternPictures patterns;
    std::unique_ptr<CPicture> store;
};

// Sizes are kilobytes with two decimals, or as few as needed; an unwritable temporary folder
// measures nothing and gives no temporary names, which are otherwise fresh.
TEST_P(SizesTest, SizeTextsBytesAndTempNames) {
    double dSize = -1;
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(2048, 1), &dSize), "2.00 KB");
    EXPECT_EQ(dSize, 2048);
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(1536, 1)), "1.50 KB");
    EXPECT_EQ(store->VerifyPhotoSize(*MakePicture(1536, 1)), "1.5");
    EXPECT_EQ(store->VerifyPhotoSize(*MakePicture(1024, 1)), "1");
    EXPECT_EQ(store->VerifyPhotoSize(*MakePicture(2048, 1)), "2");
    EXPECT_EQ(interaction.yields, 5) << "one yield per measurement";
    bool bSizeOver = true;
    EXPECT_EQ(store->CheckPicDiskSize(Picture(), &dSize), "0.00 KB");
    EXPECT_EQ(dSize, 0);
    EXPECT_EQ(store->VerifyPhotoSize(Picture(), &bSizeOver), "0");
    EXPECT_FALSE(bSizeOver);

    const std::string first = store->GetTempPixName(), second = store->GetTempPixName();
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(tmp + "Pix", 0), 0u) << name;
        EXPECT_FALSE(LocalFileSystem().FileExists(name));
    }
    files.FailWritesUnder(tmp);
    EXPECT_EQ(store->GetTempPixName(), "");
    dSize = -1;
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(2048, 1), &dSize), "0.00 KB");
    EXPECT_EQ(dSize, 0);
}

// The limit in force is the one Init saw, compared with the size rounded to kilobytes.
TEST_P(SizesTest, LimitSetAtInitComparesTheRoundedKilobytes) {
    initWithLimit(2);
    EXPECT_FALSE(over(2048));
    EXPECT_FALSE(over(2053)) << "2053 bytes read back as 2.00 KB";
    EXPECT_TRUE(over(2054));
    EXPECT_FALSE(over(0));

    initWithLimit(0);
    store->PhotosMaxSize = 1;
    EXPECT_FALSE(over(100000));
    initWithLimit(5);
    store->PhotosMaxSize = 0;
    EXPECT_TRUE(over(1024));
    EXPECT_FALSE(over(5)) << "0.00 KB is not more than 0";
}

INSTANTIATE_TEST_SUITE_P(Locales, SizesTest, testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) { return info.index == 0 ? "C" : "German"; });

TEST(StoreSizes, RealBitmapSizeIsMeasured) {
    PhotoEnv env;
    env.useFreshTmpdir();
    auto store = env.newStore();
    PicturePtr picture = MakePicture(40, 30);
    double dSize = 0;
    store->CheckPicDiskSize(*picture, &dSize);
    EXPECT_EQ(dSize, static_cast<double>(env.bitmapOf(*picture).size()));
    EXPECT_EQ(PhotoEnv::filesIn(env.tmp), Lines{});
    // Its length is known without writing it, so a full temporary folder does not hide it.
    env.files.FailWritesUnder(env.tmp);
    dSize = 0;
    store->CheckPicDiskSize(*picture, &dSize);
    EXPECT_EQ(dSize, static_cast<double>(env.bitmapOf(*picture).size()));
}

}  // namespace
}  // namespace kelvo::test
