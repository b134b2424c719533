// Saving photos into the column and into photo files: exact bytes, file names, replacement,
// and failures that lose nothing; deleting rows with their files, and the default marks.
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <fstream>

#include "store/store_internal.h"
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class WritingTest : public PhotoTest {
  protected:
    void saveNew(CPicture& store, const std::string& description, PicturePtr photo,
                 bool isDefault = false) {
        store.PhotoDescription(description);
        store.PhotoComments("comments of " + description);
        store.DefaultPhoto(isDefault);
        store.Photo(std::move(photo));
        store.SavePhotoDetails(true, false);
    }
    Bytes fileBytes(const std::string& name) {
        return LocalFileSystem().ReadAll(photosFolder() + name);
    }
    void writePhotoFiles(const Lines& names) {
        std::filesystem::create_directories(photosFolder());
        for (const std::string& name : names)
            qtPictures->SavePicture(*MakePicture(3, 3), photosFolder() + name);
    }
};

TEST_P(WritingTest, ColumnPhotosRoundTripByteForByteAcrossChunks) {
    PicturePtr photo = MakePicture(37, 21, 0x123456);
    saveNew(*initStore(), "Front", photo, true);
    EXPECT_EQ(pictures.loads, 0) << "the photo just written is not decoded again";
    const auto rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::tuple(rows[0].comments, rows[0].isDefault, rows[0].pic.bytes()),
              std::tuple("comments of Front", true, bitmapOf(*photo)));

    PatternPictures patterns;
    services.pictures = &patterns;
    for (int size : {1, 16383, 16384, 16385, 3 * 16384 + 5}) {
        const std::string code = "S" + std::to_string(size);
        saveNew(*initStore(false, code), "Exact", MakePicture(size, 1));
        EXPECT_EQ(columnOf(code, "Exact").bytes(), PatternPictures::PatternOf(size));
        EXPECT_EQ(newStore()->GetPhoto("CUST", code, db->connection())->PixelWidth(), size)
            << "read back whole";
    }
    EXPECT_EQ(events.errors(), Lines{});
}

// A replacement keeps the other rows; one without a current row adds a row, reporting it; an
// add while converting neither requeries nor moves; empty values are dashes; replacing by
// no photo clears it.
TEST_P(WritingTest, ReplacingKeepsTheOtherRows) {
    addRow("A1", "Front", "CUST", false, bitmapOf(*MakePicture(5, 5, 0xFF0000)));
    addRow("A1", "Side", "CUST", false, bitmapOf(*MakePicture(5, 5, 0x00FF00)));
    auto store = initStore();
    store->SearchForRecord("", "Front");
    store->PhotoComments("newer");
    store->Photo(MakePicture(8, 4, 0x0000FF));
    events.clear();
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(events.lines, Lines{}) << "a replacement moves nowhere";
    EXPECT_EQ(rowCount("A1", "CUST"), 2);
    EXPECT_EQ(columnOf("A1", "Front", "COMMENTS").toText(), "newer");
    EXPECT_EQ(columnOf("A1", "Front").bytes(), bitmapOf(*MakePicture(8, 4, 0x0000FF)));
    EXPECT_EQ(columnOf("A1", "Side").bytes(), bitmapOf(*MakePicture(5, 5, 0x00FF00)));

    store->m_rsPhotoDetails->MoveLast();
    store->m_rsPhotoDetails->MoveNext();
    store->PhotoDescription("Other");
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(events.count("ErrorDescrption: "), 1);
    EXPECT_EQ(rowCount("A1", "CUST"), 3);
    store = initStore();
    store->PhotoDescription("Two");
    events.clear();
    store->SavePhotoDetails(true, true);
    EXPECT_EQ(events.lines, Lines{});
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 4) << "the added row joined the set";

    for (const bool inFiles : {false, true}) {
        SCOPED_TRACE(inFiles ? "file mode" : "column mode");
        const std::string code = inFiles ? "F1" : "C1";
        store = initStore(inFiles, code);
        store->OwnerCommentsField = "";
        store->PhotoDescription("");
        store->SavePhotoDetails(true, false);
        EXPECT_EQ(columnOf(code, "-", "DESCR").toText(), "-");
        EXPECT_TRUE(columnOf(code, "-", "COMMENTS").isNull()) << "an unnamed column is left out";
        EXPECT_TRUE(columnOf(code, "-", "PIC").isNull()) << "an empty photo writes nothing";
        store->OwnerCommentsField = "COMMENTS";
        saveNew(*store, "Front", MakePicture(4, 4, 0x123456));
        saveNew(*store, "Back", MakePicture(4, 4, 0x654321));
        store->SearchForRecord("", "Front");
        store->Photo(nullptr);
        store->SavePhotoDetails(false, false);
        EXPECT_EQ(events.errors(), Lines{});
        EXPECT_TRUE(columnOf(code, "Front").isNull());
        store->SearchForRecord("", "Front");
        EXPECT_EQ(filesIn(photosFolder()), inFiles ? Lines{"F1_Back_CUST.qzr"} : Lines{});
        EXPECT_EQ(columnOf(code, "Back").isNull(), inFiles);
        EXPECT_EQ(store->OwnerPhoto()->IsEmpty(), !inFiles);
        EXPECT_TRUE(!inFiles || PixelAt(*store->OwnerPhoto(), 0, 0) == 0x654321u) << "its other";
    }
}

TEST_P(WritingTest, FileModeWritesTheNamedFileAndClearsTheColumn) {
    addRow("A1", "Front", "CUST", false, bitmapOf(*MakePicture(4, 4)));
    auto store = initStore(true);
    store->PhotosFolder = "";
    store->SearchForRecord("", "Front");
    EXPECT_EQ(store->PhotosFolder, photosFolder());
    EXPECT_EQ(filesIn(photosFolder()), Lines{"A1_Front_CUST.qzr"}) << "moved out on loading";
    EXPECT_EQ(columnOf("A1", "Front").type(), Variant::Type::Bytes) << "loading keeps the column";

    PicturePtr photo = MakePicture(9, 6, 0xABCDEF);
    int loads = pictures.loads;
    saveNew(*store, "Back", photo);
    EXPECT_EQ(events.errors(), Lines{});
    EXPECT_EQ(pictures.loads, loads) << "the file just written is not decoded again";
    EXPECT_EQ(PixelAt(*store->OwnerPhoto(), 8, 5), 0xABCDEFu);
    EXPECT_NE(store->OwnerPhoto()->Handle(), photo->Handle());
    EXPECT_EQ(fileBytes("A1_Back_CUST.qzr"), bitmapOf(*photo));
    EXPECT_TRUE(columnOf("A1", "Back").isNull());

    store->SearchForRecord("", "Front");
    store->Photo(MakePicture(9, 6, 0x111111));
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(filesIn(photosFolder()), (Lines{"A1_Back_CUST.qzr", "A1_Front_CUST.qzr"}));
    EXPECT_EQ(fileBytes("A1_Front_CUST.qzr"), bitmapOf(*MakePicture(9, 6, 0x111111)));
    EXPECT_TRUE(columnOf("A1", "Front").isNull()) << "the old column photo goes";
    // Made as any new file is, so the other users of a shared photos folder can read them.
    std::ofstream(scratch + "plain").put('x');
    const auto plain = std::filesystem::status(scratch + "plain").permissions();
    for (const char* name : {"A1_Back_CUST.qzr", "A1_Front_CUST.qzr"})
        EXPECT_EQ(std::filesystem::status(photosFolder() + name).permissions(), plain) << name;

    // Another program replaces the file: the next load reads it, not the remembered photo.
    LocalFileSystem().WriteAll(photosFolder() + "A1_Front_CUST.qzr",
                               bitmapOf(*MakePicture(8, 5, 0x0F0F0F)));
    loads = pictures.loads;
    store->SearchForRecord("", "Front");
    EXPECT_EQ(pictures.loads, loads + 1);
    EXPECT_EQ(PixelAt(*store->OwnerPhoto(), 7, 4), 0x0F0F0Fu);
}

TEST_P(WritingTest, GivenFolderIsTrimmedAndCreatedForWriting) {
    const std::string given = scratch + "Pics";
    auto store = initStore(true);
    store->PhotosFolder = "  " + given + "  ";
    saveNew(*store, "Front", MakePicture(3, 3));
    EXPECT_EQ(store->PhotosFolder, given + "/");
    EXPECT_EQ(filesIn(given), Lines{"A1_Front_CUST.qzr"});

    files.MakeFoldersBehindTheCheck();
    store->PhotosFolder = scratch + "Raced";
    saveNew(*store, "Side", MakePicture(3, 3));
    files.Heal();
    EXPECT_EQ(filesIn(scratch + "Raced"), Lines{"A1_Side_CUST.qzr"});

    // On a fresh machine the default folder comes with its missing parents.
    SetAppPath(scratch + "home/.local/share/kelvophotos");
    store->PhotosFolder = "";
    saveNew(*store, "Fresh", MakePicture(3, 3));
    EXPECT_EQ(events.errors(), Lines{});
    EXPECT_EQ(filesIn(scratch + "home/.local/share/kelvophotos/KelvPhotos"),
              Lines{"A1_Fresh_CUST.qzr"});

    // A named folder gets only its last level; a photo that cannot be written adds no row.
    store->PhotosFolder = scratch + "missing/Pics";
    saveNew(*store, "Lost", MakePicture(3, 3));
    EXPECT_GE(events.count("ErrorSavingPhoto: "), 1);
    EXPECT_EQ(columnOf("A1", "Lost"), Variant("<no row>"));

    SetAppPath(app.substr(0, app.size() - 1));
    store = newStore(true);
    store->Init("B2", "CUST", "", OpenRows(db->connection(), {{"CODE", "B2"}}));
    saveNew(*store, "Front", MakePicture(5, 5, 0x123456));
    EXPECT_EQ(fileBytes("B2_Front_CUST.qzr"), bitmapOf(*MakePicture(5, 5, 0x123456)));
    EXPECT_EQ(columnOf("B2", "Front"), Variant());
}

TEST_P(WritingTest, EveryDescriptionGetsAFileOfItsOwnInsideTheFolder) {
    std::vector<std::pair<std::string, std::string>> named = {
        {"Front", "A1_Front_CUST.qzr"},
        {"Weiß Öl-Nr.2", "A1_Weiß Öl-Nr.2_CUST.qzr"},
        {"It's mine", "A1_It%27s mine_CUST.qzr"},
        {"1_x", "A1_1%5Fx_CUST.qzr"},
        {"1%5Fx", "A1_1%255Fx_CUST.qzr"},
        {"../../escape", "A1_.%2E%2F.%2E%2Fescape_CUST.qzr"},
        {"a/b\\c", "A1_a%2Fb%5Cc_CUST.qzr"},
        {"star*?", "A1_star%2A%3F_CUST.qzr"},
        {std::string(300, 'x'), ""},
        {std::string(299, 'x') + "y", ""},
        {"x", ""},
        {"xx", ""}};
    for (int n = 0; n < 300; ++n) named.end()[-1 - n % 2].first += "é";  // cut between letters
    auto store = initStore(true);
    for (const auto& [description, name] : named) {
        PicturePtr photo = MakePicture(3, 3, static_cast<std::uint32_t>(description.size()));
        saveNew(*store, description, photo);
        EXPECT_TRUE(name.empty() || fileBytes(name) == bitmapOf(*photo)) << name;
    }
    EXPECT_EQ(events.errors(), Lines{});
    EXPECT_EQ(filesIn(photosFolder()).size(), named.size()) << "no two rows share a file";
    EXPECT_EQ(filesIn(app), Lines{"KelvPhotos"}) << "nothing written beside the folder";
    for (const std::string& name : filesIn(photosFolder()))
        EXPECT_EQ(QString::fromStdString(name).toStdString(), name);
    store->FirstRecord();
    for (std::size_t row = 0; row < named.size(); ++row, store->NextRecord())
        EXPECT_EQ(PixelAt(*store->OwnerPhoto(), 0, 0), store->PhotoDescription().size())
            << store->PhotoDescription();
}

TEST_P(WritingTest, FileModeRefusesANewRowOverAnotherRowsFile) {
    auto store = initStore(true);
    PicturePtr first = MakePicture(4, 4, 0x123456);
    saveNew(*store, "Same", first);
    events.clear();
    saveNew(*store, "Same", MakePicture(4, 4, 0x654321));
    EXPECT_EQ(events.count("ErrorSavingPhoto: another photo of A1 in CUST is described 'Same'"), 1);
    EXPECT_EQ(rowCount("A1", "CUST"), 1) << "no row added";
    EXPECT_EQ(fileBytes("A1_Same_CUST.qzr"), bitmapOf(*first));

    // An edit may keep its own values, but not take another row's.
    saveNew(*store, "Other", MakePicture(4, 4, 0x777777));
    events.clear();
    store->PhotoComments("edited");
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(events.errors(), Lines{});
    store->LastRecord();  // "Other" again: a save requeries and stands on the first row
    store->PhotoDescription("Same");
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(events.count("ErrorSavingPhoto: "), 1);
    EXPECT_EQ(fileBytes("A1_Same_CUST.qzr"), bitmapOf(*first));
    EXPECT_EQ(rowCount("A1", "CUST"), 2);

    // A new row whose file cannot be written, or that the table refuses as a read-only
    // database would, is taken out again and leaves no file.
    events.clear();
    files.FailNthWrite(1);
    saveNew(*store, "Unwritten", MakePicture(4, 4));
    files.Heal();
    EXPECT_EQ(events.count("ErrorSavingPhoto: "), 1);
    db->connection()->Execute(
        GetParam() == "sqlite"
            ? "CREATE TRIGGER refuse BEFORE INSERT ON PHOTOS BEGIN SELECT RAISE(ABORT, 'no'); END"
            : "ALTER TABLE PHOTOS ADD CONSTRAINT refuse CHECK (DESCR <> 'Back')");
    events.clear();
    saveNew(*store, "Back", MakePicture(4, 4));
    EXPECT_GE(events.count("ErrorDescrption: "), 1);
    EXPECT_EQ(rowCount("A1", "CUST"), 2);
    EXPECT_EQ(filesIn(photosFolder()), (Lines{"A1_Other_CUST.qzr", "A1_Same_CUST.qzr"}));
}

// A folder refusing writes, a write failing half way, or a closed connection keeps the
// earlier file whole.
TEST_P(WritingTest, FailedFileSavesKeepTheEarlierFile) {
    auto store = newStore(true);
    auto connection = db->OpenAnother();
    store->Init("A1", "CUST", "", nullptr, connection);
    saveNew(*store, "Front", MakePicture(6, 6, 0x223344));
    const Bytes before = fileBytes("A1_Front_CUST.qzr");
    const std::vector<std::pair<std::string, std::function<void()>>> faults = {
        {"ErrorSavingPhoto: ", [&] { files.FailWritesUnder(photosFolder()); }},
        {"ErrorSavingPhoto: ", [&] { files.FailNthWrite(1); }},
        {"ErrorDescrption: ", [&] { connection->Close(); }}};
    for (const auto& [reported, fault] : faults) {
        events.clear();
        fault();
        store->Photo(MakePicture(6, 6, 0x999999));
        store->SavePhotoDetails(false, false);
        files.Heal();
        EXPECT_GE(events.count(reported), 1) << events.text();
        EXPECT_EQ(fileBytes("A1_Front_CUST.qzr"), before);
        EXPECT_EQ(filesIn(photosFolder()), Lines{"A1_Front_CUST.qzr"});
    }
    EXPECT_EQ(rowCount("A1", "CUST"), 1);
}

// A bitmap that cannot be written, or one longer than a column gives back, leaves the
// column alone and adds no row.
TEST_P(WritingTest, UnwritableTempFolderOrOverlongPhotoLeavesTheColumnAlone) {
    PicturePtr earlier = MakePicture(6, 6, 0x223344);
    addRow("A1", "Front", "CUST", false, bitmapOf(*earlier));
    auto store = initStore();
    store->LoadData();
    files.FailWritesUnder(tmp);
    store->Photo(MakePicture(6, 6, 0x999999));
    store->SavePhotoDetails(false, false);
    files.Heal();
    EXPECT_GE(events.count("ErrorDescrption: "), 1);
    EXPECT_EQ(columnOf("A1", "Front").bytes(), bitmapOf(*earlier));

    events.clear();
    files.PadScratchFilesTo(store::kMaxPhotoBytes + 1);
    store->SavePhotoDetails(false, false);
    store->PhotoDescription("Side");
    store->SavePhotoDetails(true, false);
    files.Heal();
    const std::string refused = "ErrorSavingPhoto: the photo is " +
                                std::to_string(store::kMaxPhotoBytes + 1) + " bytes, over the " +
                                std::to_string(store::kMaxPhotoBytes) + " bytes";
    EXPECT_EQ(events.count(refused), 2) << events.text();
    EXPECT_EQ(columnOf("A1", "Front").bytes(), bitmapOf(*earlier));
    EXPECT_EQ(rowCount("A1", "CUST"), 1);
}

// Another user of the machine plants a link as a row's photo file: it is refused, never
// shown, and no write goes through it. Links at temporary names are the file layer's tests.
TEST_P(WritingTest, APlantedPhotoFileLinkIsNeitherShownNorWrittenThrough) {
    const std::string victim = scratch + "victim";
    LocalFileSystem().WriteAll(victim, Bytes{42});
    const std::string link = photosFolder() + "A1_Front_CUST.qzr";
    LocalFileSystem().CreateFolder(photosFolder().substr(0, photosFolder().size() - 1));
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    addRow("A1", "Front", "CUST");
    auto store = initStore(true);
    store->LoadData();
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    store->Photo(MakePicture(6, 6));
    store->SavePhotoDetails(false, false);
    EXPECT_EQ(
        events.lines,
        (Lines{"ErrorDescrption: cannot open file " + link + ": it is a symbolic link",
               "ErrorSavingPhoto: cannot replace " + link + ": it is a symbolic link",
               "ErrorDescrption: the photo file could not be written; the row is not saved"}));
    EXPECT_EQ(LocalFileSystem().ReadAll(victim), Bytes{42});
}

// Only a current row goes, with its file; the store then stands on the last row.
TEST_P(WritingTest, DeletesTheRowAndOnlyItsOwnFile) {
    initStore(true)->DeleteRecord();
    EXPECT_EQ(events.lines, Lines{}) << "an empty set";
    newStore()->DeleteRecord();
    EXPECT_EQ(events.count("ErrorDescrption: "), 1) << "no record set";
    addRow("A1", "Front", "CUST");
    addRow("A1", "Side", "CUST");
    addRow("A1", "Front", "STAFF");
    writePhotoFiles({"A1_Front_CUST.qzr", "A1_Side_CUST.qzr", "A1_Front_STAFF.qzr"});
    auto store = initStore(true);
    store->m_rsPhotoDetails->MoveNext();  // at EOF
    store->DeleteRecord();
    EXPECT_EQ(rowCount("A1", "CUST"), 2);
    store->NextRecord();
    EXPECT_EQ(events.take(), (Lines{"IsLastRecord 1", "RecordPosition 2/2"})) << "on the last row";

    store->SearchForRecord("", "Front");
    events.clear();
    store->DeleteRecord();
    EXPECT_EQ(rowCount("A1", "CUST"), 1);
    EXPECT_EQ(filesIn(photosFolder()), (Lines{"A1_Front_STAFF.qzr", "A1_Side_CUST.qzr"}));
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    store->NextRecord();
    EXPECT_EQ(events.lines, (Lines{"IsLastRecord 1", "RecordPosition 1/1"}))
        << "the store stands on the last row with its counts refreshed";

    // A column store leaves the files alone; a file that cannot go is reported after its row.
    for (const bool inFiles : {false, true}) {
        store = initStore(inFiles);
        store->LoadData();
        files.FailDeletesUnder(photosFolder());
        store->DeleteRecord();
        files.Heal();
        EXPECT_EQ(events.count("ErrorDescrption: "), inFiles ? 1 : 0);
        EXPECT_EQ(filesIn(photosFolder()), (Lines{"A1_Front_STAFF.qzr", "A1_Side_CUST.qzr"}));
        if (!inFiles) addRow("A1", "Side", "CUST");
    }
    EXPECT_EQ(rowCount("A1", "CUST"), 0);

    // Rows alike share one file: it goes with the last of them.
    for (int twin = 0; twin < 2; ++twin) addRow("A1", "Twin", "CUST");
    writePhotoFiles({"A1_Twin_CUST.qzr"});
    for (const bool last : {false, true}) {
        store = initStore(true);
        store->LoadData();
        store->DeleteRecord();
        EXPECT_EQ(LocalFileSystem().FileExists(photosFolder() + "A1_Twin_CUST.qzr"), !last);
    }
}

// Another user deletes a row meanwhile, or the row's file is already gone: the row still
// goes, silently, and takes only its own file.
TEST_P(WritingTest, RowsOrFilesGoneMeanwhileDoNotStopTheDelete) {
    for (const bool fileGone : {false, true}) {
        db->connection()->ExecuteDelete("PHOTOS", {});
        for (const char* description : {"Front", "Side", "Back"}) addRow("A1", description, "CUST");
        writePhotoFiles({"A1_Front_CUST.qzr", "A1_Side_CUST.qzr"});
        auto store = initStore(true);
        store->SearchForRecord("", "Front");
        if (fileGone)
            LocalFileSystem().DeleteFile(photosFolder() + "A1_Front_CUST.qzr");
        else
            db->OpenAnother()->ExecuteDelete("PHOTOS", {{"DESCR", "Back"}});
        events.clear();
        store->DeleteRecord();
        EXPECT_EQ(events.lines, Lines{});
        EXPECT_EQ(filesIn(photosFolder()), Lines{"A1_Side_CUST.qzr"});
        EXPECT_EQ(rowCount("A1", "CUST"), fileGone ? 2 : 1);
    }
}

// DeletePhotos takes an owner name's rows silently; UnSetDefaultPhoto clears the marks of
// the owner in the store's group only.
TEST_P(WritingTest, DeletePhotosAndUnSetDefaultPhotoKeepToTheirOwner) {
    addRow("A1", "Front", "CUST", true);
    addRow("A1", "Side", "CUST", false);
    addRow("A1", "Back", "STAFF", true);
    addRow("B'2", "Front", "CUST", true);
    auto store = initStore();
    store->UnSetDefaultPhoto("A1", "ignored");
    EXPECT_FALSE(columnOf("A1", "Front", "DEF").toBool());
    EXPECT_FALSE(columnOf("A1", "Side", "DEF").toBool());
    EXPECT_TRUE(columnOf("A1", "Back", "DEF").toBool());
    EXPECT_TRUE(columnOf("B'2", "Front", "DEF").toBool());
    store->UnSetDefaultPhoto("B'2", "");
    EXPECT_FALSE(columnOf("B'2", "Front", "DEF").toBool());

    store->PhotosOwnerName("nobody");
    store->DeletePhotos();  // the table has no PhotoCode column: passed over
    db->connection()->Execute("CREATE TABLE OWNERS (GRP text, PhotoCode text)");
    db->connection()->Execute("INSERT INTO OWNERS VALUES ('Alice', 'A1'), ('Bob', 'A1')");
    store->TableName = "OWNERS";
    store->PhotosOwnerName("Alice");
    store->DeletePhotos();
    EXPECT_EQ(events.lines, Lines{});
    EXPECT_EQ(CountRows(db->connection(), "OWNERS", {}), 1);
    EXPECT_EQ(rowCount("A1", "CUST"), 2);
    store->TableName = "NO_SUCH_TABLE";
    EXPECT_THROW(store->UnSetDefaultPhoto("A1", ""), Error);
    EXPECT_THROW(newStore()->UnSetDefaultPhoto("A1", ""), Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, WritingTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
