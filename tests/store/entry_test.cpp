// GetPhoto and EditPhoto, and the photo reading they rely on in file mode.
#include "store_fixture.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class EntryTest : public StoreTest {
  protected:
    void TearDown() override {
        CPicture::SetPhotoEditorLauncher(nullptr);
        StoreTest::TearDown();
    }
};

using Lines = std::vector<std::string>;

TEST_P(EntryTest, GetPhotoReturnsTheDefaultOrTheFirst) {
    PicturePtr a = MakePicture(4, 4, 0xAA0000), b = MakePicture(4, 4, 0x00BB00);
    addRow("A1", "A", "CUST", false, bitmapOf(*a));
    addRow("A1", "B", "CUST", true, bitmapOf(*b));
    addRow("B2", "A", "CUST", false, bitmapOf(*a));
    addRow("B2", "B", "CUST", false, bitmapOf(*b));
    auto store = newStore();
    EXPECT_EQ(bitmapOf(*store->GetPhoto("CUST", "A1", db->connection())), bitmapOf(*b));
    EXPECT_EQ(store->PhotoDescription(), "B");
    EXPECT_EQ(bitmapOf(*store->GetPhoto("CUST", "B2", db->connection())), bitmapOf(*a));
    EXPECT_EQ(events.lines, Lines{});
}

TEST_P(EntryTest, GetPhotoFailuresGiveAnEmptyPicture) {
    auto store = newStore();
    auto closed = db->OpenAnother();
    closed->Close();
    PicturePtr photo = store->GetPhoto("CUST", "A1", closed);
    ASSERT_NE(photo, nullptr);
    EXPECT_TRUE(photo->IsEmpty());
    EXPECT_EQ(events.count("TableError: "), 1);

    events.clear();
    photo = store->GetPhoto("CUST", "NEW", db->connection());
    EXPECT_TRUE(photo->IsEmpty());
    EXPECT_EQ(rowCount("NEW", "CUST"), 1) << "an owner without rows gets one";
    EXPECT_EQ(columnOf("NEW", "-", "COMMENTS").toText(), "-");
}

TEST_P(EntryTest, EditPhotoNeedsAWindowAndReturnsWhatItLeft) {
    auto store = newStore();
    EXPECT_THROW(store->EditPhoto("CUST", "A1", "Alice", db->connection()), Error);

    PicturePtr chosen = MakePicture(5, 5);
    int shown = 0;
    CPicture::SetPhotoEditorLauncher([&](CPicture& objcPhoto) {
        ++shown;
        EXPECT_EQ(&objcPhoto, store.get());
        EXPECT_EQ(objcPhoto.PhotosOwnerName(), "Alice") << "Init ran first";
        objcPhoto.Photo(chosen);
        return &objcPhoto;
    });
    EXPECT_EQ(store->EditPhoto("CUST", "A1", "Alice", db->connection()), chosen);
    store->EditPhoto("CUST", "A1", "Alice", db->connection());
    EXPECT_EQ(shown, 2);
}

TEST_P(EntryTest, FileModeShowsTheOwnersFirstFile) {
    addRow("A1", "Front", "CUST");
    addRow("A1", "Back", "CUST");
    LocalFileSystem().CreateFolder(app + "KelvPhotos");
    PicturePtr back = MakePicture(3, 3, 0x0000AA), front = MakePicture(3, 3, 0xAA0000);
    qtPictures->SavePicture(*back, photosFolder() + "A1_Back_CUST.qzr");
    qtPictures->SavePicture(*front, photosFolder() + "A1_Front_CUST.qzr");
    auto store = newStore(true);
    store->Init("A1", "CUST", "", nullptr, db->connection());
    store->FirstRecord();
    while (!store->RecordEOF()) {
        EXPECT_EQ(bitmapOf(*store->OwnerPhoto()), bitmapOf(*back)) << store->PhotoDescription();
        store->NextRecord();
    }
    EXPECT_EQ(events.matching("Error"), Lines{});
}

TEST_P(EntryTest, RecordsetWithoutConnectionLoadsWithoutPhotos) {
    addRow("A1", "Front", "CUST", false, bitmapOf(*MakePicture(3, 3)));
    auto rs = std::make_shared<Recordset>();
    rs->ActiveConnection(db->connection());
    rs->Source(Selection{"PHOTOS", {}, ""});
    rs->Open();
    auto store = newStore();
    store->Init("", "", "", rs);
    store->FirstRecord();
    EXPECT_EQ(store->PhotoDescription(), "Front");
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    EXPECT_EQ(events.matching("Error"), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Backends, EntryTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
