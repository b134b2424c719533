// ConvertAllToFiles, ConvertAllToBlobs and ExtractToFiles on both back ends: events, file
// names, columns, byte-identical round trips, and no photo lost when files or the connection
// fail mid-way.
#include <map>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

struct PhotoRow {
    std::string code, description, group;
    Bytes photo;
};

class ConversionTest : public PhotoTest {
  protected:
    void SetUp() override {
        PhotoTest::SetUp();
        auto bytesOf = [&](const std::string& name, const std::string& format, int w, int h,
                           std::uint32_t rgb) {
            return LocalFileSystem().ReadAll(WriteImageFile(scratch, name, format, w, h, rgb));
        };
        rows = {{"A1", "Front", "CUST", bytesOf("a.bmp", "bmp", 100, 60, 0x112233)},
                {"A1", "Side", "CUST", bytesOf("b.png", "png", 30, 30, 0x445566)},
                {"B2", "Front", "CUST", bytesOf("c.bmp", "bmp", 200, 100, 0x778899)}};
    }
    void addRow(const PhotoRow& row, bool withPhoto = true) {
        PhotoTest::addRow(row.code, row.description, row.group, false,
                          withPhoto ? Variant(row.photo) : Variant(), "-");
    }
    // The photo column of the row, read on a fresh connection.
    Variant columnOf(const PhotoRow& row) {
        const auto found =
            ReadPhotoRows(db->OpenAnother(), {{"CODE", row.code}, {"DESCR", row.description}});
        if (found.size() != 1)
            throw Error("expected one row of " + row.code + " " + row.description);
        return found.front().pic;
    }
    std::string fileOf(const PhotoRow& row) const {
        return photosFolder() + row.code + "_" + row.description + "_" + row.group + ".qzr";
    }
    // True when the row's photo is whole in its column or in its file.
    bool readableSomewhere(const PhotoRow& row) {
        Variant column = columnOf(row);
        if (!column.isNull() && column.bytes() == row.photo) return true;
        return LocalFileSystem().FileExists(fileOf(row)) &&
               LocalFileSystem().ReadAll(fileOf(row)) == row.photo;
    }
    int photoFileCount() const { return static_cast<int>(filesIn(photosFolder()).size()); }
    void expectAllInFiles() {
        for (const PhotoRow& row : rows) {
            EXPECT_TRUE(columnOf(row).isNull()) << row.code << " " << row.description;
            EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(row)), row.photo) << fileOf(row);
        }
        EXPECT_EQ(photoFileCount(), static_cast<int>(rows.size()));
    }
    void expectAllInColumns(int filesLeft = 0) {
        for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
        EXPECT_EQ(photoFileCount(), filesLeft);
    }
    void expectNoneLost() {
        for (const PhotoRow& row : rows)
            EXPECT_TRUE(readableSomewhere(row)) << row.code << " " << row.description;
    }

    std::vector<PhotoRow> rows;  // three rows of different sizes, two of one owner
};

const char* const kToFiles = "Converting to Files...";
const char* const kToDatabase = "Adding photos to Database...";
const char* const kDeleting = "Deleting old photo files...";

TEST_P(ConversionTest, WrongModeOrEmptyTableTouchesNothing) {
    addRow(rows[0]);
    EXPECT_FALSE(newStore(false)->ConvertAllToFiles(db->connection()));
    EXPECT_FALSE(newStore(true)->ConvertAllToBlobs(db->connection()));
    EXPECT_TRUE(events.steps.empty());
    EXPECT_EQ(columnOf(rows[0]).bytes(), rows[0].photo);
    EXPECT_EQ(photoFileCount(), 0);

    db->connection()->ExecuteDelete("PHOTOS", {});
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_TRUE(events.steps.empty());
    EXPECT_EQ(photoFileCount(), 0);
}

TEST_P(ConversionTest, ToFilesAndBackKeepsEveryByte) {
    for (const PhotoRow& row : rows) addRow(row);
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_EQ(events.steps,
              (std::vector<ProgressStep>{{kToFiles, 1, 3}, {kToFiles, 2, 3}, {kToFiles, 3, 3}}));
    EXPECT_EQ(events.errors(), Lines{});
    expectAllInFiles();

    events.clear();
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(events.steps, (std::vector<ProgressStep>{{kToDatabase, 1, 3},
                                                       {kToDatabase, 2, 3},
                                                       {kToDatabase, 3, 3},
                                                       {kDeleting, 2, 3},
                                                       {kDeleting, 1, 3},
                                                       {kDeleting, 0, 3}}));
    expectAllInColumns();
}

TEST_P(ConversionTest, ToBlobsKeepsFilesItDidNotMove) {
    addRow(rows[0], false);
    addRow(rows[1], false);
    LocalFileSystem().CreateFolder(app + "KelvPhotos");
    LocalFileSystem().WriteAll(fileOf(rows[0]), rows[0].photo);           // rows[1] has no file
    const std::string others = photosFolder() + "OTHER_Photo_STAFF.qzr";  // not this table's
    LocalFileSystem().WriteAll(others, rows[2].photo);

    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(columnOf(rows[0]).bytes(), rows[0].photo);
    EXPECT_TRUE(columnOf(rows[1]).isNull());
    EXPECT_EQ(filesIn(photosFolder()), Lines{"OTHER_Photo_STAFF.qzr"});
}

// A full disk or a dropped connection half way through either conversion loses no photo and
// deletes no file, and a second run finishes the work.
TEST_P(ConversionTest, FaultMidwayLosesNothingAndASecondRunFinishes) {
    for (const PhotoRow& row : rows) addRow(row);
    for (const bool diskFull : {true, false}) {
        SCOPED_TRACE(diskFull ? "full disk" : "dropped connection");
        auto cnn = db->OpenAnother();
        events.onProgress = [&](const ProgressStep& step) {
            if (step.pos != 1) return;
            diskFull ? files.FailWritesUnder("/") : cnn->Close();
        };
        EXPECT_FALSE(newStore(true)->ConvertAllToFiles(cnn));
        EXPECT_FALSE(events.errors().empty());
        if (diskFull) {
            EXPECT_EQ(events.steps.size(), 3u) << "the walk goes on past failing rows";
        }
        expectNoneLost();
        files.Heal();
        events.onProgress = nullptr;
        EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->OpenAnother()));
        expectAllInFiles();

        cnn = db->OpenAnother();
        events.onProgress = [&](const ProgressStep& step) {
            if (step.msg != kToDatabase || step.pos != 2) return;
            diskFull ? files.FailDeletesUnder("/") : cnn->Close();
        };
        EXPECT_FALSE(newStore(false)->ConvertAllToBlobs(cnn));
        expectNoneLost();
        if (diskFull) expectAllInColumns(3);
        EXPECT_EQ(photoFileCount(), 3) << "nothing deleted after a broken walk";
        files.Heal();
        events.onProgress = nullptr;
        EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->OpenAnother()));
        expectAllInColumns();
        events.clear();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ConversionTest, testing::ValuesIn(TestBackends()), BackendName);

class ExtractTest : public ConversionTest {
  protected:
    void SetUp() override {
        ConversionTest::SetUp();
        const bool pg = GetParam() == "postgresql";
        db->connection()->Execute(std::string("CREATE TABLE \"OLDPICS\" (\"PhotoCode\" ") +
                                  (pg ? "VARCHAR(50)" : "TEXT") + ", \"QualifierPhoto\" " +
                                  (pg ? "BYTEA" : "BLOB") + ", \"GRP\" " +
                                  (pg ? "VARCHAR(50)" : "TEXT") + ")");
        out = scratch;
    }
    void addOld(const Variant& code, const Bytes& photo, const std::string& group) {
        Recordset rs;
        rs.ActiveConnection(db->connection());
        rs.Source(Selection{"OLDPICS", {}, ""});
        rs.Open();
        rs.AddNew();
        rs.Fields("PhotoCode").Value(code);
        rs.Fields("QualifierPhoto").Value(photo);
        rs.Fields("GRP").Value(group);
        rs.Update();
    }
    int rowsOf(const std::string& group) {
        return CountRows(db->OpenAnother(), "OLDPICS", {{"GRP", group}});
    }
    static Bytes pattern(std::size_t size, std::uint8_t seed) {
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
        return bytes;
    }
    std::string out;
};

TEST_P(ExtractTest, WritesEachCodeAndRemovesOnlyRowsWritten) {
    const Bytes exact = pattern(16384, 1), longer = pattern(40000, 2), other = pattern(100, 3);
    addOld("A1", exact, "CUST");
    addOld("  B2  ", longer, "CUST");  // its file is replaced by the later B2: it stays
    addOld(Variant(), other, "CUST");  // no code: not extracted, kept
    addOld("../x", other, "CUST");     // stays inside the folder
    addOld("A*", pattern(10, 4), "CUST");
    addOld("A?", pattern(10, 5), "CUST");
    addOld("B2", pattern(10, 6), "CUST");
    addOld("C3", other, "STAFF");
    LocalFileSystem().WriteAll(out + "A1", pattern(50000, 9));  // replaced, no trailing bytes

    auto store = newStore(false);
    store->Init("", "", "", nullptr, db->connection());
    store->ExtractToFiles("OLDPICS", "CUST", out);

    for (const auto& [name, bytes] :
         std::vector<std::pair<std::string, Bytes>>{{"A1", exact},
                                                    {"B2", pattern(10, 6)},
                                                    {".%2E%2Fx", other},
                                                    {"A%2A", pattern(10, 4)},
                                                    {"A%3F", pattern(10, 5)}})
        EXPECT_EQ(LocalFileSystem().ReadAll(out + name), bytes) << name;
    EXPECT_EQ(interaction.yields, 7);
    EXPECT_EQ(rowsOf("CUST"), 2);  // the row without a code, and the first B2
    EXPECT_EQ(rowsOf("STAFF"), 1);
    EXPECT_EQ(events.errors(), Lines{});
    EXPECT_TRUE(events.steps.empty());
}

TEST_P(ExtractTest, FailuresKeepRowsAndNothingHappensForNoRows) {
    auto store = newStore(false);
    store->Init("", "", "", nullptr, db->connection());
    store->ExtractToFiles("OLDPICS", "CUST", out);  // no rows
    store->ExtractToFiles("NO_SUCH_TABLE", "CUST", out);
    EXPECT_EQ(interaction.yields, 0);

    addOld("A1", pattern(100, 1), "CUST");
    addOld("B2", pattern(200, 2), "CUST");
    files.FailWritesUnder("/");
    store->ExtractToFiles("OLDPICS", "CUST", out);
    EXPECT_EQ(rowsOf("CUST"), 2);
    EXPECT_FALSE(LocalFileSystem().FileExists(out + "A1"));

    files.Heal();
    store->ExtractToFiles("OLDPICS", "CUST", out + "missing/");  // folder not there
    EXPECT_EQ(rowsOf("CUST"), 2);
    files.ShortenNthWrite(1);  // the first file ends up short without any error
    store->ExtractToFiles("OLDPICS", "CUST", out);
    EXPECT_EQ(rowsOf("CUST"), 1);
    files.Heal();
    store->ExtractToFiles("OLDPICS", "CUST", out);
    EXPECT_EQ(rowsOf("CUST"), 0);
    EXPECT_EQ(LocalFileSystem().ReadAll(out + "A1"), pattern(100, 1));
    EXPECT_EQ(LocalFileSystem().ReadAll(out + "B2"), pattern(200, 2));

    addOld("C3", pattern(300, 3), "CUST");
    CPicture bare(Services{});  // the host left every service out
    UsePhotoTable(bare);
    bare.Init("", "", "", nullptr, db->connection());
    bare.ExtractToFiles("OLDPICS", "CUST", out);
    EXPECT_EQ(rowsOf("CUST"), 0);
    EXPECT_EQ(LocalFileSystem().ReadAll(out + "C3"), pattern(300, 3));
}

// Real camera photos, several to an owner, described in German and Turkish, owners where one
// starts the other: every row gives back its own photo, bit for bit in its column and its
// file, through navigation, GetPhoto, both conversions and extraction.
TEST_P(ExtractTest, RealPhotosEachRowGivesBackItsOwn) {
    struct Real {
        const char* code;
        const char* description;
        const char* file;
        bool isDefault;
    };
    const std::vector<Real> table{{"A1", "Weiß", "verify_a.jpg", false},
                                  {"A1", "Straße 1", "f3_a.jpg", true},
                                  {"A1", "İstanbul ığdır", "f3_b.jpg", false},
                                  {"A10", "Weiß", "verify_b.jpg", false},
                                  {"A10", "İstanbul ığdır", "f3_c.jpg", true}};
    rows.clear();
    std::map<std::pair<std::string, std::string>, std::uint64_t> pixels;
    for (const Real& real : table) {
        rows.push_back({real.code, real.description, "CUST",
                        LocalFileSystem().ReadAll(std::string(KELVO_TEST_DATA) + real.file)});
        addRow(rows.back());
        if (real.isDefault) {
            db->connection()->ExecuteUpdate("PHOTOS", {{"DEF", true}},
                                            {{"CODE", real.code}, {"DESCR", real.description}});
            addOld(real.code, rows.back().photo, "CUST");
        }
        pixels[{real.code, real.description}] = PictureChecksum(
            *DefaultServices().pictures->LoadPictureData(rows.back().photo, real.file));
    }
    const auto expectEachRowsOwn = [&](bool saveAsFile) {
        SCOPED_TRACE(saveAsFile ? "file mode" : "blob mode");
        for (const Real& real : table) {
            if (!real.isDefault) continue;
            auto store = newStore(saveAsFile);
            EXPECT_EQ(PictureChecksum(*store->GetPhoto("CUST", real.code, db->connection())),
                      (pixels[{real.code, real.description}]));
            const std::int32_t count = store->m_rsPhotoDetails->RecordCount();
            EXPECT_EQ(count, std::string(real.code) == "A1" ? 3 : 2);
            for (std::int32_t i = 0; i < count; ++i) {
                i == 0 ? store->FirstRecord() : store->NextRecord();
                EXPECT_EQ(PictureChecksum(*store->OwnerPhoto()),
                          (pixels[{store->PhotoCode(), store->PhotoDescription()}]))
                    << store->PhotoCode() << " " << store->PhotoDescription();
            }
        }
        EXPECT_EQ(events.errors(), Lines{});
    };
    expectEachRowsOwn(false);
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    expectAllInFiles();
    expectEachRowsOwn(true);
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    expectAllInColumns();
    expectEachRowsOwn(false);

    auto extractor = newStore(false);
    extractor->Init("", "", "", nullptr, db->connection());
    extractor->ExtractToFiles("OLDPICS", "CUST", out);
    EXPECT_EQ(LocalFileSystem().ReadAll(out + "A1"), rows[1].photo);
    EXPECT_EQ(LocalFileSystem().ReadAll(out + "A10"), rows[4].photo);
    EXPECT_EQ(rowsOf("CUST"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, ExtractTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
