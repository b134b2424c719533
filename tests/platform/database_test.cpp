// Recordset, Field and Connection behaviour against real SQLite and PostgreSQL databases.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "platform/db/database.h"
#include "support/test_db.h"

namespace kelvo {
namespace {

using test::TestDatabase;

constexpr std::int64_t kChunk = 16384;

struct Photo {
    std::string code, descr, grp;
    bool def = false;
};

class DatabaseTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->CreatePhotoTable();
    }

    void add(const Photo& photo) {
        db_->connection()->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF) VALUES (?, ?, ?, ?, ?)",
            {photo.code, photo.descr, photo.grp, Variant(), photo.def});
    }

    std::unique_ptr<Recordset> open(std::vector<Condition> where = {}, std::string orderBy = "",
                                    std::shared_ptr<Connection> connection = nullptr,
                                    std::string table = "PHOTOS") {
        auto rs = std::make_unique<Recordset>();
        rs->ActiveConnection(connection ? connection : db_->connection());
        rs->Source(Selection{std::move(table), std::move(where), std::move(orderBy)});
        rs->Open();
        return rs;
    }

    static std::string descr(Recordset& rs) { return rs.Fields("DESCR").Value().toText(); }

    // Every DESCR of the set, walking from the first row.
    static std::vector<std::string> walk(Recordset& rs) {
        std::vector<std::string> seen;
        if (rs.RecordCount() == 0) return seen;
        for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) seen.push_back(descr(rs));
        return seen;
    }

    template <typename F>
    static std::string errorOf(F&& f) {
        try {
            f();
        } catch (const Error& error) {
            return error.what();
        }
        return "(no error)";
    }

    std::unique_ptr<TestDatabase> db_;
};

TEST_P(DatabaseTest, CountsAndMovementOnEmptyOneAndManyRows) {
    auto empty = open();
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_TRUE(empty->BOF());
    EXPECT_TRUE(empty->EOF());
    EXPECT_THROW(empty->MoveNext(), Error);
    EXPECT_THROW(empty->MoveFirst(), Error);

    add({"A1", "Front", "CUST"});
    auto one = open();
    EXPECT_EQ(one->RecordCount(), 1);
    EXPECT_FALSE(one->BOF());
    EXPECT_FALSE(one->EOF());
    EXPECT_EQ(descr(*one), "Front");
    EXPECT_TRUE(one->Fields("COMMENTS").Value().isNull());
    one->MoveNext();
    EXPECT_TRUE(one->EOF());
    EXPECT_FALSE(one->BOF());
    EXPECT_THROW(one->MoveNext(), Error);

    add({"A1", "Back", "CUST", true});
    add({"A1", "Side", "CUST"});
    add({"B2", "Other owner", "CUST"});
    add({"A1", "Other group", "SUPP"});
    auto many = open({{"CODE", "A1"}, {"GRP", "CUST"}}, "DESCR");
    EXPECT_EQ(many->RecordCount(), 3);
    EXPECT_EQ(walk(*many), (std::vector<std::string>{"Back", "Front", "Side"}));
    EXPECT_TRUE(many->EOF());
    many->MovePrevious();
    EXPECT_EQ(descr(*many), "Side");
    many->MovePrevious();
    many->MovePrevious();
    EXPECT_EQ(descr(*many), "Back");
    EXPECT_TRUE(many->Fields("DEF").Value().toBool());
    many->MovePrevious();
    EXPECT_TRUE(many->BOF());
    EXPECT_THROW(many->MovePrevious(), Error);
    many->MoveLast();
    EXPECT_EQ(descr(*many), "Side");
    EXPECT_FALSE(many->Fields("def").Value().toBool());  // names without regard to case
}

TEST_P(DatabaseTest, FindSearchesForwardAndFilterRestrictsTheSet) {
    for (const char* d : {"Front", "Back", "O'Brien's car", "Side", "back"})
        add({"123", d, "CUST"});
    add({"X9", "Front", "CUST"});
    add({"U1", "été à Genève", "CUST"});
    auto rs = open({}, "");
    ASSERT_EQ(rs->RecordCount(), 7);

    rs->Find("DESCR='BACK'");
    ASSERT_FALSE(rs->EOF());
    EXPECT_EQ(descr(*rs), "Back");
    rs->Find("DESCR='back'");  // the current row itself matches
    EXPECT_EQ(descr(*rs), "Back");
    rs->MoveNext();
    rs->Find("descr = 'BACK'");
    EXPECT_EQ(descr(*rs), "back");
    rs->Find("DESCR='FRONT'");  // Front (first row) lies behind, X9's Front ahead
    EXPECT_EQ(rs->Fields("CODE").Value().toText(), "X9");
    rs->Find("DESCR='NOWHERE'");
    EXPECT_TRUE(rs->EOF());

    rs->MoveFirst();
    rs->Find("DESCR='ÉTÉ À GENÈVE'");
    ASSERT_FALSE(rs->EOF());
    EXPECT_EQ(rs->Fields("CODE").Value().toText(), "U1");
    rs->MoveFirst();
    for (const char* quoted : {"DESCR='O'BRIEN'S CAR'", "DESCR = 'o''Brien''s car'"}) {
        rs->MoveFirst();
        rs->Find(quoted);
        ASSERT_FALSE(rs->EOF()) << quoted;
        EXPECT_EQ(descr(*rs), "O'Brien's car");
        rs->Filter(quoted);
        EXPECT_EQ(rs->RecordCount(), 1) << quoted;
    }

    rs->Filter("CODE=123");
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(rs->Filter(), "CODE=123");
    EXPECT_EQ(descr(*rs), "Front");
    rs->Filter("DESCR='back'");
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"Back", "back"}));
    rs->Filter("CODE=1.5");
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_TRUE(rs->BOF() && rs->EOF());
    rs->Filter("");
    EXPECT_EQ(rs->RecordCount(), 7);
    EXPECT_EQ(walk(*rs).size(), 7u);

    for (const char* bad : {"CODE=A1", "DESCR='Front", "DESCR", "NOPE='x'", "=1", "DESCR=''x"}) {
        EXPECT_THROW(rs->Filter(bad), Error) << bad;
        EXPECT_THROW(rs->Find(bad), Error) << bad;
    }
    EXPECT_NE(errorOf([&] { rs->Filter("CODE=A1"); }).find("CODE=A1"), std::string::npos);
    EXPECT_NE(errorOf([&] { rs->Find("NOPE='x'"); }).find("NOPE"), std::string::npos);
    EXPECT_EQ(rs->RecordCount(), 7);  // a refused filter leaves the set as it was
}

TEST_P(DatabaseTest, FindFirstTrueLandsOnTheNextFlaggedRowOfTheSet) {
    for (const char* d : {"a", "b", "c", "d", "e"})
        add({"1", d, "CUST", std::string(d) == "b" || std::string(d) == "d"});
    add({"2", "0", "CUST", true});  // another owner's flag is outside the set
    auto rs = open({{"CODE", "1"}}, "DESCR");
    const auto next = [&] {
        rs->FindFirstTrue("DEF");
        return rs->EOF() ? std::string("EOF") : descr(*rs);
    };
    EXPECT_EQ(next(), "b");
    EXPECT_EQ(next(), "b");  // the current row itself qualifies
    rs->MoveNext();
    EXPECT_EQ(next(), "d");
    rs->MoveNext();
    EXPECT_EQ(next(), "EOF");

    // Flags written after Open count; rows outside the filter are passed over.
    rs->MoveFirst();
    rs->MoveNext();
    rs->Fields("DEF").Value(false);
    rs->Update();
    rs->MoveLast();
    rs->Fields("DEF").Value(true);
    rs->Update();
    rs->MoveFirst();
    EXPECT_EQ(next(), "d");
    rs->Filter("DEF=0");  // a number matches itself only, not the greater true
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"a", "b", "c"}));
    rs->Filter("DESCR='e'");
    EXPECT_EQ(next(), "e");
}

TEST_P(DatabaseTest, ChangesAreSeenByASecondRecordsetAfterRequery) {
    add({"A1", "First", "CUST"});
    add({"A1", "Second", "CUST"});
    const std::vector<Condition> owner{{"CODE", "A1"}};
    auto rs = open(owner, "DESCR");
    auto same = open(owner, "DESCR");
    auto other = open(owner, "DESCR", db_->OpenAnother());

    rs->Fields("COMMENTS").Value("edited");
    rs->AddNew();  // saves the edit of the current row first
    rs->Fields("CODE").Value("A1");
    rs->Fields("DESCR").Value("Third");
    rs->Fields("DEF").Value(true);
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(descr(*rs), "Third");  // the new row is current
    EXPECT_TRUE(rs->Fields("DEF").Value().toBool());
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF());  // and last

    rs->MoveFirst();
    EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "edited");

    rs->MoveNext();
    rs->Delete(1);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_FALSE(rs->EOF());  // stays current until a move
    rs->MoveNext();
    EXPECT_EQ(descr(*rs), "Third");

    same->MoveFirst();  // rewritten rows are followed on the same connection
    EXPECT_EQ(same->Fields("COMMENTS").Value().toText(), "edited");
    for (Recordset* seen : {same.get(), other.get()}) {
        EXPECT_EQ(seen->RecordCount(), 2);  // keys taken before the changes
        seen->Requery(-1);
        EXPECT_EQ(seen->RecordCount(), 2);
        EXPECT_EQ(walk(*seen), (std::vector<std::string>{"First", "Third"}));
        seen->MoveFirst();
        EXPECT_EQ(seen->Fields("COMMENTS").Value().toText(), "edited");
    }
    rs->Requery(-1);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_FALSE(rs->BOF());
    EXPECT_EQ(descr(*rs), "First");

    // A row read together with an earlier one is read again once another connection changed
    // it. (On PostgreSQL a row of a table without a key gets a new identity instead.)
    if (GetParam() != "sqlite") return;
    other->MoveFirst();
    EXPECT_EQ(descr(*other), "First");
    db_->connection()->Execute("UPDATE PHOTOS SET COMMENTS = ? WHERE DESCR = ?",
                               {"later", "Third"});
    other->MoveNext();
    EXPECT_EQ(other->Fields("COMMENTS").Value().toText(), "later");
}

TEST_P(DatabaseTest, GroupedReadsEndCleanlyAndLeaveTheHostsTransactionOpen) {
    add({"A1", "First", "CUST"});
    add({"A1", "Second", "CUST"});
    auto rs = open({{"CODE", "A1"}}, "DESCR");
    {
        const Connection::ReadsTogether outer(db_->connection().get());
        const Connection::ReadsTogether inner(db_->connection().get());
        EXPECT_EQ(walk(*rs), (std::vector<std::string>{"First", "Second"}));
    }
    // Another connection can write at once (no lock kept), and the change is read.
    db_->OpenAnother()->Execute("UPDATE PHOTOS SET COMMENTS = ?", {"elsewhere"});
    if (GetParam() == "sqlite") {
        rs->MoveFirst();
        EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "elsewhere");
    }

    // Reads grouped inside the host's own transaction neither commit nor end it.
    db_->connection()->Execute("BEGIN");
    add({"A1", "Third", "CUST"});
    {
        const Connection::ReadsTogether reads(db_->connection().get());
        rs->Requery();
        EXPECT_EQ(walk(*rs), (std::vector<std::string>{"First", "Second", "Third"}));
    }
    db_->connection()->Execute("ROLLBACK");
    rs->Requery();
    EXPECT_EQ(rs->RecordCount(), 2);

    // A connection closed while its reads are grouped, or none at all, is harmless.
    auto closing = db_->OpenAnother();
    {
        const Connection::ReadsTogether reads(closing.get());
        auto early = open({}, "", closing);
        EXPECT_EQ(early->RecordCount(), 2);
        closing->Close();
    }
    const Connection::ReadsTogether none(nullptr);
    add({"B2", "Later", "CUST"});
}

TEST_P(DatabaseTest, RowIdentitiesSurviveChangesInTheMiddleOfTheSet) {
    // The photo table has no primary key, and the same values twice.
    for (int i = 0; i < 6; ++i) add({"A1", "row" + std::to_string(i), "CUST"});
    add({"A1", "row2", "CUST"});
    auto rs = open({{"GRP", "CUST"}});
    ASSERT_EQ(rs->RecordCount(), 7);

    rs->MoveFirst();
    rs->MoveNext();
    rs->MoveNext();
    const Bookmark third = rs->GetBookmark();
    rs->Fields("DESCR").Value("changed");
    rs->Update();
    rs->MoveNext();
    rs->Fields("COMMENTS").Value("c3");
    rs->Update();
    rs->MoveNext();
    rs->Delete();
    // The host's own statement rewrites rows behind the recordset's back.
    db_->connection()->ExecuteUpdate("PHOTOS", {{"DEF", true}}, {{"DESCR", "row5"}});

    EXPECT_EQ(walk(*rs),
              (std::vector<std::string>{"row0", "row1", "changed", "row3", "row5", "row2"}));
    rs->SetBookmark(third);
    EXPECT_EQ(descr(*rs), "changed");
    rs->MoveNext();
    EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "c3");
    rs->MoveNext();
    EXPECT_EQ(descr(*rs), "row5");
    EXPECT_TRUE(rs->Fields("DEF").Value().toBool());
    rs->Delete();
    rs->Requery();
    // Without an ORDER BY the engine's own order may change; the rows must not.
    std::vector<std::string> left = walk(*rs);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"changed", "row0", "row1", "row2", "row3"}));
    EXPECT_THROW(rs->GetBookmark(), Error);             // at EOF
    EXPECT_THROW(rs->SetBookmark(Bookmark{5}), Error);  // one past the last row
}

TEST_P(DatabaseTest, KeyedRowsAreFoundAfterAnotherConnectionChangesThem) {
    // A primary key, and a unique key of two non-null columns whose text needs quoting.
    const std::string rest = ", DESCR text, COMMENTS text, PIC " +
                             std::string(GetParam() == "postgresql" ? "bytea" : "BLOB");
    db_->connection()->Execute("CREATE TABLE KEYED (ID integer PRIMARY KEY" + rest + ")");
    db_->connection()->Execute("CREATE TABLE PAIRED (PART text NOT NULL, SEQ integer NOT NULL" +
                               rest + ", UNIQUE (PART, SEQ))");
    for (const std::string table : {"KEYED", "PAIRED"}) {
        for (int i = 0; i < 4; ++i)
            db_->connection()->Execute(
                table == "KEYED"
                    ? "INSERT INTO KEYED (ID, DESCR) VALUES (?, ?)"
                    : "INSERT INTO PAIRED (PART, SEQ, DESCR) VALUES ('a\"{b,c}\\', ?, ?)",
                {Variant(std::int64_t{i}), "row" + std::to_string(i)});
        auto rs = open({}, "", nullptr, table);
        rs->MoveFirst();
        rs->MoveNext();
        const Bookmark second = rs->GetBookmark();
        db_->OpenAnother()->Execute("UPDATE " + table + " SET COMMENTS = ?", {"elsewhere"});

        EXPECT_EQ(walk(*rs), (std::vector<std::string>{"row0", "row1", "row2", "row3"})) << table;
        rs->SetBookmark(second);
        EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "elsewhere") << table;
        rs->MoveFirst();
        rs->Find("DESCR = 'row2'");
        ASSERT_FALSE(rs->EOF()) << table;
        rs->Fields("PIC").Value(Variant(Bytes{7, 8}));
        rs->Update();
        EXPECT_EQ(rs->Fields("PIC").Value(), Variant(Bytes{7, 8})) << table;
        rs->Delete();
        rs->Requery();
        EXPECT_EQ(walk(*rs), (std::vector<std::string>{"row0", "row1", "row3"})) << table;
    }
}

TEST_P(DatabaseTest, PhotoColumnStreamsByteForByteInChunks) {
    // One byte past a whole number of the engines' write pieces: the last piece is one byte.
    Bytes photo(5 * 1024 * 1024 + 1);
    std::mt19937 random(7);
    for (auto& b : photo) b = static_cast<std::uint8_t>(random());
    photo.back() = 0xA5;

    auto rs = open();
    rs->AddNew();
    rs->Fields("CODE").Value("A1");
    rs->Fields("DESCR").Value("Big");
    Field& pic = rs->Fields("PIC");
    const std::int64_t remainder = static_cast<std::int64_t>(photo.size()) % kChunk;
    pic.AppendChunk(Bytes(photo.begin(), photo.begin() + remainder));
    for (auto at = photo.begin() + remainder; at != photo.end(); at += kChunk)
        pic.AppendChunk(Bytes(at, at + kChunk));
    rs->Update();

    auto reader = open({}, "", db_->OpenAnother());
    Field& stored = reader->Fields("PIC");
    ASSERT_EQ(stored.ActualSize(), static_cast<std::int64_t>(photo.size()));
    Bytes back = stored.GetChunk(remainder);
    EXPECT_EQ(static_cast<std::int64_t>(back.size()), remainder);
    for (std::int64_t i = 0; i < stored.ActualSize() / kChunk; ++i) {
        const Bytes chunk = stored.GetChunk(kChunk);
        ASSERT_EQ(static_cast<std::int64_t>(chunk.size()), kChunk);
        back.insert(back.end(), chunk.begin(), chunk.end());
    }
    EXPECT_TRUE(stored.GetChunk(kChunk).empty());
    EXPECT_TRUE(back == photo);

    // A value read partway holds the engine's read lock only until the reader's next
    // statement, so the writer below is not kept waiting.
    reader->Requery();
    EXPECT_EQ(static_cast<std::int64_t>(reader->Fields("PIC").GetChunk(kChunk).size()), kChunk);
    reader->Requery();

    // Replacing the photo of the current row in place, then clearing it.
    rs->Fields("PIC").AppendChunk(Bytes{1, 2, 3});
    rs->Update();
    reader->Requery();
    EXPECT_EQ(reader->Fields("PIC").Value(), Variant(Bytes{1, 2, 3}));
    rs->Fields("PIC").Value(Variant());
    rs->Update();
    reader->Requery();
    EXPECT_EQ(reader->Fields("PIC").ActualSize(), 0);
    EXPECT_TRUE(reader->Fields("PIC").Value().isNull());
    EXPECT_TRUE(reader->Fields("PIC").GetChunk(kChunk).empty());
    EXPECT_EQ(reader->Fields("DESCR").Value().toText(), "Big");
}

// A host's audit trigger sees only the rows an update changes, not every row it matched.
TEST_P(DatabaseTest, UpdatesRewriteOnlyRowsThatChange) {
    add({"A1", "default", "CUST", true});
    add({"A1", "plain", "CUST", false});
    add({"A1", "unset", "CUST", false});
    auto connection = db_->connection();
    connection->Execute("UPDATE PHOTOS SET DEF = NULL WHERE DESCR = 'unset'");
    connection->Execute("CREATE TABLE AUDIT (DESCR text)");
    if (GetParam() == "sqlite") {
        connection->Execute(
            "CREATE TRIGGER PHOTOS_AUDIT AFTER UPDATE ON PHOTOS "
            "BEGIN INSERT INTO AUDIT VALUES (new.DESCR); END");
    } else {
        connection->Execute(
            "CREATE FUNCTION photos_audit() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN INSERT INTO audit VALUES (NEW.descr); RETURN NEW; END $$");
        connection->Execute(
            "CREATE TRIGGER photos_audit AFTER UPDATE ON photos "
            "FOR EACH ROW EXECUTE FUNCTION photos_audit()");
    }
    auto audited = [&] {
        std::vector<std::string> seen;
        auto rs = std::make_unique<Recordset>();
        rs->ActiveConnection(connection);
        rs->Source(Selection{"AUDIT", {}, "DESCR"});
        rs->Open();
        for (; !rs->EOF(); rs->MoveNext()) seen.push_back(rs->Fields("DESCR").Value().toText());
        return seen;
    };

    // Null counts as a value of its own: the unset flag is written, the false one is not.
    connection->ExecuteUpdate("PHOTOS", {{"DEF", false}}, {{"CODE", "A1"}});
    EXPECT_EQ(audited(), (std::vector<std::string>{"default", "unset"}));
    connection->ExecuteUpdate("PHOTOS", {{"DEF", false}}, {{"CODE", "A1"}});
    EXPECT_EQ(audited().size(), 2u);
    // A row changes when any one of the values differs.
    connection->ExecuteUpdate("PHOTOS", {{"DEF", false}, {"COMMENTS", "x"}}, {{"DESCR", "plain"}});
    EXPECT_EQ(audited(), (std::vector<std::string>{"default", "plain", "unset"}));
    connection->ExecuteUpdate("PHOTOS", {{"COMMENTS", Variant()}}, {});
    EXPECT_EQ(audited(), (std::vector<std::string>{"default", "plain", "plain", "unset"}));
    EXPECT_FALSE(open({{"DESCR", "unset"}})->Fields("DEF").Value().toBool());
}

TEST_P(DatabaseTest, WritesTogetherLandOnCommitOnly) {
    add({"A1", "Front", "CUST", true});
    auto connection = db_->connection();
    {
        Connection::WritesTogether writes(*connection);
        connection->ExecuteUpdate("PHOTOS", {{"DEF", false}}, {{"CODE", "A1"}});
        add({"A1", "Side", "CUST", true});
    }  // ended without Commit
    auto rs = open({}, "DESCR");
    EXPECT_EQ(walk(*rs), std::vector<std::string>{"Front"});
    rs->MoveFirst();
    EXPECT_TRUE(rs->Fields("DEF").Value().toBool());
    {
        Connection::WritesTogether writes(*connection);
        connection->ExecuteUpdate("PHOTOS", {{"DEF", false}}, {{"CODE", "A1"}});
        add({"A1", "Side", "CUST", true});
        writes.Commit();
    }
    rs->Requery();
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"Front", "Side"}));
    rs->MoveFirst();
    EXPECT_FALSE(rs->Fields("DEF").Value().toBool());
}

TEST_P(DatabaseTest, StatementsBindValuesOfEveryKind) {
    add({"A1", "x", "CUST", true});
    add({"O'Neil", "it's \"quoted\"", "CUST", true});
    auto connection = db_->connection();
    connection->ExecuteUpdate("photos", {{"def", "0"}, {"COMMENTS", "a 'b' ?c"}},
                              {{"CODE", "O'Neil"}, {"GRP", "CUST"}});
    connection->ExecuteUpdate("PHOTOS", {{"DEF", -1}}, {{"CODE", "A1"}});
    EXPECT_TRUE(open({{"CODE", "A1"}})->Fields("DEF").Value().toBool());
    connection->ExecuteUpdate("PHOTOS", {{"DEF", false}}, {{"CODE", "A1"}});
    connection->Execute("UPDATE PHOTOS SET COMMENTS = 'what?' WHERE CODE = ?", {"A1"});

    auto rs = open({{"CODE", "O'Neil"}});
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(descr(*rs), "it's \"quoted\"");
    EXPECT_FALSE(rs->Fields("DEF").Value().toBool());
    EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "a 'b' ?c");
    auto a1 = open({{"CODE", "A1"}});
    EXPECT_FALSE(a1->Fields("DEF").Value().toBool());
    EXPECT_EQ(a1->Fields("COMMENTS").Value().toText(), "what?");

    connection->ExecuteDelete("PHOTOS", {{"CODE", "O'Neil"}});
    rs->Requery();
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(connection->Engine(), GetParam());
}

TEST_P(DatabaseTest, BadInputGivesClearErrorsAndLosesNothing) {
    add({"A1", "Keep me", "CUST"});
    auto connection = db_->connection();

    auto missing = std::make_unique<Recordset>();
    missing->ActiveConnection(connection);
    for (auto [selection, named] : {std::pair{Selection{"NO_SUCH_TABLE", {}, ""}, "NO_SUCH_TABLE"},
                                    {Selection{"PHOTOS", {{"NO_COL", "x"}}, ""}, "NO_COL"},
                                    {Selection{"PHOTOS", {}, "NO_ORDER"}, "NO_ORDER"}}) {
        missing->Source(selection);
        EXPECT_NE(errorOf([&] { missing->Open(); }).find(named), std::string::npos) << named;
    }
    EXPECT_THROW(missing->RecordCount(), Error);
    for (auto [statement, named] : std::vector<std::pair<std::function<void()>, std::string>>{
             {[&] {
                  connection->ExecuteUpdate("PHOTOS; DROP TABLE PHOTOS", {{"DEF", 0}}, {});
              },
              "invalid table name"},
             {[&] {
                  connection->ExecuteDelete("PHOTOS", {{"CODE' OR '1'='1", "x"}});
              },
              "invalid column name"},
             {[&] {
                  connection->ExecuteUpdate("PHOTOS", {{"NOPE", 1}}, {});
              },
              "NOPE"},
             {[&] { connection->Execute("SELECT * FROM nowhere_at_all"); }, ""}}) {
        const std::string said = errorOf(statement);
        EXPECT_NE(said, "(no error)") << named;
        EXPECT_NE(said.find(named), std::string::npos) << said;
    }

    auto rs = open();
    EXPECT_NE(errorOf([&] { rs->Fields("MISSING"); }).find("MISSING"), std::string::npos);
    EXPECT_THROW(rs->Open(), Error);  // already open
    rs->MoveNext();
    EXPECT_THROW(rs->Fields("DESCR").Value(), Error);  // no current row at EOF
    EXPECT_THROW(rs->Delete(), Error);

    auto reader = open();
    EXPECT_EQ(descr(*reader), "Keep me");

    auto closing = db_->OpenAnother();
    auto onClosed = open({}, "", closing);
    closing->Close();
    EXPECT_FALSE(closing->IsOpen());
    EXPECT_NE(errorOf([&] { closing->Execute("DELETE FROM PHOTOS"); }).find("closed"),
              std::string::npos);
    EXPECT_NE(errorOf([&] { onClosed->Requery(); }).find("closed"), std::string::npos);
    EXPECT_THROW(onClosed->Fields("DESCR").Value(), Error);
    EXPECT_THROW(Recordset().Open(), Error);  // no connection

    reader->Requery();
    EXPECT_EQ(reader->RecordCount(), 1);
    EXPECT_EQ(descr(*reader), "Keep me");
}

TEST_P(DatabaseTest, UnreachableDatabasesAndLocksGiveErrorsNotHangs) {
    EXPECT_THROW(Connection::Open("/nonexistent-folder/sub/photos.db"), Error);
    EXPECT_NE(errorOf([] {
                  Connection::Open("postgresql://127.0.0.1:1/nowhere?connect_timeout=5");
              }).find("cannot connect"),
              std::string::npos);
    if (GetParam() != "sqlite") return;

    // A write refused by another writer's lock keeps what was staged for a retry.
    add({"A1", "Locked", "CUST"});
    auto rs = open();
    rs->AddNew();
    rs->Fields("DESCR").Value("Staged");
    rs->Fields("PIC").AppendChunk(Bytes(100000, 7));
    auto holder = db_->OpenAnother();
    holder->Execute("BEGIN EXCLUSIVE");
    EXPECT_NE(errorOf([&] { rs->Update(); }).find("locked"), std::string::npos);
    holder->Execute("ROLLBACK");
    rs->Update();
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(descr(*rs), "Staged");
    EXPECT_EQ(rs->Fields("PIC").Value(), Variant(Bytes(100000, 7)));
    rs->MoveFirst();
    EXPECT_EQ(descr(*rs), "Locked");
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest, testing::ValuesIn(test::TestBackends()),
                         test::BackendName);

TEST(VariantTest, ConvertsAsAHostClientDoes) {
    for (auto [value, text] : {std::pair{Variant(123), "123"},
                               {Variant(1.5), "1.5"},
                               {Variant(0.1), "0.1"},
                               {Variant(true), "True"},
                               {Variant(false), "False"}})
        EXPECT_EQ(value.toText(), text);
    for (auto [value, truth] : {std::pair{Variant(std::int64_t{-1}), true},
                                {Variant(0), false},
                                {Variant("TRUE"), true},
                                {Variant("false"), false},
                                {Variant("1"), true},
                                {Variant("0"), false}})
        EXPECT_EQ(value.toBool(), truth);
    EXPECT_THROW(Variant("maybe").toBool(), Error);
    EXPECT_EQ(Variant(" 42 ").toInt(), 42);
    EXPECT_DOUBLE_EQ(Variant("2.25").toDouble(), 2.25);
    EXPECT_THROW(Variant().toText(), Error);
    EXPECT_THROW(Variant().toBool(), Error);
    EXPECT_THROW(Variant().toInt(), Error);
    EXPECT_THROW(Variant(1).bytes(), Error);
}

}  // namespace
}  // namespace kelvo
