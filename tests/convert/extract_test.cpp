// ExtractToFiles on both back ends: files named after the trimmed codes holding exactly the
// column's bytes, one yield per row, and only the rows written removed from the table.
#include <map>

#include "convert_fixture.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

class ExtractTest : public ConversionTest {
  protected:
    void SetUp() override {
        ConversionTest::SetUp();
        const bool pg = GetParam() == "postgresql";
        db->connection()->Execute(std::string("CREATE TABLE \"OLDPICS\" (\"PhotoCode\" ") +
                                  (pg ? "VARCHAR(50)" : "TEXT") + ", \"QualifierPhoto\" " +
                                  (pg ? "BYTEA" : "BLOB") + ", \"GRP\" " +
                                  (pg ? "VARCHAR(50)" : "TEXT") + ")");
        out = TempFolder();
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
    std::int32_t rowsOf(const std::string& group) {
        Recordset rs;
        rs.ActiveConnection(db->OpenAnother());
        rs.Source(Selection{"OLDPICS", {{"GRP", group}}, ""});
        rs.Open();
        return rs.RecordCount();
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
    EXPECT_TRUE(events.errors.empty());
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
        EXPECT_TRUE(events.errors.empty()) << events.errors.front();
    };
    expectEachRowsOwn(false);
    EXPECT_TRUE(newStore(true)->ConvertAllToFiles(db->connection()));
    EXPECT_EQ(photoFileCount(), 5);
    for (const PhotoRow& row : rows) {
        EXPECT_TRUE(columnOf(row).isNull());
        EXPECT_EQ(LocalFileSystem().ReadAll(fileOf(row)), row.photo) << fileOf(row);
    }
    expectEachRowsOwn(true);
    EXPECT_TRUE(newStore(false)->ConvertAllToBlobs(db->connection()));
    EXPECT_EQ(photoFileCount(), 0);
    for (const PhotoRow& row : rows) EXPECT_EQ(columnOf(row).bytes(), row.photo);
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
