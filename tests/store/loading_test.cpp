// LoadData, SearchForRecord and the existence checks on the owner's rows.
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class LoadingTest : public PhotoTest {};

// The default photo is the first flagged row; a Null flag reads as false; converting stays.
TEST_P(LoadingTest, DefaultPhotoIsTheFirstFlaggedRow) {
    for (const char* code : {"A1", "B2"}) {
        addRow(code, "One", "CUST", false);
        addRow(code, "Two", "CUST", code[0] == 'A');
        addRow(code, "Three", "CUST", false);
    }
    addRow("C3", "Only", "CUST", Variant());
    for (const auto& [code, description, flagged] :
         {std::tuple{"A1", "Two", true}, {"B2", "One", false}, {"C3", "Only", false}}) {
        auto store = initStore(false, code);
        store->DefaultPhoto(true);
        store->LoadData(true, false);
        EXPECT_EQ(store->PhotoDescription(), description);
        EXPECT_EQ(store->DefaultPhoto(), flagged) << code;
    }
    auto store = initStore();  // on the last row
    store->LoadData(true, true);
    EXPECT_FALSE(store->DefaultPhoto());
    EXPECT_EQ(store->PhotoDescription(), "Three");
    EXPECT_EQ(events.lines, Lines{});
}

// Null columns read empty, unnamed ones are left alone; an empty set gets a row of dashes;
// a failing column is reported and the others are still read.
TEST_P(LoadingTest, NullColumnsEmptySetsAndFailuresLoadWhatTheyCan) {
    db->connection()->Execute("INSERT INTO PHOTOS (CODE, GRP) VALUES ('A1', 'CUST')");
    auto store = initStore();
    store->PhotoComments("old comments");
    store->OwnerCommentsField = "";
    store->PhotoDescription("old");
    events.clear();
    store->LoadData();
    EXPECT_EQ(store->PhotoDescription(), "");
    EXPECT_EQ(store->PhotoComments(), "old comments");
    EXPECT_EQ(store->PhotoCode(), "A1");
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    EXPECT_EQ(events.lines, Lines{}) << "no event when all goes well";

    store = initStore(false, "N1");
    store->LoadData();
    EXPECT_EQ(columnOf("N1", "-", "COMMENTS").toText(), "-");
    EXPECT_EQ(store->PhotoDescription(), "-");
    EXPECT_EQ(events.lines, (Lines{"RecordPosition 1/1", "IsLastRecord 1"}));

    events.clear();
    store->OwnerCommentsField = "NO_SUCH_COLUMN";
    store->LoadData();
    EXPECT_EQ(events.count("ErrorDescrption: "), 1);
    EXPECT_EQ(store->PhotoDescription(), "-") << "the other columns are still read";
    events.clear();
    newStore()->LoadData();  // no record set: each step reports
    EXPECT_GE(events.count("ErrorDescrption: "), 5);
}

TEST_P(LoadingTest, ColumnPhotosNeedNoScratchFilesAndBadOnesAreReported) {
    const Bytes good = bitmapOf(*MakePicture(6, 4, 0x00AA00));
    addRow("A1", "Good", "CUST", false, good);
    addRow("A1", "Cut", "CUST", false, Bytes(good.begin(), good.begin() + 40));
    addRow("A1", "Text", "CUST", false, Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'});
    files.FailWritesUnder(tmp);
    auto store = initStore();
    store->SearchForRecord("", "Good");
    EXPECT_EQ(PixelAt(*store->OwnerPhoto(), 5, 3), 0x00AA00u);
    EXPECT_EQ(events.errors(), Lines{});
    for (const char* bad : {"Cut", "Text"}) {
        events.clear();
        store->SearchForRecord("", bad);
        EXPECT_EQ(store->PhotoDescription(), bad);
        EXPECT_TRUE(store->OwnerPhoto()->IsEmpty()) << bad;
        ASSERT_EQ(events.errors().size(), 1u) << bad;
        EXPECT_NE(events.errors()[0].find("cannot read picture in column PIC: "),
                  std::string::npos);
    }

    // A walk for the texts alone reads the photo of the row last loaded once it is asked
    // for, and leaves the recordset where the walk did.
    events.clear();
    const int loads = pictures.loads;
    {
        const CPicture::PhotosOnDemand textsOnly(*store);
        for (const char* description : {"Good", "Cut", "Good", "None"})
            store->SearchForRecord("", description);
    }
    EXPECT_EQ(pictures.loads, loads);
    EXPECT_EQ(PixelAt(*store->OwnerPhoto(), 5, 3), 0x00AA00u);
    EXPECT_TRUE(store->m_rsPhotoDetails->EOF());
    EXPECT_EQ(events.errors(), Lines{});
}

// Values and column contents go through one case mapping, in every script; quotes are just
// characters.
TEST_P(LoadingTest, SearchAndChecksFoldCaseAlikeInEveryScript) {
    const std::vector<std::pair<std::string, std::string>> stored_typed{
        {"FRONT", "front"},    {"Side", "SIDE"},
        {"It's", "it's"},      {"It''s", "IT''S"},
        {"Straße", "STRASSE"}, {"Maß", "maß"},
        {"\uFB01sh", "FISH"},  {"İSTANBUL", "i\u0307stanbul"},
        {"Iğdır", "IĞDIR"},    {"φαΐ", "ΦΑΐ"},
        {"Οδός", "ΟΔΌΣ"},      {"Café", "CAFE\u0301"}};
    for (const auto& [stored, typed] : stored_typed) addRow("A1", stored, "CUST");
    addRow("A1", "Back", "STAFF");
    auto store = initStore();
    store->m_rsPhotoDetails->MoveLast();
    store->m_rsPhotoDetails->MoveNext();
    store->SearchForRecord("", "");
    EXPECT_EQ(events.lines, Lines{"RecordExists 0"});
    EXPECT_TRUE(store->m_rsPhotoDetails->EOF()) << "no search, no move";
    for (const auto& [stored, typed] : stored_typed) {
        events.clear();
        store->SearchForRecord(stored == "Side" ? "a1" : "", typed);
        store->CheckIfDescriptionExists(typed);
        EXPECT_EQ(events.lines, (Lines{"RecordExists 1", "DescriptionExists 1"})) << typed;
        EXPECT_EQ(store->PhotoDescription(), stored);
    }
    events.clear();
    store->SearchForRecord("", "Back");
    EXPECT_EQ(store->PhotoDescription(), "Café") << "a failed search keeps the loaded row";
    EXPECT_TRUE(store->m_rsPhotoDetails->EOF());
    store->SearchForRecord("B2", "Side");
    store->SearchForRecord("a1", "");
    store->CheckIfDescriptionExists("Strase");
    store->CheckIfDescriptionExists("Back");
    EXPECT_EQ(events.lines, (Lines{"RecordExists 0", "RecordExists 0", "RecordExists 1",
                                   "DescriptionExists 0", "DescriptionExists 0"}));
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 12) << "the filter is cleared";
    EXPECT_FALSE(store->m_rsPhotoDetails->BOF()) << "the set stands on its first row";

    addRow("123", "Front", "CUST");
    auto numbered = initStore(false, "123");
    for (const char* code : {"123", "124", "A1"}) numbered->CheckIfCodeExists(code);
    EXPECT_EQ(events.count("ErrorDescrption: "), 1) << "CODE=A1 is not a valid criterion";
    events.lines.pop_back();
    EXPECT_EQ(events.lines, (Lines{"CodeExists 1", "CodeExists 0"}));
    events.clear();

    auto empty = initStore(false, "ZZ");
    store->OwnerDescField = "";
    store->SearchForRecord("A1", "It's");
    empty->SearchForRecord("", "Front");
    newStore()->SearchForRecord("", "Front");
    newStore()->CheckIfCodeExists("1");
    newStore()->CheckIfDescriptionExists("x");
    EXPECT_EQ(events.lines, (Lines{"RecordExists 0", "RecordExists 0"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, LoadingTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
