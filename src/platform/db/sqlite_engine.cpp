// SQLite engine: rows are known by rowid; binary columns move through the incremental
// blob API, so a photo is never held whole here.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "platform/db/engine.h"
#include "platform/db/sqlite_wire.h"
#include "platform/text.h"

namespace kelvo {
namespace {

using namespace sqlite;

constexpr int kBusyTimeoutMs = 5000;
constexpr std::size_t kWritePiece = 64 * 1024;
constexpr std::size_t kKeptStatements = 64;

class SqliteEngine : public Engine {
  public:
    explicit SqliteEngine(const std::string& path) {
        const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            throw Error("cannot open SQLite database \"" + path + "\": " + message);
        }
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        sqlite3_extended_result_codes(db_, 0);
    }
    ~SqliteEngine() override {
        reading_.reset();
        forgetStatements();
        sqlite3_close_v2(db_);
    }

    std::string Name() const override { return "sqlite"; }

    // A write transaction already keeps every other writer out.
    void WaitForWritersOf(const std::string& key) override { (void)key; }

    TableInfo Table(const std::string& name) override {
        CheckTableName(name);
        const std::int64_t version = schemaVersion();
        if (version != tablesVersion_) {
            tables_.clear();
            tablesVersion_ = version;
        }
        const std::string key = UCase(name);
        auto known = tables_.find(key);
        if (known == tables_.end()) known = tables_.emplace(key, readTable(name)).first;
        return known->second;
    }

    RowKeys SelectKeys(const TableInfo& table, const std::vector<BoundValue>& where,
                       const ColumnInfo* orderBy) override {
        std::string sql = "SELECT rowid FROM " + QuoteTableName(table.name);
        if (!where.empty()) sql += " WHERE " + EqualityList(where, " AND ", numbered, 1);
        sql += " ORDER BY ";
        if (orderBy) sql += QuoteIdentifier(orderBy->name) + ", ";
        sql += "rowid";
        Statement select = prepared(sql);
        select.bindAll(where, 1);
        RowKeys keys;
        while (select.step()) keys.push_back(select.column(0));
        return keys;
    }

    std::vector<std::optional<std::vector<Variant>>> FetchRows(
        const TableInfo& table, const std::vector<RowKey>& keys) override {
        std::string slots;
        for (std::size_t i = 0; i < keys.size(); ++i)
            slots += (i ? ", " : "") + numbered(static_cast<int>(i) + 1);
        Statement select = prepared("SELECT rowid, " + ValueColumnList(table) + " FROM " +
                                    QuoteTableName(table.name) + " WHERE rowid IN (" + slots + ")");
        for (std::size_t i = 0; i < keys.size(); ++i) select.bind(static_cast<int>(i) + 1, keys[i]);
        std::map<std::string, std::vector<Variant>> byKey;
        while (select.step()) byKey.emplace(select.column(0).toText(), rowValues(table, select));
        return InKeyOrder(keys, byKey);
    }

    std::vector<Variant> ColumnValues(const TableInfo& table, const std::vector<RowKey>& keys,
                                      const ColumnInfo& column) override {
        Statement select = prepared("SELECT " + QuoteIdentifier(column.name) + " FROM " +
                                    QuoteTableName(table.name) + " WHERE rowid = ?1");
        std::vector<Variant> values;
        for (const RowKey& key : keys) {
            select.reset();
            select.bind(1, key);
            values.push_back(select.step() ? select.column(0) : Variant());
        }
        return values;
    }

    // Any stored type: a value equal to 0 is numeric zero or the text "0" in a text column,
    // and neither reads as true.
    std::optional<std::vector<std::pair<RowKey, std::vector<Variant>>>> RowsNotFalse(
        const TableInfo& table, const std::vector<BoundValue>& where,
        const ColumnInfo& column) override {
        if (column.kind == ColumnKind::Binary) return std::nullopt;
        const std::string name = QuoteIdentifier(column.name);
        std::string sql = "SELECT rowid, " + ValueColumnList(table) + " FROM " +
                          QuoteTableName(table.name) + " WHERE ";
        if (!where.empty()) sql += EqualityList(where, " AND ", numbered, 1) + " AND ";
        Statement select = prepared(sql + name + " IS NOT NULL AND " + name + " <> 0");
        select.bindAll(where, 1);
        std::vector<std::pair<RowKey, std::vector<Variant>>> rows;
        while (select.step()) rows.emplace_back(select.column(0), rowValues(table, select));
        return rows;
    }

    RowKey InsertRow(const TableInfo& table, const std::vector<BoundValue>& values,
                     const std::vector<BlobWrite>& blobs) override {
        return inSavepoint([&] {
            std::string names, slots;
            int n = 0;
            for (const BoundValue& value : values) {
                names += (n ? ", " : "") + QuoteIdentifier(value.column.name);
                slots += (n ? ", " : "") + numbered(n + 1);
                ++n;
            }
            for (const BlobWrite& blob : blobs) {
                names += (n ? ", " : "") + QuoteIdentifier(blob.column.name);
                slots += (n ? ", zeroblob(" : "zeroblob(") + numbered(n + 1) + ")";
                ++n;
            }
            const std::string sql =
                "INSERT INTO " + QuoteTableName(table.name) +
                (n ? " (" + names + ") VALUES (" + slots + ")" : " DEFAULT VALUES");
            Statement insert = prepared(sql);
            insert.bindAll(values, 1);
            bindSizes(insert, blobs, static_cast<int>(values.size()) + 1);
            insert.run();
            const std::int64_t rowid = sqlite3_last_insert_rowid(db_);
            writeBlobs(table, rowid, blobs);
            return RowKey(rowid);
        });
    }

    RowKey UpdateRow(const TableInfo& table, const RowKey& key,
                     const std::vector<BoundValue>& values,
                     const std::vector<BlobWrite>& blobs) override {
        return inSavepoint([&] {
            std::string set = EqualityList(values, ", ", numbered, 1);
            int n = static_cast<int>(values.size());
            for (const BlobWrite& blob : blobs) {
                set += (n ? ", " : "") + QuoteIdentifier(blob.column.name) + " = zeroblob(" +
                       numbered(n + 1) + ")";
                ++n;
            }
            Statement update = prepared("UPDATE " + QuoteTableName(table.name) + " SET " + set +
                                        " WHERE rowid = " + numbered(n + 1));
            update.bindAll(values, 1);
            bindSizes(update, blobs, static_cast<int>(values.size()) + 1);
            update.bind(n + 1, key);
            update.run();
            if (sqlite3_changes(db_) != 1) RowGone(table);
            writeBlobs(table, key.toInt(), blobs);
            return key;
        });
    }

    void DeleteRow(const TableInfo& table, const RowKey& key) override {
        Statement remove =
            prepared("DELETE FROM " + QuoteTableName(table.name) + " WHERE rowid = ?1");
        remove.bind(1, key);
        remove.run();
        if (sqlite3_changes(db_) != 1) RowGone(table);
    }

    // The value itself is left to the blob handles of ReadBlob.
    BlobStart StartBlob(const TableInfo& table, const RowKey& key,
                        const ColumnInfo& column) override {
        // length() counts a text's characters, so a text is measured as the bytes it holds;
        // a blob's length comes from its header without reading it.
        const std::string name = QuoteIdentifier(column.name);
        Statement kind =
            prepared("SELECT typeof(" + name + "), CASE typeof(" + name +
                     ") WHEN 'text' THEN length(CAST(" + name + " AS BLOB)) ELSE length(" + name +
                     ") END FROM " + QuoteTableName(table.name) + " WHERE rowid = ?1");
        kind.bind(1, key);
        if (!kind.step()) RowGone(table);
        if (kind.column(0).toText() == "null") return {};
        return {kind.column(1).toInt(), std::nullopt};
    }

    // Each blob handle walks the value's page chain from its start, so read in large pieces
    // rather than one handle per 16 KB chunk; the piece stays bounded whatever the photo.
    std::int64_t ReadAhead(std::int64_t) const override { return std::int64_t{1} << 20; }

    Bytes ReadBlob(const TableInfo& table, const RowKey& key, const ColumnInfo& column,
                   std::int64_t offset, std::int64_t length) override {
        BlobHandle& blob = blobBeingRead(table, column, key.toInt());
        try {
            const std::int64_t available = std::max<std::int64_t>(0, blob.size() - offset);
            Bytes bytes(static_cast<std::size_t>(std::min(length, available)));
            if (!bytes.empty())
                blob.read(bytes.data(), static_cast<int>(bytes.size()), static_cast<int>(offset));
            if (offset + static_cast<std::int64_t>(bytes.size()) >= blob.size()) reading_.reset();
            return bytes;
        } catch (...) {
            reading_.reset();
            throw;
        }
    }

    void Execute(const std::string& sql, const std::vector<Variant>& params) override {
        reading_.reset();
        const char* rest = sql.c_str();
        std::size_t used = 0;
        while (rest && *rest) {
            sqlite3_stmt* raw = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(db_, rest, -1, &raw, &tail) != SQLITE_OK)
                throw Error(sqlite3_errmsg(db_));
            rest = tail;
            if (!raw) continue;  // blank or a comment
            Statement statement(db_, raw);
            const int count = statement.parameterCount();
            if (used + static_cast<std::size_t>(count) > params.size())
                throw Error("the statement has more ? parameters than values given");
            for (int i = 1; i <= count; ++i) statement.bind(i, params[used++]);
            statement.run();
        }
        if (used != params.size())
            throw Error("more values given than the statement has ? parameters");
    }

    void ExecuteUpdate(const TableInfo& table, const std::vector<BoundValue>& set,
                       const std::vector<BoundValue>& where) override {
        std::string sql = "UPDATE " + QuoteTableName(table.name) + " SET " +
                          EqualityList(set, ", ", numbered, 1) + " WHERE " +
                          DifferenceList(set, "IS NOT", numbered, 1);
        if (!where.empty())
            sql +=
                " AND " + EqualityList(where, " AND ", numbered, static_cast<int>(set.size()) + 1);
        Statement update = prepared(sql);
        update.bindAll(set, 1);
        update.bindAll(where, static_cast<int>(set.size()) + 1);
        update.run();
    }

    void ExecuteDelete(const TableInfo& table, const std::vector<BoundValue>& where) override {
        std::string sql = "DELETE FROM " + QuoteTableName(table.name);
        if (!where.empty()) sql += " WHERE " + EqualityList(where, " AND ", numbered, 1);
        Statement remove = prepared(sql);
        remove.bindAll(where, 1);
        remove.run();
    }

  private:
    // A schema-qualified name is looked up in that attached database only.
    TableInfo readTable(const std::string& name) {
        const auto [schema, unqualified] = SplitTableName(name);
        const std::string master =
            schema.empty() ? "sqlite_master" : QuoteIdentifier(schema) + ".sqlite_master";
        TableInfo table;
        Statement find = prepared("SELECT name FROM " + master +
                                  " WHERE type IN ('table','view') "
                                  "AND name = ?1 COLLATE NOCASE ORDER BY name = ?1 DESC");
        find.bind(1, Variant(unqualified));
        if (!find.step()) throw Error("table \"" + name + "\" does not exist");
        const std::string found = find.column(0).toText();
        table.name = schema.empty() ? found : schema + "." + found;

        Statement columns =
            prepared(schema.empty() ? "SELECT name, type FROM pragma_table_info(?1)"
                                    : "SELECT name, type FROM pragma_table_info(?1, ?2)");
        columns.bind(1, Variant(found));
        if (!schema.empty()) columns.bind(2, Variant(schema));
        while (columns.step())
            table.columns.push_back(
                {columns.column(0).toText(),
                 kindOfDeclared(columns.column(1).isNull() ? "" : columns.column(1).toText())});
        return table;
    }

    // data_version moves with other connections' commits, total_changes with this one's.
    // Within reads of our own transaction other connections' commits stay out of sight.
    std::optional<std::uint64_t> DataVersion() override {
        std::uint64_t others = versionInReads_.value_or(0);
        if (!versionInReads_) {
            Statement version = prepared("PRAGMA data_version");
            others = version.step() ? version.column(0).toInt() : 0;
            if (ownsReads_) versionInReads_ = others;
        }
        return (others << 32) + static_cast<std::uint64_t>(sqlite3_total_changes64(db_));
    }

    // Outside a transaction each statement takes and drops the file's shared lock and checks
    // for a hot journal; one deferred transaction over a group of reads does that once.
    // The write lock is taken at once: two writers then queue for it in the busy wait,
    // where one raising a read lock while the other commits would fail as "locked".
    void BeginWrites() override { exec("BEGIN IMMEDIATE"); }

    void BeginReads() override {
        if (readDepth_ == 0 && sqlite3_get_autocommit(db_)) {
            prepared("BEGIN").run();
            ownsReads_ = true;
        }
        ++readDepth_;
    }

    void EndReads() noexcept override {
        if (--readDepth_ > 0 || !ownsReads_) return;
        ownsReads_ = false;
        versionInReads_.reset();
        reading_.reset();
        if (!sqlite3_get_autocommit(db_) &&
            sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

    std::int64_t schemaVersion() {
        Statement version = prepared("PRAGMA schema_version");
        return version.step() ? version.column(0).toInt() : -1;
    }

    // The store runs the same few statements again and again, so they stay prepared, known
    // by their text. A statement already in use (a nested call) gets a fresh one of its own.
    Statement prepared(const std::string& sql) {
        reading_.reset();
        auto found = statements_.find(sql);
        if (found != statements_.end() && found->second.inUse) return Statement(db_, sql);
        if (found == statements_.end()) {
            if (statements_.size() >= kKeptStatements) forgetStatements();
            sqlite3_stmt* stmt = nullptr;
            if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt,
                                   nullptr) != SQLITE_OK)
                throw Error(sqlite3_errmsg(db_));
            found = statements_.emplace(sql, KeptStatement{stmt, false}).first;
        }
        return Statement(db_, found->second.stmt, &found->second.inUse);
    }

    void forgetStatements() {
        for (auto it = statements_.begin(); it != statements_.end();) {
            if (it->second.inUse) {
                ++it;
                continue;
            }
            sqlite3_finalize(it->second.stmt);
            it = statements_.erase(it);
        }
    }

    // A failed blob write must not leave a half-written row behind.
    template <typename Work>
    RowKey inSavepoint(Work work) {
        exec("SAVEPOINT kelvo_row");
        try {
            RowKey key = work();
            exec("RELEASE kelvo_row");
            return key;
        } catch (...) {
            sqlite3_exec(db_, "ROLLBACK TO kelvo_row; RELEASE kelvo_row", nullptr, nullptr,
                         nullptr);
            throw;
        }
    }

    // A value read piece by piece keeps one handle, which remembers where its pages are; a
    // fresh handle would walk the value's page chain from the start for every piece. The
    // handle holds a read lock, so it is closed at the value's end and before any statement.
    BlobHandle& blobBeingRead(const TableInfo& table, const ColumnInfo& column,
                              std::int64_t rowid) {
        if (!reading_ || reading_->table != table.name || reading_->column != column.name ||
            reading_->rowid != rowid) {
            reading_.reset();
            reading_.emplace(
                OpenRead{table.name, column.name, rowid,
                         std::make_unique<BlobHandle>(db_, table, column, rowid, false)});
        }
        return *reading_->handle;
    }

    void exec(const char* sql) {
        reading_.reset();
        if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw Error(sqlite3_errmsg(db_));
    }

    static void bindSizes(Statement& statement, const std::vector<BlobWrite>& blobs, int first) {
        for (std::size_t i = 0; i < blobs.size(); ++i)
            statement.bind(first + static_cast<int>(i), Variant(blobs[i].size));
    }

    void writeBlobs(const TableInfo& table, std::int64_t rowid,
                    const std::vector<BlobWrite>& blobs) {
        Bytes piece(kWritePiece);
        for (const BlobWrite& blob : blobs) {
            if (blob.size == 0) continue;
            BlobHandle handle(db_, table, blob.column, rowid, true);
            std::int64_t offset = 0;
            while (offset < blob.size) {
                const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(
                    static_cast<std::int64_t>(piece.size()), blob.size - offset));
                const std::size_t got = blob.read(piece.data(), want);
                if (got == 0) throw Error("the staged binary data ended early");
                handle.write(piece.data(), static_cast<int>(got), static_cast<int>(offset));
                offset += static_cast<std::int64_t>(got);
            }
        }
    }

    struct KeptStatement {
        sqlite3_stmt* stmt;
        bool inUse;
    };

    struct OpenRead {
        std::string table, column;
        std::int64_t rowid;
        std::unique_ptr<BlobHandle> handle;
    };

    sqlite3* db_ = nullptr;
    std::optional<OpenRead> reading_;
    std::unordered_map<std::string, KeptStatement> statements_;
    std::unordered_map<std::string, TableInfo> tables_;  // by upper-case name
    std::int64_t tablesVersion_ = -1;
    int readDepth_ = 0;
    bool ownsReads_ = false;
    std::optional<std::uint64_t> versionInReads_;
};

}  // namespace

std::unique_ptr<Engine> OpenSqlite(const std::string& path) {
    return std::make_unique<SqliteEngine>(path);
}

}  // namespace kelvo
