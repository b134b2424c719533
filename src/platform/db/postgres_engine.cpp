// PostgreSQL engine through libpq: rows are known by the table's primary key (or a unique
// key of non-null columns), which another session's update leaves alone; a table without
// one falls back to ctid, refreshed from RETURNING after every write. bytea columns are
// read by growing ranges; a large value is staged in pieces and written to its row once.
#include <libpq-fe.h>

#include <algorithm>
#include <map>
#include <optional>

#include "platform/db/engine.h"
#include "platform/db/postgres_identity.h"
#include "platform/db/postgres_statements.h"
#include "platform/db/postgres_wire.h"
#include "platform/files/files.h"
#include "platform/text.h"

namespace kelvo {
namespace {

using namespace postgres;

constexpr std::int64_t kPiece = 1024 * 1024;

// Enough for every statement shape the store sends over a few tables.
constexpr std::size_t kKeptStatements = 64;

// A ranged read of a bytea value decompresses it from its start, so fixed pieces would cost
// time in the square of the value's size. Pieces as large as what is read so far keep it
// linear.
std::int64_t pieceAfter(std::int64_t done) {
    return std::max(kPiece, done);
}

void ignoreNotice(void*, const char*) {}

class PostgresEngine : public Engine {
  public:
    explicit PostgresEngine(const std::string& uri) : conn_(connect(uri)) {
        if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
            const std::string message =
                conn_ ? withoutTrailingBlanks(PQerrorMessage(conn_)) : "out of memory";
            PQfinish(conn_);
            throw Error("cannot connect to PostgreSQL: " + message);
        }
        PQsetNoticeProcessor(conn_, ignoreNotice, nullptr);
        if (PQsetClientEncoding(conn_, "UTF8") != 0) {
            const std::string message = withoutTrailingBlanks(PQerrorMessage(conn_));
            PQfinish(conn_);
            throw Error("cannot set the client encoding to UTF8: " + message);
        }
        // A row or table held by another session gives an error in time, not a hang.
        PQclear(PQexec(conn_, "SET lock_timeout = '30s'"));
    }
    ~PostgresEngine() override { PQfinish(conn_); }

    std::string Name() const override { return "postgresql"; }

    // Row locks cannot hold a row not yet written; an advisory lock on the key's hash can.
    void WaitForWritersOf(const std::string& key) override {
        Execute("SELECT pg_advisory_xact_lock(hashtext(?))", {Variant(key)});
    }

    // A table looked up before is checked against its catalog stamp, far cheaper than the
    // lookup by name; another shape, or the table made again, is looked up afresh.
    TableInfo Table(const std::string& name) override {
        CheckTableName(name);
        const auto known = tables_.find(name);
        if (known != tables_.end()) {
            Params params;
            params.add(Variant(known->second.oid));
            Result now = run("SELECT " + stampNow(name, "$1"), params);
            if (now.rows() == 1 && !now.isNull(0, 0) && now.text(0, 0) == known->second.stamp)
                return known->second.info;
            tables_.erase(known);
        }
        return lookUpTable(name);
    }

    RowKeys SelectKeys(const TableInfo& table, const std::vector<BoundValue>& where,
                       const ColumnInfo* orderBy) override {
        const KeyQuery query = keyQuery(table, where, orderBy, "");
        Params params;
        params.addAll(where);
        Result result = run(query.sql, params, query.byAddress ? 1 : 0);
        if (query.byAddress) return sortedRowAddresses(result);
        RowKeys keys;
        keys.reserve(static_cast<std::size_t>(result.rows()));
        for (int i = 0; i < result.rows(); ++i) keys.push_back(RowKey(result.text(i, 0)));
        return keys;
    }

    // A known table's catalog stamp comes back with the row addresses of the selection: the
    // table is checked and its keys taken in one round trip. Otherwise Table checks it.
    SelectedRows Select(const Selection& source) override {
        CheckTableName(source.table);
        const auto known = tables_.find(source.table);
        try {
            if (known != tables_.end())
                if (auto rows = keysBesideStamp(known->second, source)) return std::move(*rows);
        } catch (const Error&) {
            // Bound to an outdated shape, the statement may fail; Table finds the new one.
            if (PQtransactionStatus(conn_) == PQTRANS_INERROR) throw;
        }
        return Engine::Select(source);
    }

    std::vector<std::optional<std::vector<Variant>>> FetchRows(
        const TableInfo& table, const std::vector<RowKey>& keys) override {
        const RowIdentity& id = identity(table);
        Params params;
        params.add(Variant(keyArray(keys)));
        Result result = run("SELECT " + id.select() + ", " + ValueColumnList(table) + " FROM " +
                                QuoteTableName(table.name) + " WHERE " + id.matchAny(1),
                            params);
        std::map<std::string, std::vector<Variant>> byKey;
        for (int r = 0; r < result.rows(); ++r)
            byKey.emplace(result.text(r, 0), rowValues(table, result, r));
        return InKeyOrder(keys, byKey);
    }

    std::vector<Variant> ColumnValues(const TableInfo& table, const std::vector<RowKey>& keys,
                                      const ColumnInfo& column) override {
        std::vector<Variant> values(keys.size());
        if (keys.empty()) return values;
        const RowIdentity& id = identity(table);
        Params params;
        params.add(Variant(keyArray(keys)));
        Result result = run("SELECT " + id.select() + ", " + QuoteIdentifier(column.name) +
                                " FROM " + QuoteTableName(table.name) + " WHERE " + id.matchAny(1),
                            params);
        std::map<std::string, Variant> byKey;
        for (int i = 0; i < result.rows(); ++i)
            byKey.emplace(result.text(i, 0), result.value(i, 1));
        for (std::size_t i = 0; i < keys.size(); ++i) {
            auto it = byKey.find(keys[i].toText());
            if (it != byKey.end()) values[i] = it->second;
        }
        return values;
    }

    std::optional<std::vector<std::pair<RowKey, std::vector<Variant>>>> RowsNotFalse(
        const TableInfo& table, const std::vector<BoundValue>& where,
        const ColumnInfo& column) override {
        const std::string name = QuoteIdentifier(column.name);
        std::string notFalse;
        if (column.kind == ColumnKind::Boolean)
            notFalse = name + " IS TRUE";
        else if (column.kind == ColumnKind::Integer || column.kind == ColumnKind::Real)
            notFalse = name + " <> 0";
        else
            return std::nullopt;  // text reads as true in too many spellings to say in SQL
        const RowIdentity& id = identity(table);
        std::string sql = "SELECT " + id.select() + ", " + ValueColumnList(table) + " FROM " +
                          QuoteTableName(table.name) + " WHERE ";
        if (!where.empty()) sql += EqualityList(where, " AND ", dollar, 1) + " AND ";
        Params params;
        params.addAll(where);
        Result result = run(sql + notFalse, params);
        std::vector<std::pair<RowKey, std::vector<Variant>>> rows;
        for (int r = 0; r < result.rows(); ++r)
            rows.emplace_back(RowKey(result.text(r, 0)), rowValues(table, result, r));
        return rows;
    }

    RowKey InsertRow(const TableInfo& table, const std::vector<BoundValue>& values,
                     const std::vector<BlobWrite>& blobs) override {
        Transaction transaction(conn_);
        std::string names, slots;
        for (std::size_t i = 0; i < values.size(); ++i) {
            names += (i ? ", " : "") + QuoteIdentifier(values[i].column.name);
            slots += (i ? ", " : "") + dollar(static_cast<int>(i) + 1);
        }
        const std::string sql =
            "INSERT INTO " + QuoteTableName(table.name) +
            (values.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + slots + ")") +
            " RETURNING " + identity(table).select();
        Params params;
        params.addAll(values);
        RowKey key(run(sql, params).text(0, 0));
        key = writeBlobs(table, key, blobs);
        transaction.commit();
        return key;
    }

    RowKey UpdateRow(const TableInfo& table, const RowKey& key,
                     const std::vector<BoundValue>& values,
                     const std::vector<BlobWrite>& blobs) override {
        Transaction transaction(conn_);
        RowKey now = key;
        if (!values.empty()) {
            Params params;
            params.addAll(values);
            params.add(key);
            now = returningKey(table,
                               "UPDATE " + QuoteTableName(table.name) + " SET " +
                                   EqualityList(values, ", ", dollar, 1) + " WHERE " +
                                   identity(table).matchOne(params.count()) + " RETURNING " +
                                   identity(table).select(),
                               params);
        }
        now = writeBlobs(table, now, blobs);
        transaction.commit();
        if (!(now == key)) ReportMoves(table.name, {{key, now}});
        return now;
    }

    void DeleteRow(const TableInfo& table, const RowKey& key) override {
        Params params;
        params.add(key);
        PGresult* raw = params.exec(
            conn_, statements_,
            "DELETE FROM " + QuoteTableName(table.name) + " WHERE " + identity(table).matchOne(1),
            0);
        Result result(conn_, raw);
        if (std::string(PQcmdTuples(raw)) != "1") RowGone(table);
    }

    // A value of up to one piece comes with its length: reading a photo costs one round trip.
    BlobStart StartBlob(const TableInfo& table, const RowKey& key,
                        const ColumnInfo& column) override {
        const std::string name = QuoteIdentifier(column.name);
        Params params;
        params.add(key);
        params.add(Variant(pieceAfter(0)));
        // Binary results throughout; the length comes as text so it reads the same way.
        Result result =
            run("SELECT octet_length(" + name + ")::text, CASE WHEN octet_length(" + name +
                    ") <= $2::int THEN " + name + " END FROM " + QuoteTableName(table.name) +
                    " WHERE " + identity(table).matchOne(1),
                params, 1);
        if (result.rows() == 0) RowGone(table);
        if (result.isNull(0, 0)) return {};
        BlobStart start{std::stoll(result.text(0, 0)), std::nullopt};
        if (!result.isNull(0, 1)) start.whole = result.bytes(0, 1);
        return start;
    }

    Bytes ReadBlob(const TableInfo& table, const RowKey& key, const ColumnInfo& column,
                   std::int64_t offset, std::int64_t length) override {
        Params params;
        params.add(key);
        params.add(Variant(offset + 1));
        params.add(Variant(length));
        Result result = run("SELECT substring(" + QuoteIdentifier(column.name) +
                                " from $2::int for $3::int) FROM " + QuoteTableName(table.name) +
                                " WHERE " + identity(table).matchOne(1),
                            params, 1);
        if (result.rows() == 0) RowGone(table);
        if (result.isNull(0, 0)) return {};
        return result.bytes(0, 0);
    }

    std::int64_t ReadAhead(std::int64_t offset) const override { return pieceAfter(offset); }

    void Execute(const std::string& sql, const std::vector<Variant>& values) override {
        if (values.empty()) {
            Result(conn_, PQexec(conn_, sql.c_str()));
            return;
        }
        int count = 0;
        const std::string numbered = numberPlaceholders(sql, count);
        if (count != static_cast<int>(values.size()))
            throw Error("the statement has " + std::to_string(count) + " ? parameters but " +
                        std::to_string(values.size()) + " values were given");
        Params params;
        for (const Variant& value : values) params.add(value);
        run(numbered, params);
    }

    // The old and new identity of each rewritten row come back, so open keysets follow them.
    void ExecuteUpdate(const TableInfo& table, const std::vector<BoundValue>& set,
                       const std::vector<BoundValue>& where) override {
        const RowIdentity& id = identity(table);
        const std::string name = QuoteTableName(table.name);
        std::string sql = "WITH kelvo_old AS (SELECT ctid AS kelvo_ctid, " + id.select() +
                          " AS kelvo_key FROM " + name + " WHERE " +
                          DifferenceList(set, "IS DISTINCT FROM", dollar, 1);
        if (!where.empty())
            sql += " AND " + EqualityList(where, " AND ", dollar, static_cast<int>(set.size()) + 1);
        sql += " FOR UPDATE) UPDATE " + name + " SET " + EqualityList(set, ", ", dollar, 1) +
               " FROM kelvo_old WHERE " + name +
               ".ctid = kelvo_old.kelvo_ctid RETURNING kelvo_old.kelvo_key, " +
               id.select(name + ".");
        Params params;
        params.addAll(set);
        params.addAll(where);
        Result result = run(sql, params);
        std::vector<KeyMove> moves;
        for (int i = 0; i < result.rows(); ++i)
            if (result.text(i, 0) != result.text(i, 1))
                moves.push_back({RowKey(result.text(i, 0)), RowKey(result.text(i, 1))});
        if (!moves.empty()) ReportMoves(table.name, moves);
    }

    void ExecuteDelete(const TableInfo& table, const std::vector<BoundValue>& where) override {
        std::string sql = "DELETE FROM " + QuoteTableName(table.name);
        if (!where.empty()) sql += " WHERE " + EqualityList(where, " AND ", dollar, 1);
        Params params;
        params.addAll(where);
        run(sql, params);
    }

  private:
    // The statement that selects the keys of the rows where every condition holds, with
    // `alongside` after the key. A table without a unique key gives its row addresses in
    // binary and unordered, for sortedRowAddresses.
    struct KeyQuery {
        std::string sql;
        bool byAddress;
    };
    KeyQuery keyQuery(const TableInfo& table, const std::vector<BoundValue>& where,
                      const ColumnInfo* orderBy, const std::string& alongside) {
        const RowIdentity& id = identity(table);
        // An order by a column every row holds equal (the owner's code) changes nothing.
        if (orderBy && std::any_of(where.begin(), where.end(), [&](const BoundValue& bound) {
                return SameName(bound.column.name, orderBy->name);
            }))
            orderBy = nullptr;
        const bool byAddress = id.columns.empty() && !orderBy;
        std::string sql = "SELECT " + (byAddress ? std::string("ctid") : id.select()) + alongside +
                          " FROM " + QuoteTableName(table.name) + " k";
        if (!where.empty()) sql += " WHERE " + EqualityList(where, " AND ", dollar, 1);
        if (byAddress) return {sql, true};
        // Qualified, the order names the table's columns: a bare "ctid" would name the
        // selected text and sort the keys as strings, slowly and out of row order.
        sql += " ORDER BY ";
        if (orderBy) sql += "k." + QuoteIdentifier(orderBy->name) + ", ";
        return {sql + id.order("k."), false};
    }

    // A table looked up before: what it was, its oid and its catalog stamp then.
    struct KnownTable {
        TableInfo info;
        std::string oid;
        std::string stamp;
    };
    // The keys of `source` on the table as `known`, with its current stamp beside them;
    // nullopt when the stamp differs, or when the keys come in the server's order, which a
    // row of the stamp would upset.
    std::optional<SelectedRows> keysBesideStamp(const KnownTable& known, const Selection& source) {
        SelectedRows rows = BindSelection(known.info, source);
        const KeyQuery query = keyQuery(rows.table, rows.where,
                                        rows.orderBy ? &*rows.orderBy : nullptr, ", NULL::text");
        if (!query.byAddress) return std::nullopt;
        Params params;
        params.addAll(rows.where);
        params.add(Variant(known.oid));
        Result result = run(
            query.sql + " UNION ALL SELECT NULL, " + stampNow(source.table, dollar(params.count())),
            params, 1);
        for (int i = 0; i < result.rows(); ++i) {
            if (result.isNull(i, 0) && !result.isNull(i, 1) && result.text(i, 1) == known.stamp) {
                rows.keys = sortedRowAddresses(result);
                return rows;
            }
        }
        return std::nullopt;
    }

    // The catalog stamp of the table the host calls `name`, known by the oid in parameter
    // `oid`: no row when the table is gone or, named without a schema, no longer visible.
    static std::string stampNow(const std::string& name, const std::string& oid) {
        return catalogStamp(oid + "::oid") + " WHERE " +
               (SplitTableName(name).first.empty()
                    ? "pg_catalog.pg_table_is_visible(" + oid + "::oid)"
                    : std::string("true"));
    }

    // The table, its columns, the key that names its rows and the catalog stamp of all that
    // come in one round trip.
    TableInfo lookUpTable(const std::string& name) {
        const auto [schema, unqualified] = SplitTableName(name);
        Params find;
        find.add(Variant(unqualified));
        if (!schema.empty()) find.add(Variant(schema));
        // Unquoted names fold to lower case, so the host's spelling is matched without
        // regard to case, an exact spelling first. A schema-qualified name is looked up in
        // that schema, any other among the tables the search path shows.
        const std::string table =
            "SELECT c.oid, n.nspname, c.relname FROM pg_catalog.pg_class c "
            "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
            "WHERE c.relkind IN ('r','p','v','m','f') AND lower(c.relname) = lower($1) AND " +
            std::string(schema.empty() ? "pg_catalog.pg_table_is_visible(c.oid)"
                                       : "lower(n.nspname) = lower($2)") +
            " ORDER BY (c.relname = $1) DESC, " +
            (schema.empty() ? "" : "(n.nspname = $2) DESC, ") + "c.relname LIMIT 1";
        // Rows of kind 0: the table; 1: its columns in order; 2: the columns of its unique
        // keys, the primary key first, then those of fewest columns (no expressions, no
        // predicate, checked at once, every column not null).
        Result rows = run(
            "WITH t AS (" + table +
                ") SELECT 0, t.oid::text, t.nspname::text, t.relname::text, 0::bigint, 0::bigint, "
                "0::bigint, 0::bigint, " +
                catalogStamp("t.oid") +
                " FROM t "
                "UNION ALL SELECT 1, a.attname::text, a.atttypid::text, NULL, a.attnum::bigint, 0, "
                "0, 0, NULL FROM t JOIN pg_catalog.pg_attribute a ON a.attrelid = t.oid "
                "WHERE a.attnum > 0 AND NOT a.attisdropped "
                "UNION ALL SELECT 2, i.indexrelid::text, a.attname::text, "
                "pg_catalog.format_type(a.atttypid, NULL), (NOT i.indisprimary)::int::bigint, "
                "i.indnkeyatts::bigint, i.indexrelid::bigint, k.pos, NULL "
                "FROM t JOIN pg_catalog.pg_index i ON i.indrelid = t.oid "
                "CROSS JOIN LATERAL unnest(i.indkey::int2[]) WITH ORDINALITY AS k(attnum, pos) "
                "JOIN pg_catalog.pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = k.attnum "
                "WHERE i.indisunique AND i.indimmediate AND i.indisvalid "
                "AND i.indpred IS NULL AND k.pos <= i.indnkeyatts AND NOT EXISTS ("
                "SELECT 1 FROM unnest(i.indkey::int2[]) AS c(attnum) "
                "LEFT JOIN pg_catalog.pg_attribute n ON n.attrelid = i.indrelid AND n.attnum = "
                "c.attnum "
                "WHERE n.attnum IS NULL OR NOT n.attnotnull) "
                "ORDER BY 1, 5, 6, 7, 8",
            find);
        if (rows.rows() == 0 || rows.text(0, 0) != "0")
            throw Error("table \"" + name + "\" does not exist");
        TableInfo info;
        info.name = schema.empty() ? rows.text(0, 3) : rows.text(0, 2) + "." + rows.text(0, 3);
        RowIdentity id;
        std::string keyIndex;  // the index whose columns name the rows
        for (int i = 1; i < rows.rows(); ++i) {
            if (rows.text(i, 0) == "1") {
                info.columns.push_back(
                    {rows.text(i, 1), kindOfType(static_cast<Oid>(std::stoul(rows.text(i, 2))))});
            } else if (id.columns.empty() || rows.text(i, 1) == keyIndex) {
                keyIndex = rows.text(i, 1);
                id.columns.push_back(QuoteIdentifier(rows.text(i, 2)));
                id.types.push_back(rows.text(i, 3));
            }
        }
        rememberLayout(info, std::move(id));
        tables_[name] = {info, rows.text(0, 1), rows.text(0, 8)};
        return info;
    }

    // An unreachable server fails within seconds unless the URI asks for another timeout
    // (values in the URI override the ones before it).
    static PGconn* connect(const std::string& uri) {
        const char* keywords[] = {"connect_timeout", "dbname", nullptr};
        const char* values[] = {"10", uri.c_str(), nullptr};
        return PQconnectdbParams(keywords, values, 1);
    }

    Result run(const std::string& sql, Params& params, int resultFormat = 0) {
        return Result(conn_, params.exec(conn_, statements_, sql, resultFormat));
    }

    RowKey returningKey(const TableInfo& table, const std::string& sql, Params& params) {
        Result result = run(sql, params);
        if (result.rows() != 1) RowGone(table);
        return RowKey(result.text(0, 0));
    }

    // Each blob replaces the column with one UPDATE. A value of more than one piece is
    // staged first in a temporary table, a piece a row, so no more than one piece is held
    // here and the table's row is written once rather than rewritten by each append. A role
    // that may not make temporary tables sends the value whole.
    RowKey writeBlobs(const TableInfo& table, RowKey key, const std::vector<BlobWrite>& blobs) {
        for (const BlobWrite& blob : blobs) {
            Params params;
            std::string pieces, value = "$1";
            if (blob.size > kPiece && mayStage()) {
                stagePieces(blob);
                pieces = "WITH pieces AS (DELETE FROM pg_temp.kelvo_pieces RETURNING n, v) ";
                value = "(SELECT string_agg(v, ''::bytea ORDER BY n) FROM pieces)";
            } else {
                readPiece(blob, params.addBytes(static_cast<std::size_t>(blob.size)), blob.size);
            }
            params.add(key);
            key = returningKey(table,
                               pieces + "UPDATE " + QuoteTableName(table.name) + " SET " +
                                   QuoteIdentifier(blob.column.name) + " = " + value + " WHERE " +
                                   identity(table).matchOne(params.count()) + " RETURNING " +
                                   identity(table).select(),
                               params);
        }
        return key;
    }

    // Fills `out` with the next `length` bytes of the blob.
    static void readPiece(const BlobWrite& blob, std::uint8_t* out, std::int64_t length) {
        if (!ReadExactly(blob.read, out, static_cast<std::size_t>(length)))
            throw Error("the staged binary data ended early");
    }

    bool mayStage() {
        if (!mayStage_) {
            Params none;
            mayStage_ = run("SELECT has_database_privilege(current_database(), 'TEMPORARY')", none)
                            .text(0, 0) == "t";
        }
        return *mayStage_;
    }

    // The table is the session's own, its pieces kept uncompressed because they are read
    // back at once. It is emptied first: a write that stopped halfway inside the host's
    // transaction may have left pieces behind.
    void stagePieces(const BlobWrite& blob) {
        Result(conn_, PQexec(conn_,
                             "DO $$BEGIN IF to_regclass('pg_temp.kelvo_pieces') IS NULL THEN "
                             "CREATE TEMPORARY TABLE kelvo_pieces (n integer, v bytea); "
                             "ALTER TABLE pg_temp.kelvo_pieces ALTER v SET STORAGE EXTERNAL; "
                             "ELSE DELETE FROM pg_temp.kelvo_pieces; END IF; END$$"));
        for (std::int64_t written = 0, n = 0; written < blob.size; written += kPiece, ++n) {
            const std::int64_t length = std::min(kPiece, blob.size - written);
            Params params;
            params.add(Variant(n));
            readPiece(blob, params.addBytes(static_cast<std::size_t>(length)), length);
            run("INSERT INTO pg_temp.kelvo_pieces (n, v) VALUES ($1, $2)", params);
        }
    }

    // How a table's rows are named, and the shape of the table the kept statements were
    // planned against: a new shape may have outdated them.
    struct Layout {
        RowIdentity id;
        std::string shape;
    };
    void rememberLayout(const TableInfo& info, RowIdentity id) {
        std::string shape;
        for (const ColumnInfo& column : info.columns)
            shape += column.name + '\0' + std::to_string(static_cast<int>(column.kind)) + '\0';
        for (const std::string& type : id.types) shape += type + '\0';
        auto [it, added] = layouts_.try_emplace(info.name);
        if (!added && it->second.shape != shape) statements_.Clear(conn_);
        it->second = {std::move(id), std::move(shape)};
    }

    const RowIdentity& identity(const TableInfo& table) {
        auto it = layouts_.find(table.name);
        if (it == layouts_.end()) {
            Table(table.name);
            it = layouts_.find(table.name);
        }
        return it->second.id;
    }

    PGconn* conn_;
    PreparedStatements statements_{kKeptStatements, PreparedStatementsWanted()};
    std::map<std::string, KnownTable> tables_;  // by the name the host gave
    std::map<std::string, Layout> layouts_;     // by the catalog's name, TableInfo::name
    std::optional<bool> mayStage_;              // asked once a connection
};

}  // namespace

std::unique_ptr<Engine> OpenPostgres(const std::string& uri) {
    return std::make_unique<PostgresEngine>(uri);
}

}  // namespace kelvo
