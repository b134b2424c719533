// The store's properties, validation events and Init, on both back ends.
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

// Setters, the never-null photo and Init without a connection, before any database.
TEST(StoreState, PropertiesAndInitWithoutConnection) {
    PhotoEnv env;
    auto store = env.newStore();
    store->PhotosGroup("CUST");
    store->PhotoDescription("Front");
    store->PhotoCode("A1");
    store->PhotoCode("A1");
    store->PhotoDescription("");
    store->PhotosGroup("");  // a plain setter: no event
    EXPECT_EQ(env.events.lines, (Lines{"DataValidated 0 ''", "DataValidated 1 ''",
                                       "DataValidated 1 ''", "DataValidated 0 ''"}));

    ASSERT_NE(store->OwnerPhoto(), nullptr);
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    PicturePtr picture = MakePicture(4, 3);
    store->Photo(picture);
    EXPECT_EQ(store->OwnerPhoto(), picture);
    store->OwnerPhoto(nullptr);
    ASSERT_NE(store->Photo(), nullptr);
    EXPECT_TRUE(store->Photo()->IsEmpty());

    store->PhotoCode("OLD");
    store->Photo(MakePicture(2, 2));
    env.events.clear();
    store->Init("A1", "CUST", "Alice");
    ASSERT_EQ(env.events.lines.size(), 1u);
    EXPECT_GT(env.events.lines[0].size(), std::string("TableError: ").size());
    EXPECT_EQ(env.events.count("TableError: "), 1);
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    EXPECT_EQ(store->PhotoCode(), "A1");
    EXPECT_EQ(store->PhotosOwnerName(), "Alice");
    EXPECT_EQ(store->DBConnection(), nullptr);
}

class InitTest : public PhotoTest {};

// Init selects the owner's rows of the group and stands on the last; quotes in values are
// just values; an empty owner keeps the earlier total; a given recordset is used as it is.
TEST_P(InitTest, SelectsTheOwnersRowsOfTheGroupAndStandsOnTheLast) {
    addRow("A1", "Front", "CUST");
    addRow("A1", "Back", "CUST");
    addRow("A1", "Side", "STAFF");
    addRow("B2", "Front", "CUST");
    addRow("O'Neil", "Front", "CU'ST");
    auto store = newStore();
    store->PhotosOwnerName("kept");
    store->Init("O'Neil", "CU'ST", "", nullptr, db->connection());
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 1);
    store->Init("A1", "CUST", "", nullptr, db->connection());
    EXPECT_TRUE(events.lines.empty());
    EXPECT_EQ(store->DBConnection(), db->connection());
    EXPECT_EQ(store->PhotosOwnerName(), "kept");
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 2);
    EXPECT_FALSE(store->m_rsPhotoDetails->EOF());
    store->m_rsPhotoDetails->MoveNext();
    EXPECT_TRUE(store->m_rsPhotoDetails->EOF()) << "Init leaves the set on its last row";

    store->Init("ZZ", "CUST", "", nullptr, db->connection());
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 0);
    addRow("ZZ", "Only", "CUST");
    store->m_rsPhotoDetails->Requery();
    store->FirstRecord();
    EXPECT_EQ(events.matching("RecordPosition"), Lines{"RecordPosition 1/2"});

    auto rs = std::make_shared<Recordset>();
    rs->ActiveConnection(db->connection());
    rs->Source(Selection{"PHOTOS", {}, ""});
    rs->Open();
    store->Init("", "", "", rs, nullptr);
    EXPECT_EQ(store->m_rsPhotoDetails, rs);
    EXPECT_EQ(store->DBConnection(), db->connection());
    EXPECT_EQ(store->PhotoCode(), "ZZ") << "an empty argument keeps the member";
    EXPECT_EQ(events.errors(), Lines{});
}

// A missing table or column, or a closed connection, is one TableError at Init with the
// database's text, and a host going on regardless adds no row.
TEST_P(InitTest, FailuresRaiseTableErrorWithTheDatabasesText) {
    for (std::string CPicture::*field :
         {&CPicture::TableName, &CPicture::OwnerIDField, &CPicture::OwnerDescField,
          &CPicture::OwnerCommentsField, &CPicture::OwnerDefaultPhotoField,
          &CPicture::OwnerPhotoField}) {
        auto mistyped = newStore(field == &CPicture::OwnerPhotoField);
        (*mistyped).*field = "PICTURE";
        events.clear();
        mistyped->Init("A1", "CUST", "", nullptr, db->connection());
        ASSERT_EQ(events.count("TableError: "), 1);
        EXPECT_EQ(events.lines.size(), 1u);
        if (field == &CPicture::TableName) {
            EXPECT_NE(events.lines[0].find("PICTURE"), std::string::npos) << events.lines[0];
        }
        mistyped->PhotoDescription("Front");
        mistyped->Photo(MakePicture(3, 3));
        mistyped->SavePhotoDetails(true, false);
        EXPECT_GE(events.count("ErrorDescrption: "), 1);
        EXPECT_EQ(rowCount("A1", "CUST"), 0);
    }
    events.clear();
    auto closed = db->OpenAnother();
    closed->Close();
    newStore()->Init("A1", "CUST", "", nullptr, closed);
    EXPECT_EQ(events.count("TableError: "), 1);
    EXPECT_EQ(events.lines.size(), 1u);
}

TEST_P(InitTest, SchemaQualifiedTablesHoldPhotosAndBadNamesAreRefused) {
    db->CreatePhotoTable("crm.PHOTOS");
    PicturePtr photo = MakePicture(5, 4, 0x445566);
    for (bool saveAsFile : {false, true}) {
        auto store = newStore(saveAsFile);
        store->TableName = "crm.PHOTOS";
        store->Init("A1", "CUST", "", nullptr, db->connection());
        store->PhotoDescription(saveAsFile ? "File" : "Column");
        store->Photo(photo);
        store->SavePhotoDetails(true, false);
        auto reader = newStore(saveAsFile);
        reader->TableName = "crm.PHOTOS";
        EXPECT_EQ(PixelAt(*reader->GetPhoto("CUST", "A1", db->connection()), 4, 3), 0x445566u);
    }
    EXPECT_EQ(events.count("TableError") + events.count("Error"), 0);
    EXPECT_EQ(rowCount("A1", "CUST"), 0) << "PHOTOS without its schema is another table";

    auto store = newStore();
    for (const char* bad : {"crm.", ".PHOTOS", "x.crm.PHOTOS", "crm.PHO\"TOS", "crm.NONE"}) {
        events.clear();
        store->TableName = bad;
        store->Init("A1", "CUST", "", nullptr, db->connection());
        EXPECT_EQ(events.count("TableError: "), 1) << bad;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, InitTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
