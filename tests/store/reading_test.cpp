// Reading the owner's rows: LoadData, SearchForRecord and the existence checks; moving
// through the rows with their events, counters and end flags; GetPhoto and EditPhoto.
#include <array>
#include <map>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class ReadingTest : public PhotoTest {};

// The default photo is the first flagged row in the order rows were added, past ten rows too;
// a Null flag reads as false; converting stays.
TEST_P(ReadingTest, DefaultPhotoIsTheFirstFlaggedRow) {
    for (int i = 1; i <= 12; ++i) addRow("D4", "R" + std::to_string(i), "CUST", i == 2 || i == 11);
    for (const char* code : {"A1", "B2"}) {
        addRow(code, "One", "CUST", false);
        addRow(code, "Two", "CUST", code[0] == 'A');
        addRow(code, "Three", "CUST", false);
    }
    addRow("C3", "Only", "CUST", Variant());
    const std::tuple<const char*, const char*, bool> defaults[] = {
        {"A1", "Two", true}, {"B2", "One", false}, {"C3", "Only", false}, {"D4", "R2", true}};
    for (const auto& [code, description, flagged] : defaults) {
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
TEST_P(ReadingTest, NullColumnsEmptySetsAndFailuresLoadWhatTheyCan) {
    db->connection()->Execute("INSERT INTO PHOTOS (CODE, GRP) VALUES ('A1', 'CUST')");
    auto store = initStore();
    store->PhotoComments("old comments");
    store->OwnerCommentsField = "";
    store->PhotoDescription("old");
    events.clear();
    store->LoadData();
    EXPECT_EQ(store->PhotoDescription(), "");
    EXPECT_EQ(store->PhotoComments(), "old comments");
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

TEST_P(ReadingTest, ColumnPhotosNeedNoScratchFilesAndBadOnesAreReported) {
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
        EXPECT_EQ(events.errors().size(), 1u) << bad;
        EXPECT_EQ(events.count("ErrorDescrption: cannot read picture in column PIC: "), 1);
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
TEST_P(ReadingTest, SearchAndChecksFoldCaseAlikeInEveryScript) {
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

    initStore(false, "ZZ")->SearchForRecord("", "Front");
    store->OwnerDescField = "";
    store->SearchForRecord("A1", "It's");
    newStore()->SearchForRecord("", "Front");
    newStore()->CheckIfCodeExists("1");
    newStore()->CheckIfDescriptionExists("x");
    EXPECT_EQ(events.lines, (Lines{"RecordExists 0", "RecordExists 0"}));
}

// Each move's events, then the end flags: arriving at the last row is not leaving the set,
// a move inside the set keeps the flags, and only the other end clears one.
TEST_P(ReadingTest, MovesReportPositionsAndEndsToHandlersThatWriteBack) {
    using Move = void (CPicture::*)();
    struct Step {
        Move move;
        Lines events;
        bool bof, eof;
    };
    const Move first = &CPicture::FirstRecord, next = &CPicture::NextRecord,
               previous = &CPicture::PreviousRecord, last = &CPicture::LastRecord;
    const std::vector<std::pair<int, std::vector<Step>>> walks = {
        {0,
         {{first, {}, false, true},
          {last, {}, false, true},
          {next, {}, false, true},
          {previous, {}, false, true}}},
        {1,
         {{first, {"RecordPosition 1/1", "IsFirstRecord 1"}, true, false},
          {next, {"IsLastRecord 1", "RecordPosition 1/1"}, false, true},
          {previous, {"IsFirstRecord 1", "RecordPosition 1/1"}, true, false}}},
        {3,
         {{first, {"RecordPosition 1/3", "IsFirstRecord 1"}, true, false},
          {next, {"RecordPosition 2/3"}, true, false},
          {next, {"RecordPosition 3/3"}, true, false},
          {next, {"IsLastRecord 1", "RecordPosition 3/3"}, false, true},
          {previous, {"RecordPosition 2/3"}, false, true},
          {last, {"RecordPosition 3/3", "IsLastRecord 1"}, false, true}}}};
    for (const auto& [rows, steps] : walks) {
        db->connection()->ExecuteDelete("PHOTOS", {});
        for (int i = 1; i <= rows; ++i) addRow("A1", "Photo" + std::to_string(i), "CUST");
        auto store = initStore();
        store->RecordEOF(rows == 0);
        Lines seen;
        for (const Step& step : steps) {
            ((*store).*step.move)();
            EXPECT_EQ(std::tuple(events.take(), store->RecordBOF(), store->RecordEOF()),
                      std::tuple(step.events, step.bof, step.eof))
                << rows << " rows, step " << seen.size();
            seen.push_back(store->PhotoDescription());
        }
        if (rows != 3) continue;
        EXPECT_EQ(Lines(seen.begin() + 3, seen.end()), (Lines{seen[2], seen[1], seen[2]}));
        seen.resize(3);
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (Lines{"Photo1", "Photo2", "Photo3"})) << "each row once";
    }

    // Handlers write back; added rows are counted by LastRecord only.
    auto store = initStore();  // on the three rows of the last walk
    events.onPosition = [](std::int32_t& position, std::int32_t&) {
        if (position == 1) position = 10;
    };
    store->FirstRecord();
    events.onPosition = nullptr;
    store->NextRecord();
    EXPECT_EQ(events.take(),
              (Lines{"RecordPosition 1/3", "IsFirstRecord 1", "RecordPosition 11/3"}));
    events.onFirst = [](bool& flag) { flag = false; };
    store->FirstRecord();
    EXPECT_FALSE(store->RecordBOF());
    events.onLast = [](bool& flag) { flag = false; };
    store->LastRecord();
    EXPECT_FALSE(store->RecordEOF());

    events.onFirst = events.onLast = nullptr;
    store->PhotoDescription("Photo4");
    events.clear();
    store->SavePhotoDetails(true, false);
    EXPECT_EQ(events.take(), (Lines{"RecordPosition 4/4", "IsLastRecord 1"}));
    store->PreviousRecord();
    EXPECT_EQ(events.take(), Lines{"RecordPosition 3/3"});
}

// GetPhoto gives the default photo or the first; an owner without rows gets one, and a
// failure an empty picture.
TEST_P(ReadingTest, GetPhotoReturnsTheDefaultOrTheFirstAndEditPhotoNeedsAWindow) {
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
    auto closed = db->OpenAnother();
    closed->Close();
    EXPECT_TRUE(store->GetPhoto("CUST", "A1", closed)->IsEmpty());  // a failure: empty, not null

    store = newStore();
    store->Init("", "", "", OpenRows(db->connection(), {{"CODE", "A1"}}));
    store->FirstRecord();
    EXPECT_FALSE(store->PhotoDescription().empty());
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());

    // The window itself is the editor's to test; without one EditPhoto refuses.
    EXPECT_THROW(newStore()->EditPhoto("CUST", "A1", "Alice", db->connection()), Error);
}

TEST_P(ReadingTest, FileModeShowsEachRowsOwnFileAndTheOwnersFirstOnlyWithout) {
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

INSTANTIATE_TEST_SUITE_P(Backends, ReadingTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
