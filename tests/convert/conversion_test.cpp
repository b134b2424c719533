// ConvertAllToFiles, ConvertAllToBlobs and ExtractToFiles on both back ends: events, files,
// columns, byte-identical round trips, and no photo lost when files or the connection fail.
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

struct PhotoRow {
    std::string code, description;
    Bytes photo;
};

enum Where { kFiles, kColumns, kEither };

class ConversionTest : public PhotoTest {
  protected:
    void SetUp() override {
        PhotoTest::SetUp();
        const auto bytesOf = [&](const std::string& format, int w, int h) {
            return LocalFileSystem().ReadAll(WriteImageFile(scratch, "a." + format, format, w, h));
        };
        rows = {{"A1", "Front", bytesOf("bmp", 100, 60)},
                {"A1", "Side", bytesOf("png", 30, 30)},
                {"B2", "Front", LocalFileSystem().ReadAll(SampleFile("f3_a.jpg"))}};
    }
    void addRows() {
        for (const PhotoRow& row : rows)
            addRow(row.code, row.description, "CUST", false, row.photo);
    }
    std::string fileOf(const PhotoRow& row) const {
        return photosFolder() + row.code + "_" + row.description + "_CUST.qzr";
    }
    int photoFileCount() const { return static_cast<int>(filesIn(photosFolder()).size()); }
    // Each row's photo whole in its file with the column cleared, in its column, or in either.
    void expectPhotosIn(Where where, int fileCount = -1) {
        for (const PhotoRow& row : rows) {
            const Variant column = columnOf(row.code, row.description);
            const bool inColumn =
                column.type() == Variant::Type::Bytes && column.bytes() == row.photo;
            const bool inFile = LocalFileSystem().FileExists(fileOf(row)) &&
                                LocalFileSystem().ReadAll(fileOf(row)) == row.photo;
            EXPECT_TRUE(where == kFiles     ? inFile && column.isNull()
                        : where == kColumns ? inColumn
                                            : inFile || inColumn)
                << row.code << " " << row.description;
        }
        EXPECT_TRUE(fileCount < 0 || photoFileCount() == fileCount) << photoFileCount();
    }

    std::vector<PhotoRow> rows;  // a BMP, a PNG and a camera photo, two of one owner
};

const char* const kToFiles = "Converting to Files...";
const char* const kToDatabase = "Adding photos to Database...";
const char* const kDeleting = "Deleting old photo files...";

TEST_P(ConversionTest, ToFilesAndBackKeepsEveryByteAndWrongModeDoesNothing) {
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));  // an empty table
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    addRows();
    EXPECT_FALSE(newStore(false)->ConvertAllToFiles(db->connection()));
    EXPECT_FALSE(newStore(true)->ConvertAllToBlobs(db->connection()));
    EXPECT_TRUE(events.steps.empty());
    expectPhotosIn(kColumns, 0);

    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_EQ(events.steps,
              (std::vector<ProgressStep>{{kToFiles, 1, 3}, {kToFiles, 2, 3}, {kToFiles, 3, 3}}));
    EXPECT_EQ(events.errors(), Lines{});
    expectPhotosIn(kFiles, 3);

    events.clear();
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(events.steps, (std::vector<ProgressStep>{{kToDatabase, 1, 3},
                                                       {kToDatabase, 2, 3},
                                                       {kToDatabase, 3, 3},
                                                       {kDeleting, 2, 3},
                                                       {kDeleting, 1, 3},
                                                       {kDeleting, 0, 3}}));
    expectPhotosIn(kColumns, 0);

    // A file written anew after its row was stored is not the photo in the column: it stays.
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    events.onProgress = [&](const ProgressStep& step) {
        if (step.msg == kToDatabase && step.pos == 3)
            LocalFileSystem().WriteAll(fileOf(rows[0]), rows[1].photo);
    };
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    expectPhotosIn(kColumns, 1);
    EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(rows[0])), rows[1].photo);
}

// A full disk or a dropped connection half way through either conversion loses
// no photo and deletes no file, and a second run finishes the work.
TEST_P(ConversionTest, FaultMidwayLosesNothingAndASecondRunFinishes) {
    addRows();
    for (const bool diskFull : {true, false}) {
        SCOPED_TRACE(diskFull ? "full disk" : "dropped connection");
        auto cnn = db->OpenAnother();
        events.onProgress = [&](const ProgressStep& step) {
            if (step.pos != 1) return;
            diskFull ? files.FailWritesUnder("/") : cnn->Close();
        };
        EXPECT_FALSE(newStore(true)->ConvertAllToFiles(cnn));
        EXPECT_FALSE(events.errors().empty());
        if (diskFull) EXPECT_EQ(events.steps.size(), 3u) << "the walk goes on past failing rows";
        expectPhotosIn(kEither);
        files.Heal();
        events.onProgress = nullptr;
        EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->OpenAnother()));
        expectPhotosIn(kFiles, 3);

        cnn = db->OpenAnother();
        events.onProgress = [&](const ProgressStep& step) {
            if (step.msg != kToDatabase || step.pos != 2) return;
            diskFull ? files.FailDeletesUnder("/") : cnn->Close();
        };
        EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(cnn));
        expectPhotosIn(diskFull ? kColumns : kEither, 3);  // no file deleted after a broken walk
        files.Heal();
        events.onProgress = nullptr;
        EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->OpenAnother()));
        expectPhotosIn(kColumns, 0);
        events.clear();
    }

    files.ShortenNthWrite(1);  // a photo file comes out short without any error
    EXPECT_FALSE(newStore(true)->ConvertAllToFiles(db->connection()));
    expectPhotosIn(kEither);
    files.Heal();

    // A row deleted by another user before the walk reached it: as its file is not known,
    // no file is deleted.
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    events.onProgress = [&](const ProgressStep& step) {
        if (step.msg == kToDatabase && step.pos == 1)
            db->OpenAnother()->Execute("DELETE FROM PHOTOS WHERE CODE = ?", {Variant("B2")});
    };
    EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(photoFileCount(), 3);
}

// Rows of the same values name one file: the first takes it, and a second keeps its own photo
// in its column both ways.
TEST_P(ConversionTest, RowsOfTheSameValuesKeepTheirOwnPhotos) {
    addRows();
    addRow("A1", "Front", "CUST", false, rows[1].photo);
    EXPECT_FALSE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    std::vector<Bytes> twins, expected{rows[0].photo, rows[1].photo};
    for (const StoredRow& row :
         ReadPhotoRows(db->connection(), {{"CODE", "A1"}, {"DESCR", "Front"}}))
        twins.push_back(row.pic.isNull() ? Bytes{} : row.pic.bytes());
    std::sort(twins.begin(), twins.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(twins, expected);
    EXPECT_EQ(photoFileCount(), 0);

    // A twin whose column refuses the file keeps it, though the other twin stored it.
    addRow("B2", "Front", "CUST", false, Variant(), "locked");
    EXPECT_FALSE(newStore(true)->ConvertAllToFiles(db->connection()));
    db->connection()->Execute(
        GetParam() == "sqlite"
            ? "CREATE TRIGGER refuse BEFORE UPDATE ON PHOTOS WHEN NEW.COMMENTS = 'locked' "
              "BEGIN SELECT RAISE(ABORT, 'locked'); END"
            : "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN RAISE "
              "EXCEPTION ''locked''; END'; CREATE TRIGGER refuse BEFORE UPDATE ON PHOTOS FOR "
              "EACH ROW WHEN (NEW.COMMENTS = 'locked') EXECUTE FUNCTION refuse()");
    EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(rows[2])), rows[2].photo);
}

INSTANTIATE_TEST_SUITE_P(Backends, ConversionTest, testing::ValuesIn(TestBackends()), BackendName);

class ExtractTest : public ConversionTest {
  protected:
    void SetUp() override {
        ConversionTest::SetUp();
        const bool pg = GetParam() == "postgresql";
        const std::string text = pg ? "VARCHAR(50)" : "TEXT";
        db->connection()->Execute("CREATE TABLE \"OLDPICS\" (\"PhotoCode\" " + text +
                                  ", \"QualifierPhoto\" " + (pg ? "BYTEA" : "BLOB") + ", \"GRP\" " +
                                  text + ")");
        store = newStore(false);
        store->Init("", "", "", nullptr, db->connection());
    }
    void addOld(const Variant& code, const Bytes& photo, const std::string& group = "CUST") {
        db->connection()->Execute(
            "INSERT INTO \"OLDPICS\" (\"PhotoCode\", \"QualifierPhoto\", \"GRP\") VALUES (?, ?, ?)",
            {code, photo, group});
    }
    int rowsOf(const std::string& group) {
        return CountRows(db->OpenAnother(), "OLDPICS", {{"GRP", group}});
    }
    static Bytes pattern(std::size_t size) { return PatternPictures::PatternOf(size); }
    void extract(const std::string& folder) { store->ExtractToFiles("OLDPICS", "CUST", folder); }
    std::unique_ptr<CPicture> store;
};

TEST_P(ExtractTest, FailuresKeepRowsAndNothingHappensForNoRows) {
    extract(scratch);  // no rows
    store->ExtractToFiles("NO_SUCH_TABLE", "CUST", scratch);
    EXPECT_EQ(interaction.yields, 0);

    addOld("A1", pattern(100));
    addOld("B2", pattern(200));
    files.FailWritesUnder("/");
    extract(scratch);
    EXPECT_EQ(rowsOf("CUST"), 2);
    EXPECT_FALSE(LocalFileSystem().FileExists(scratch + "A1"));
    files.Heal();
    extract(scratch + "missing/");  // folder not there
    EXPECT_EQ(rowsOf("CUST"), 2);
    files.ShortenNthWrite(1);  // the first file ends up short without any error
    extract(scratch);
    EXPECT_EQ(rowsOf("CUST"), 1);
    files.Heal();
    extract(scratch);
    EXPECT_EQ(rowsOf("CUST"), 0);
    EXPECT_EQ(LocalFileSystem().ReadAll(scratch + "A1"), pattern(100));
    EXPECT_EQ(LocalFileSystem().ReadAll(scratch + "B2"), pattern(200));

    addOld("C3", pattern(300));
    CPicture bare(Services{});  // the host left every service out
    UsePhotoTable(bare);
    bare.Init("", "", "", nullptr, db->connection());
    bare.ExtractToFiles("OLDPICS", "CUST", scratch);
    EXPECT_EQ(rowsOf("CUST"), 0);
    EXPECT_EQ(LocalFileSystem().ReadAll(scratch + "C3"), pattern(300));
}

TEST_P(ExtractTest, WritesEachCodeAndRemovesOnlyRowsWritten) {
    const Bytes exact = pattern(16384), other = pattern(100);
    addOld("A1", exact);
    addOld("  B2  ", pattern(40000));  // its file is replaced by the later B2: it stays
    addOld(Variant(), other);          // no code: not extracted, kept
    addOld("../x", other);             // stays inside the folder
    addOld("A*", pattern(10));
    addOld("A?", rows[2].photo);
    addOld("B2", pattern(11));
    addOld("C3", other, "STAFF");
    LocalFileSystem().WriteAll(scratch + "A1", pattern(50000));  // replaced, no trailing bytes
    extract(scratch);

    for (const auto& [name, bytes] :
         std::vector<std::pair<std::string, Bytes>>{{"A1", exact},
                                                    {"B2", pattern(11)},
                                                    {".%2E%2Fx", other},
                                                    {"A%2A", pattern(10)},
                                                    {"A%3F", rows[2].photo}})
        EXPECT_EQ(LocalFileSystem().ReadAll(scratch + name), bytes) << name;
    EXPECT_EQ(interaction.yields, 7);
    EXPECT_EQ(rowsOf("CUST"), 2);  // the row without a code, and the first B2
    EXPECT_EQ(rowsOf("STAFF"), 1);
    EXPECT_EQ(events.errors(), Lines{});
    EXPECT_TRUE(events.steps.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, ExtractTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
