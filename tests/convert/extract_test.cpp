// ExtractToFiles on both back ends: files named after the trimmed codes holding exactly the
// column's bytes, one yield per row, and only the rows written removed from the table.
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

INSTANTIATE_TEST_SUITE_P(Backends, ExtractTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
