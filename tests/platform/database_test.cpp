// Recordset, Field and Connection behaviour against real SQLite and PostgreSQL databases, and
// values and texts converted and shown as a host client does.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <random>

#include "platform/db/database.h"
#include "platform/text.h"
#include "support/test_db.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

using test::FailsSaying;
using test::TestDatabase;

constexpr std::int64_t kChunk = 16384;

class DatabaseTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        db_ = std::make_unique<TestDatabase>(GetParam());
        db_->CreatePhotoTable();
    }

    void add(const std::string& code, const std::string& descr, const Variant& def = false,
             const std::string& group = "CUST") {
        db_->connection()->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF) VALUES (?, ?, ?, ?, ?)",
            {code, descr, group, Variant(), def});
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
    // The count and where the cursor stands: "3 Side", "3 BOF", "0 BOF EOF".
    static std::string state(Recordset& rs) {
        std::string at = std::to_string(rs.RecordCount());
        if (rs.BOF()) at += " BOF";
        if (rs.EOF()) at += " EOF";
        return rs.BOF() || rs.EOF() ? at : at + " " + descr(rs);
    }

    // Every DESCR of the set, walking from the first row.
    static std::vector<std::string> walk(Recordset& rs) {
        std::vector<std::string> seen;
        if (rs.RecordCount() == 0) return seen;
        for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext()) seen.push_back(descr(rs));
        return seen;
    }

    std::unique_ptr<TestDatabase> db_;
};

TEST_P(DatabaseTest, CountsAndMovementOnEmptyOneAndManyRows) {
    auto empty = open();
    EXPECT_EQ(state(*empty), "0 BOF EOF");
    EXPECT_THROW(empty->MoveNext(), Error);
    EXPECT_THROW(empty->MoveFirst(), Error);

    add("A1", "Front");
    auto one = open();
    EXPECT_EQ(state(*one), "1 Front");
    EXPECT_TRUE(one->Fields("COMMENTS").Value().isNull());
    one->MoveNext();
    EXPECT_EQ(state(*one), "1 EOF");
    EXPECT_THROW(one->MoveNext(), Error);

    add("A1", "Back", true);
    add("A1", "Side");
    add("B2", "Other owner");
    add("A1", "Other group", false, "SUPP");
    auto many = open({{"CODE", "A1"}, {"GRP", "CUST"}}, "DESCR");
    EXPECT_EQ(walk(*many), (std::vector<std::string>{"Back", "Front", "Side"}));
    for (const char* expected : {"3 Side", "3 Front", "3 Back", "3 BOF"}) {
        many->MovePrevious();
        EXPECT_EQ(state(*many), expected);
    }
    EXPECT_THROW(many->MovePrevious(), Error);
    many->MoveLast();
    EXPECT_EQ(state(*many), "3 Side");
    EXPECT_FALSE(many->Fields("def").Value().toBool());  // names without regard to case
}

TEST_P(DatabaseTest, FindSearchesForwardAndFilterRestrictsTheSet) {
    for (const char* d : {"Front", "Back", "O'Brien's car", "Side", "back"}) add("123", d);
    add("X9", "Front");
    add("U1", "été à Genève");
    auto rs = open();
    const auto find = [&](const char* criterion) {
        rs->Find(criterion);
        return state(*rs);
    };
    EXPECT_EQ(find("DESCR='BACK'"), "7 Back");
    EXPECT_EQ(find("DESCR='back'"), "7 Back");  // the current row itself matches
    rs->MoveNext();
    EXPECT_EQ(find("descr = 'BACK'"), "7 back");
    rs->Find("DESCR='FRONT'");  // Front (first row) lies behind, X9's Front ahead
    EXPECT_EQ(rs->Fields("CODE").Value().toText(), "X9");
    EXPECT_EQ(find("DESCR='NOWHERE'"), "7 EOF");

    // Quotes inside a text value come plain or doubled.
    for (auto [criterion, found] : {std::pair{"DESCR='O'BRIEN'S CAR'", "O'Brien's car"},
                                    {"DESCR = 'o''Brien''s car'", "O'Brien's car"},
                                    {"DESCR='ÉTÉ À GENÈVE'", "été à Genève"}}) {
        rs->Filter("");
        EXPECT_EQ(find(criterion), std::string("7 ") + found);
        rs->Filter(criterion);
        EXPECT_EQ(state(*rs), std::string("1 ") + found);
    }
    rs->Filter("CODE=123");
    EXPECT_EQ(state(*rs) + " " + rs->Filter(), "5 Front CODE=123");
    rs->Filter("DESCR='back'");
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"Back", "back"}));
    rs->Filter("CODE=1.5");
    EXPECT_EQ(state(*rs), "0 BOF EOF");
    rs->Filter("");
    EXPECT_EQ(walk(*rs).size(), 7u);
    for (const char* bad : {"CODE=A1", "DESCR='Front", "DESCR", "NOPE='x'", "=1", "DESCR=''x"}) {
        EXPECT_THROW(rs->Filter(bad), Error) << bad;
        EXPECT_THROW(rs->Find(bad), Error) << bad;
    }
    EXPECT_TRUE(FailsSaying("CODE=A1", [&] { rs->Filter("CODE=A1"); }));
    EXPECT_TRUE(FailsSaying("NOPE", [&] { rs->Find("NOPE='x'"); }));
    EXPECT_EQ(rs->RecordCount(), 7);  // a refused filter leaves the set as it was
}

TEST_P(DatabaseTest, FindFirstTrueLandsOnTheNextFlaggedRowOfTheSet) {
    for (const char* d : {"a", "b", "c", "d", "e"}) add("1", d, *d == 'b' || *d == 'd');
    add("2", "0", true);  // another owner's flag is outside the set
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

    rs->MoveFirst();
    rs->MoveNext();
    rs->Fields("DEF").Value(false);  // a flag written after Open counts
    rs->Update();
    rs->MoveFirst();
    EXPECT_EQ(next(), "d");
    rs->Fields("DESCR").Value("d2");  // written on the way, so the found row shows it
    EXPECT_EQ(next(), "d2");
    rs->Filter("DEF=0");  // a number matches itself only, not the greater true
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"a", "b", "c", "e"}));
}

TEST_P(DatabaseTest, ChangesAreSeenAfterRequeryAndGroupedReadsLeaveTheHostsTransactionOpen) {
    add("A1", "First");
    add("A1", "Second");
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
    EXPECT_EQ(state(*rs), "3 Third");  // the new row is current
    EXPECT_TRUE(rs->Fields("DEF").Value().toBool());
    rs->MoveNext();
    EXPECT_EQ(state(*rs), "3 EOF");  // and last
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
        EXPECT_EQ(walk(*seen), (std::vector<std::string>{"First", "Third"}));
        seen->MoveFirst();
        EXPECT_EQ(seen->Fields("COMMENTS").Value().toText(), "edited");
    }

    // Grouped reads keep no lock: another connection writes at once, and rows read together are
    // read again. (On PostgreSQL a row of a table without a key gets a new identity instead.)
    {
        const Connection::ReadsTogether outer(db_->connection().get());
        const Connection::ReadsTogether inner(db_->connection().get());
        EXPECT_EQ(walk(*same), (std::vector<std::string>{"First", "Third"}));
    }
    db_->OpenAnother()->Execute("UPDATE PHOTOS SET COMMENTS = ?", {"elsewhere"});
    if (GetParam() == "sqlite") {
        same->MoveFirst();
        EXPECT_EQ(same->Fields("COMMENTS").Value().toText(), "elsewhere");
    }
    // Reads grouped inside the host's own transaction neither commit nor end it.
    db_->connection()->Execute("BEGIN");
    add("A1", "Fourth");
    {
        const Connection::ReadsTogether reads(db_->connection().get());
        same->Requery();
        EXPECT_EQ(walk(*same), (std::vector<std::string>{"First", "Fourth", "Third"}));
    }
    db_->connection()->Execute("ROLLBACK");
    same->Requery();
    EXPECT_EQ(same->RecordCount(), 2);
    // A connection closed while its reads are grouped, or none at all, is harmless.
    auto closing = db_->OpenAnother();
    const Connection::ReadsTogether reads(closing.get()), none(nullptr);
    EXPECT_EQ(open({}, "", closing)->RecordCount(), 2);
    closing->Close();
}

TEST_P(DatabaseTest, RowIdentitiesSurviveChangesWithOrWithoutAKey) {
    // No key, a primary key, and a unique key of two non-null columns whose text needs quoting.
    const std::string rest = ", DESCR text, COMMENTS text, PIC " +
                             std::string(GetParam() == "postgresql" ? "bytea" : "BLOB");
    db_->connection()->Execute("CREATE TABLE LOOSE (N integer" + rest + ")");
    db_->connection()->Execute("CREATE TABLE KEYED (N integer PRIMARY KEY" + rest + ")");
    db_->connection()->Execute("CREATE TABLE PAIRED (P text NOT NULL, N integer NOT NULL" + rest +
                               ", UNIQUE (P, N))");
    for (const std::string table : {"LOOSE", "KEYED", "PAIRED"}) {
        SCOPED_TRACE(table);
        for (int i = 0; i < 7; ++i)  // the same values twice
            db_->connection()->Execute(
                table == "PAIRED" ? "INSERT INTO PAIRED (P, N, DESCR) VALUES ('a\"{b,c}\\', ?, ?)"
                                  : "INSERT INTO " + table + " (N, DESCR) VALUES (?, ?)",
                {Variant(std::int64_t{i}), "row" + std::to_string(i == 6 ? 2 : i)});
        auto rs = open({}, "", nullptr, table);
        rs->MoveNext();
        rs->MoveNext();
        const Bookmark third = rs->GetBookmark();
        rs->Fields("DESCR").Value("changed");
        rs->Update();
        rs->MoveNext();
        rs->Fields("PIC").Value(Variant(Bytes{7, 8}));
        rs->Update();
        rs->MoveNext();
        rs->Delete();
        // Rows rewritten behind the recordset's back: by the host on its own connection, or
        // where a key names them (on PostgreSQL a keyless row gets a new identity) by another.
        (table == "LOOSE" && GetParam() == "postgresql" ? db_->connection() : db_->OpenAnother())
            ->ExecuteUpdate(table, {{"COMMENTS", "elsewhere"}}, {{"DESCR", "row5"}});
        EXPECT_EQ(walk(*rs),
                  (std::vector<std::string>{"row0", "row1", "changed", "row3", "row5", "row2"}));
        rs->SetBookmark(third);
        EXPECT_EQ(descr(*rs), "changed");
        rs->MoveNext();
        EXPECT_EQ(rs->Fields("PIC").Value(), Variant(Bytes{7, 8}));
        rs->MoveNext();
        EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "elsewhere");
        rs->Delete();
        rs->Requery();
        // Without an ORDER BY the engine's own order may change; the rows must not.
        std::vector<std::string> left = walk(*rs);
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"changed", "row0", "row1", "row2", "row3"}));
        EXPECT_THROW(rs->GetBookmark(), Error);             // at EOF
        EXPECT_THROW(rs->SetBookmark(Bookmark{5}), Error);  // one past the last row
    }
}

TEST_P(DatabaseTest, PhotoColumnStreamsByteForByteInChunks) {
    // One byte past a whole number of the engines' write pieces: the last piece is one byte.
    Bytes photo(5 * 1024 * 1024 + 1);
    std::mt19937 random(7);
    for (auto& b : photo) b = static_cast<std::uint8_t>(random());
    photo.back() = 0xA5;

    auto rs = open();
    const auto addBig = [&](Recordset& into, const char* code) {
        into.AddNew();
        into.Fields("CODE").Value(code);
        into.Fields("DESCR").Value("Big");
        Field& pic = into.Fields("PIC");
        const std::int64_t remainder = static_cast<std::int64_t>(photo.size()) % kChunk;
        pic.AppendChunk(Bytes(photo.begin(), photo.begin() + remainder));
        for (auto at = photo.begin() + remainder; at != photo.end(); at += kChunk)
            pic.AppendChunk(Bytes(at, at + kChunk));
        into.Update();
    };
    {
        // What an undone write made on the way must not stand in the way of the next one.
        Connection::WritesTogether undone(*db_->connection());
        addBig(*open(), "B2");
    }
    addBig(*rs, "A1");
    const auto storedIsPhoto = [&](const char* code) {
        auto one = open({{"CODE", code}}, "", db_->OpenAnother());
        Field& stored = one->Fields("PIC");
        EXPECT_EQ(stored.ActualSize(), static_cast<std::int64_t>(photo.size()));
        Bytes back;
        for (Bytes chunk; !(chunk = stored.GetChunk(kChunk)).empty();)
            back.insert(back.end(), chunk.begin(), chunk.end());
        EXPECT_TRUE(back == photo) << code;
    };
    storedIsPhoto("A1");
    if (GetParam() == "postgresql") {
        // A role that may not make temporary tables still saves a large photo.
        const std::string role = "kelvo_no_temp_" + std::to_string(::getpid());
        db_->connection()->Execute("CREATE ROLE " + role + " LOGIN");
        db_->connection()->Execute("GRANT ALL ON photos TO " + role);
        db_->connection()->Execute(
            "DO $$BEGIN EXECUTE format('REVOKE TEMPORARY ON DATABASE %I "
            "FROM PUBLIC', current_database()); END$$");
        addBig(*open({}, "", Connection::Open(db_->target() + "?user=" + role)), "C3");
        storedIsPhoto("C3");
        db_->connection()->Execute("DROP OWNED BY " + role);
        db_->connection()->Execute("DROP ROLE " + role);
    }
    auto reader = open({{"CODE", "A1"}}, "", db_->OpenAnother());
    // A value read partway holds its read lock only until the reader's next statement, so the
    // writer replacing and then clearing the photo below is not kept waiting.
    reader->Requery();
    EXPECT_EQ(static_cast<std::int64_t>(reader->Fields("PIC").GetChunk(kChunk).size()), kChunk);
    reader->Requery();
    rs->Fields("PIC").AppendChunk(Bytes{1, 2, 3});
    rs->Update();
    reader->Requery();
    EXPECT_EQ(reader->Fields("PIC").Value(), Variant(Bytes{1, 2, 3}));
    rs->Fields("PIC").Value(Variant());
    rs->Update();
    reader->Requery();
    EXPECT_EQ(reader->Fields("PIC").ActualSize(), 0);
    EXPECT_TRUE(reader->Fields("PIC").Value().isNull());
}

// A host's audit trigger sees only the rows an update changes, not every row it matched.
TEST_P(DatabaseTest, UpdatesRewriteOnlyRowsThatChange) {
    add("A1", "default", true);
    add("A1", "plain", false);
    add("A1", "unset", Variant());
    auto connection = db_->connection();
    connection->Execute("CREATE TABLE AUDIT (DESCR text)");
    const bool pg = GetParam() == "postgresql";
    if (pg)
        connection->Execute(
            "CREATE FUNCTION photos_audit() RETURNS trigger LANGUAGE plpgsql AS "
            "$$ BEGIN INSERT INTO audit VALUES (NEW.descr); RETURN NEW; END $$");
    connection->Execute(std::string("CREATE TRIGGER PHOTOS_AUDIT AFTER UPDATE ON PHOTOS ") +
                        (pg ? "FOR EACH ROW EXECUTE FUNCTION photos_audit()"
                            : "BEGIN INSERT INTO AUDIT VALUES (new.DESCR); END"));
    const auto audited = [&] { return walk(*open({}, "DESCR", nullptr, "AUDIT")); };
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

TEST_P(DatabaseTest, StatementsBindEveryValueWritesTogetherLandOnCommitOnlyTablesChangeShape) {
    add("O'Neil", "it's \"quoted\"", true);
    auto connection = db_->connection();
    connection->ExecuteUpdate("photos", {{"def", "0"}, {"COMMENTS", "a 'b' ?c"}},
                              {{"CODE", "O'Neil"}, {"GRP", "CUST"}});
    for (bool commit : {false, true}) {
        Connection::WritesTogether writes(*connection);
        add("A1", "x", false);
        connection->ExecuteUpdate("PHOTOS", {{"DEF", -1}}, {{"CODE", "A1"}});
        if (commit) writes.Commit();
    }
    connection->Execute("UPDATE PHOTOS SET COMMENTS = 'what?' WHERE CODE = ?", {"A1"});
    auto a1 = open({{"CODE", "A1"}});
    EXPECT_EQ(state(*a1), "1 x");  // the writes not committed are gone
    EXPECT_TRUE(a1->Fields("DEF").Value().toBool());
    EXPECT_EQ(a1->Fields("COMMENTS").Value().toText(), "what?");
    auto rs = open({{"CODE", "O'Neil"}});
    EXPECT_EQ(descr(*rs), "it's \"quoted\"");
    EXPECT_FALSE(rs->Fields("DEF").Value().toBool());
    EXPECT_EQ(rs->Fields("COMMENTS").Value().toText(), "a 'b' ?c");
    connection->ExecuteDelete("PHOTOS", {{"CODE", "O'Neil"}});
    rs->Requery();
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(connection->Engine(), GetParam());

    // The connection keeps its statements planned and its tables known: they must follow a
    // table made again in another shape, whether an open recordset reads it or a new one
    // looks it up, and a table another connection alters.
    connection->Execute("DROP TABLE PHOTOS");
    connection->Execute(std::string("CREATE TABLE PHOTOS (CODE text, DESCR integer, GRP text, "
                                    "COMMENTS text, DEF boolean, PIC ") +
                        (GetParam() == "sqlite" ? "blob)" : "bytea)"));
    connection->Execute("INSERT INTO PHOTOS (CODE, DESCR) VALUES (?, ?)", {"A1", 42});
    a1->Requery();
    EXPECT_EQ(a1->Fields("DESCR").Value().toInt(), 42);
    EXPECT_EQ(open()->Fields("DESCR").Value().toInt(), 42);
    auto other = db_->OpenAnother();
    other->Execute("ALTER TABLE PHOTOS RENAME COLUMN COMMENTS TO NOTES");
    EXPECT_TRUE(open()->Fields("NOTES").Value().isNull());
    other->Execute("ALTER TABLE PHOTOS RENAME COLUMN NOTES TO REMARKS");
    connection->ExecuteUpdate("PHOTOS", {{"REMARKS", "new"}}, {{"CODE", "A1"}});
    EXPECT_EQ(open()->Fields("REMARKS").Value().toText(), "new");
}

TEST_P(DatabaseTest, BadInputAndUnreachableDatabasesGiveClearErrorsAndLoseNothing) {
    add("A1", "Keep me");
    auto connection = db_->connection();
    Recordset missing;
    missing.ActiveConnection(connection);
    for (auto [selection, named] : {std::pair{Selection{"NO_SUCH_TABLE", {}, ""}, "NO_SUCH_TABLE"},
                                    {Selection{"PHOTOS", {{"NO_COL", "x"}}, ""}, "NO_COL"},
                                    {Selection{"PHOTOS", {}, "NO_ORDER"}, "NO_ORDER"}}) {
        missing.Source(selection);
        EXPECT_TRUE(FailsSaying(named, [&] { missing.Open(); }));
    }
    EXPECT_THROW(missing.RecordCount(), Error);
    EXPECT_TRUE(FailsSaying("invalid table name", [&] {
        connection->ExecuteUpdate("PHOTOS; DROP TABLE PHOTOS", {{"DEF", 0}}, {});
    }));
    EXPECT_TRUE(FailsSaying("invalid column name", [&] {
        connection->ExecuteDelete("PHOTOS", {{"CODE' OR '1'='1", "x"}});
    }));
    EXPECT_THROW(connection->Execute("SELECT * FROM nowhere_at_all"), Error);

    auto rs = open();
    EXPECT_TRUE(FailsSaying("MISSING", [&] { rs->Fields("MISSING"); }));
    EXPECT_THROW(rs->Open(), Error);  // already open
    rs->MoveNext();
    EXPECT_THROW(rs->Fields("DESCR").Value(), Error);  // no current row at EOF
    EXPECT_THROW(rs->Delete(), Error);
    EXPECT_THROW(Recordset().Open(), Error);  // no connection

    auto closing = db_->OpenAnother();
    auto onClosed = open({}, "", closing);
    closing->Close();
    EXPECT_FALSE(closing->IsOpen());
    EXPECT_TRUE(FailsSaying("closed", [&] { closing->Execute("DELETE FROM PHOTOS"); }));
    EXPECT_TRUE(FailsSaying("closed", [&] { onClosed->Requery(); }));
    EXPECT_THROW(onClosed->Fields("DESCR").Value(), Error);
    EXPECT_THROW(Connection::Open("/nonexistent-folder/sub/photos.db"), Error);
    EXPECT_TRUE(FailsSaying("cannot connect", [] {
        Connection::Open("postgresql://127.0.0.1:1/nowhere?connect_timeout=5");
    }));
    rs->Requery();
    EXPECT_EQ(walk(*rs), std::vector<std::string>{"Keep me"});
    if (GetParam() != "sqlite") return;

    // A write refused by another writer's lock keeps what was staged for a retry.
    rs->AddNew();
    rs->Fields("DESCR").Value("Staged");
    rs->Fields("PIC").AppendChunk(Bytes(100000, 7));
    auto holder = db_->OpenAnother();
    holder->Execute("BEGIN EXCLUSIVE");
    EXPECT_TRUE(FailsSaying("locked", [&] { rs->Update(); }));
    holder->Execute("ROLLBACK");
    rs->Update();
    EXPECT_EQ(descr(*rs), "Staged");
    EXPECT_EQ(rs->Fields("PIC").Value(), Variant(Bytes(100000, 7)));
    EXPECT_EQ(walk(*rs), (std::vector<std::string>{"Keep me", "Staged"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, DatabaseTest, testing::ValuesIn(test::TestBackends()),
                         test::BackendName);

TEST(Text, ValuesConvertAndTextsShowAsAHostClientDoes) {
    const std::pair<Variant, const char*> texts[] = {
        {123, "123"}, {1.5, "1.5"}, {0.1, "0.1"}, {true, "True"}, {false, "False"}};
    for (auto [value, text] : texts) EXPECT_EQ(value.toText(), text);
    const std::pair<Variant, bool> truths[] = {
        {std::int64_t{-1}, true}, {"TRUE", true}, {"1", true}, {0, false}, {"false", false}};
    for (auto [value, truth] : truths) EXPECT_EQ(value.toBool(), truth);
    EXPECT_EQ(Variant(" 42 ").toInt(), 42);
    EXPECT_DOUBLE_EQ(Variant("2.25").toDouble(), 2.25);
    EXPECT_THROW(Variant("maybe").toBool(), Error);
    EXPECT_THROW(Variant().toText(), Error);
    EXPECT_THROW(Variant().toInt(), Error);
    EXPECT_THROW(Variant(1).bytes(), Error);

    using Texts = std::pair<const char*, const char*>;
    // Text that is not UTF-8 is upper-cased letter by letter.
    const Texts upper[] = {{"a lazy zebra", "A LAZY ZEBRA"},
                           {"élan ÿ ωμέγα", "ÉLAN Ÿ ΩΜΈΓΑ"},
                           {"straße", "STRASSE"},
                           {"O'Brien", "O'BRIEN"},
                           {"", ""},
                           {"az\xff", "AZ\xff"}};
    for (auto [text, expected] : upper) EXPECT_EQ(UCase(text), expected);
    const Texts trimmed[] = {{"  \tfront view \t ", "front view"}, {" \t ", ""}, {"a", "a"}};
    for (auto [text, expected] : trimmed) EXPECT_EQ(Trim(text), expected);
    using Number = std::pair<double, const char*>;
    const Number shown[] = {{1.5, "1.5"}, {1.0, "1"},   {900.5, "900.5"}, {0.0, "0"},
                            {-0.0, "0"},  {0.1, "0.1"}, {-2.25, "-2.25"}};
    for (auto [number, expected] : shown) EXPECT_EQ(NumberText(number), expected);
    // Rounded half up, not cut.
    const Number twoDecimals[] = {{1.5, "1.50"},           {0.0, "0.00"},
                                  {2053.0 / 1024, "2.00"}, {2054.0 / 1024, "2.01"},
                                  {1.005, "1.01"},         {123456.789, "123456.79"}};
    for (auto [number, expected] : twoDecimals) EXPECT_EQ(TwoDecimals(number), expected);
}

}  // namespace
}  // namespace kelvo
