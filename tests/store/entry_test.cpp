// GetPhoto and EditPhoto, and the photo reading they rely on in file mode.
#include <array>
#include <map>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class EntryTest : public PhotoTest {
  protected:
    void TearDown() override {
        CPicture::SetPhotoEditorLauncher(nullptr);
        PhotoTest::TearDown();
    }
};

// GetPhoto gives the default photo or the first; an owner without rows gets one, and a
// failure an empty picture.
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
    EXPECT_TRUE(newStore()->GetPhoto("CUST", "NEW", db->connection())->IsEmpty());
    EXPECT_EQ(columnOf("NEW", "-", "COMMENTS").toText(), "-");

    auto closed = db->OpenAnother();
    closed->Close();
    PicturePtr photo = store->GetPhoto("CUST", "A1", closed);
    ASSERT_NE(photo, nullptr);
    EXPECT_TRUE(photo->IsEmpty());
    EXPECT_EQ(events.count("TableError: "), 1);

    // A recordset handed in without a connection loads the texts without photos.
    auto rs = std::make_shared<Recordset>();
    rs->ActiveConnection(db->connection());
    rs->Source(Selection{"PHOTOS", {{"CODE", "A1"}}, ""});
    rs->Open();
    store = newStore();
    store->Init("", "", "", rs);
    store->FirstRecord();
    EXPECT_FALSE(store->PhotoDescription().empty());
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
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

TEST_P(EntryTest, FileModeShowsEachRowsOwnFileAndTheOwnersFirstOnlyWithout) {
    // Owners whose codes start alike (A1, A10, A1_Back) must not lend each other photos.
    const std::vector<std::array<std::string, 3>> files = {
        {"A1", "Back", "A1_Back_CUST.qzr"},
        {"A1", "Front", "A1_Front_CUST.qzr"},
        {"A10", "Back", "A10_Back_CUST.qzr"},
        {"A1_Back", "Back", "A1%5FBack_Back_CUST.qzr"}};
    LocalFileSystem().CreateFolder(app + "KelvPhotos");
    std::map<std::string, Bytes> shown;  // "code/description" -> the bitmap the row shows
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& [code, description, name] = files[i];
        addRow(code, description, "CUST", description == "Front");
        PicturePtr photo = MakePicture(3, 3, 0x100000 * static_cast<std::uint32_t>(i + 1));
        qtPictures->SavePicture(*photo, photosFolder() + name);
        shown[code + "/" + description] = bitmapOf(*photo);
    }
    addRow("A1", "Side", "CUST");  // no file of its own
    shown["A1/Side"] = shown["A1/Back"];

    auto store = newStore(true);
    EXPECT_EQ(bitmapOf(*store->GetPhoto("CUST", "A1", db->connection())), shown["A1/Front"])
        << "the default photo, not the owner's first file";
    for (const std::string code : {"A1", "A10", "A1_Back"}) {
        store->Init(code, "CUST", "", nullptr, db->connection());
        store->FirstRecord();
        for (; !store->RecordEOF(); store->NextRecord())
            EXPECT_EQ(bitmapOf(*store->OwnerPhoto()), shown[code + "/" + store->PhotoDescription()])
                << code << " " << store->PhotoDescription();
    }
    EXPECT_EQ(events.matching("Error"), Lines{});
}

INSTANTIATE_TEST_SUITE_P(Backends, EntryTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
