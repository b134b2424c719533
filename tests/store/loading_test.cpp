// LoadData, SearchForRecord and the existence checks on the owner's rows.
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class LoadingTest : public PhotoTest {
  protected:
    std::unique_ptr<CPicture> initStore(const std::string& code = "A1") {
        auto store = newStore();
        store->Init(code, "CUST", "", nullptr, db->connection());
        events.clear();
        return store;
    }
};

TEST_P(LoadingTest, DefaultPhotoIsTheFirstFlaggedRow) {
    addRow("A1", "One", "CUST", false);
    addRow("A1", "Two", "CUST", true);
    addRow("A1", "Three", "CUST", false);
    addRow("B2", "One", "CUST", false);
    addRow("B2", "Two", "CUST", false);
    addRow("C3", "Only", "CUST", Variant());

    auto store = initStore("A1");
    store->LoadData(true, false);
    EXPECT_EQ(store->PhotoDescription(), "Two");
    EXPECT_TRUE(store->DefaultPhoto());

    store = initStore("B2");
    store->LoadData(true, false);
    EXPECT_EQ(store->PhotoDescription(), "One");
    EXPECT_FALSE(store->DefaultPhoto());

    store = initStore("C3");
    store->DefaultPhoto(true);
    store->LoadData(true, false);
    EXPECT_EQ(store->PhotoDescription(), "Only");
    EXPECT_FALSE(store->DefaultPhoto()) << "a Null flag reads as false";
    EXPECT_EQ(events.lines, Lines{});
}

TEST_P(LoadingTest, ConvertingDoesNotMove) {
    addRow("A1", "One", "CUST", true);
    addRow("A1", "Two", "CUST", false);
    auto store = initStore();  // on the last row
    store->LoadData(true, true);
    EXPECT_FALSE(store->DefaultPhoto());
    EXPECT_EQ(store->PhotoDescription(), "Two");
}

TEST_P(LoadingTest, NullColumnsReadEmptyAndUnnamedColumnsAreLeftAlone) {
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
}

TEST_P(LoadingTest, EmptySetGetsARowOfDashes) {
    auto store = initStore("N1");
    store->LoadData();
    EXPECT_EQ(rowCount("N1", "CUST"), 1);
    EXPECT_EQ(columnOf("N1", "-", "COMMENTS").toText(), "-");
    EXPECT_EQ(store->PhotoDescription(), "-");
    EXPECT_EQ(events.lines, (Lines{"RecordPosition 1/1", "IsLastRecord 1"}));
}

TEST_P(LoadingTest, LoadFailuresAreReportedAndLoadingGoesOn) {
    addRow("A1", "One", "CUST");
    auto store = initStore();
    store->OwnerCommentsField = "NO_SUCH_COLUMN";
    store->LoadData();
    EXPECT_EQ(events.count("ErrorDescrption: "), 1);
    EXPECT_EQ(store->PhotoDescription(), "One") << "the other columns are still read";

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
    EXPECT_EQ(events.matching("ErrorDescrption"), std::vector<std::string>{});

    for (const char* bad : {"Cut", "Text"}) {
        events.clear();
        store->SearchForRecord("", bad);
        EXPECT_EQ(store->PhotoDescription(), bad);
        EXPECT_TRUE(store->OwnerPhoto()->IsEmpty()) << bad;
        const std::vector<std::string> errors = events.matching("ErrorDescrption");
        ASSERT_EQ(errors.size(), 1u) << bad;
        EXPECT_NE(errors[0].find("cannot read picture in column PIC: "), std::string::npos)
            << errors[0];
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
    EXPECT_EQ(events.matching("ErrorDescrption"), std::vector<std::string>{});
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
    store->CheckIfDescriptionExists("Cafe");
    EXPECT_EQ(events.lines, (Lines{"RecordExists 0", "RecordExists 0", "RecordExists 1",
                                   "DescriptionExists 0", "DescriptionExists 0"}));

    auto empty = initStore("ZZ");
    store->OwnerDescField = "";
    store->SearchForRecord("A1", "It's");
    empty->SearchForRecord("", "Front");
    newStore()->SearchForRecord("", "Front");
    EXPECT_EQ(events.lines, (Lines{"RecordExists 0", "RecordExists 0"}));
}

TEST_P(LoadingTest, ExistenceChecks) {
    addRow("123", "FRONT", "CUST");
    addRow("123", "Side", "CUST");
    addRow("123", "Back", "STAFF");
    auto store = initStore("123");
    store->NextRecord();
    store->CheckIfDescriptionExists("front");
    store->CheckIfDescriptionExists("Back");
    store->CheckIfCodeExists("123");
    store->CheckIfCodeExists("124");
    EXPECT_EQ(events.matching("DescriptionExists"),
              (Lines{"DescriptionExists 1", "DescriptionExists 0"}));
    EXPECT_EQ(events.matching("CodeExists"), (Lines{"CodeExists 1", "CodeExists 0"}));
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 2) << "the filter is cleared";
    EXPECT_FALSE(store->m_rsPhotoDetails->BOF()) << "the set stands on its first row";

    events.clear();
    store->CheckIfCodeExists("A1");
    ASSERT_EQ(events.lines.size(), 1u);
    EXPECT_EQ(events.count("ErrorDescrption: "), 1) << "CODE=A1 is not a valid criterion";

    events.clear();
    store->CheckIfDescriptionExists("It's");
    EXPECT_EQ(events.lines, Lines{"DescriptionExists 0"});

    events.clear();
    newStore()->CheckIfCodeExists("1");
    newStore()->CheckIfDescriptionExists("x");
    EXPECT_EQ(events.lines, Lines{});
}

INSTANTIATE_TEST_SUITE_P(Backends, LoadingTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
