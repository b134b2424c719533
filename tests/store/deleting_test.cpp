// Deleting the current row and its photo file, an owner name's rows, and the default marks.
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class DeletingTest : public PhotoTest {
  protected:
    void writePhotoFiles(const Lines& names) {
        if (!LocalFileSystem().FolderExists(photosFolder()))
            LocalFileSystem().CreateFolder(app + "KelvPhotos");
        for (const std::string& name : names)
            qtPictures->SavePicture(*MakePicture(3, 3), photosFolder() + name);
    }
};

TEST_P(DeletingTest, DeletesTheRowAndOnlyItsOwnFile) {
    addRow("A1", "Front", "CUST");
    addRow("A1", "Side", "CUST");
    addRow("A1", "Front", "STAFF");
    writePhotoFiles({"A1_Front_CUST.qzr", "A1_Side_CUST.qzr", "A1_Front_STAFF.qzr"});
    auto store = initStore(true);
    store->SearchForRecord("", "Front");
    events.clear();
    store->DeleteRecord();
    EXPECT_EQ(events.lines, Lines{});
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
}

// Another user deletes a row meanwhile, or the row's file is already gone: the row still
// goes, silently, and takes only its own file.
TEST_P(DeletingTest, RowsOrFilesGoneMeanwhileDoNotStopTheDelete) {
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

TEST_P(DeletingTest, EmptySetOrNoCurrentRowDeletesNothing) {
    initStore(true)->DeleteRecord();
    EXPECT_EQ(events.lines, Lines{});
    addRow("A1", "Front", "CUST");
    addRow("A1", "Side", "CUST");
    auto store = initStore();
    store->m_rsPhotoDetails->MoveNext();  // at EOF
    store->DeleteRecord();
    EXPECT_EQ(rowCount("A1", "CUST"), 2);
    store->NextRecord();
    EXPECT_EQ(events.lines, (Lines{"IsLastRecord 1", "RecordPosition 2/2"})) << "on the last row";
    events.clear();
    newStore()->DeleteRecord();
    EXPECT_EQ(events.count("ErrorDescrption: "), 1) << "no record set";
}

TEST_P(DeletingTest, DeletePhotosIsSilent) {
    auto store = initStore();
    store->PhotosOwnerName("nobody");
    store->DeletePhotos();  // the table has no PhotoCode column: passed over
    db->connection()->Execute("CREATE TABLE OWNERS (GRP text, PhotoCode text)");
    db->connection()->Execute("INSERT INTO OWNERS VALUES ('Alice', 'A1'), ('Bob', 'A1')");
    store->TableName = "OWNERS";
    store->PhotosOwnerName("Alice");
    store->PhotoCode("A1");
    events.clear();
    store->DeletePhotos();
    EXPECT_EQ(events.lines, Lines{});
    EXPECT_EQ(CountRows(db->connection(), "OWNERS", {}), 1);
}

TEST_P(DeletingTest, UnSetDefaultPhotoClearsTheOwnersGroupOnly) {
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
    EXPECT_EQ(events.lines, Lines{});
    store->TableName = "NO_SUCH_TABLE";
    EXPECT_THROW(store->UnSetDefaultPhoto("A1", ""), Error);
    EXPECT_THROW(newStore()->UnSetDefaultPhoto("A1", ""), Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, DeletingTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
