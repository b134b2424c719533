// Engine seam of the database layer: the few row-level operations the generic keyset
// recordset needs, implemented once for SQLite and once for PostgreSQL.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/database.h"
#include "platform/db/row_keys.h"

namespace kelvo {

// What a value bound to a column must become for the engine.
enum class ColumnKind { Other, Text, Integer, Real, Boolean, Binary };

struct ColumnInfo {
    std::string name;  // as the catalog spells it
    ColumnKind kind = ColumnKind::Other;
};

struct TableInfo {
    std::string name;  // as the catalog spells it: "table" or "schema.table"
    std::vector<ColumnInfo> columns;

    // Index of the column named `name` (without regard to case), or -1.
    int IndexOf(const std::string& name) const;
    // Throws Error naming the column and the table when it is missing.
    const ColumnInfo& Column(const std::string& name) const;
};

// A value bound against a column (the column says how to bind it).
struct BoundValue {
    ColumnInfo column;
    Variant value;
};

// Bytes staged for a binary column, read back in pieces when the row is written.
struct BlobWrite {
    ColumnInfo column;
    std::int64_t size = 0;
    // Fills up to `length` bytes into `out` and returns how many; 0 at the end.
    std::function<std::size_t(std::uint8_t* out, std::size_t length)> read;
};

// A row whose identity changed because a statement rewrote it.
struct KeyMove {
    RowKey from;
    RowKey to;
};

// What a recordset opens on: its table, its conditions and order bound to the table's
// columns, and the keys of its rows.
struct SelectedRows {
    TableInfo table;
    std::vector<BoundValue> where;
    std::optional<ColumnInfo> orderBy;
    RowKeys keys;
};

// Told of identity changes, so open keysets keep pointing at the same rows.
class KeyWatcher {
  public:
    virtual ~KeyWatcher() = default;
    virtual void KeysMoved(const std::string& table, const std::vector<KeyMove>& moves) = 0;
};

class Engine {
  public:
    virtual ~Engine() = default;

    virtual std::string Name() const = 0;

    // The table `name` (resolved without regard to case) and its columns. Throws Error
    // for an invalid identifier or a table that does not exist.
    virtual TableInfo Table(const std::string& name) = 0;

    // Keys of the rows where every condition holds, ordered by `orderBy` (then by key).
    virtual RowKeys SelectKeys(const TableInfo& table, const std::vector<BoundValue>& where,
                               const ColumnInfo* orderBy) = 0;

    // Table and SelectKeys for `source` in one, which an engine may answer in fewer round
    // trips than the two apart.
    virtual SelectedRows Select(const Selection& source);

    // For each key, the values of the non-binary columns in table order (binary columns
    // come back Null); nullopt for a row that no longer exists.
    virtual std::vector<std::optional<std::vector<Variant>>> FetchRows(
        const TableInfo& table, const std::vector<RowKey>& keys) = 0;

    // The value of one column for each key (Null for rows that no longer exist).
    virtual std::vector<Variant> ColumnValues(const TableInfo& table,
                                              const std::vector<RowKey>& keys,
                                              const ColumnInfo& column) = 0;

    // Each row where every condition holds and `column` is neither Null nor zero (false),
    // by key with its values as FetchRows reads them: every row whose column can read as
    // true, and perhaps a few that do not. nullopt when the engine cannot narrow a column of
    // this kind so.
    virtual std::optional<std::vector<std::pair<RowKey, std::vector<Variant>>>> RowsNotFalse(
        const TableInfo& table, const std::vector<BoundValue>& where, const ColumnInfo& column) {
        (void)table, (void)where, (void)column;
        return std::nullopt;
    }

    // Writes a row and returns its key afterwards. Blobs replace the column's value.
    virtual RowKey InsertRow(const TableInfo& table, const std::vector<BoundValue>& values,
                             const std::vector<BlobWrite>& blobs) = 0;
    virtual RowKey UpdateRow(const TableInfo& table, const RowKey& key,
                             const std::vector<BoundValue>& values,
                             const std::vector<BlobWrite>& blobs) = 0;
    virtual void DeleteRow(const TableInfo& table, const RowKey& key) = 0;

    // Stored length of a binary column (nullopt when Null) and, where the engine brings a
    // small value along in the same read, the whole value. Throws when the row is gone.
    struct BlobStart {
        std::optional<std::int64_t> size;
        std::optional<Bytes> whole;
    };
    virtual BlobStart StartBlob(const TableInfo& table, const RowKey& key,
                                const ColumnInfo& column) = 0;
    // Reads bytes [offset, offset + length) of the column (fewer at its end).
    virtual Bytes ReadBlob(const TableInfo& table, const RowKey& key, const ColumnInfo& column,
                           std::int64_t offset, std::int64_t length) = 0;
    // How many bytes a ranged read from `offset` may fetch ahead of what GetChunk asked for.
    virtual std::int64_t ReadAhead(std::int64_t offset) const {
        (void)offset;
        return 0;
    }

    // A statement of the host's own with `?` placeholders.
    virtual void Execute(const std::string& sql, const std::vector<Variant>& params) = 0;
    // UPDATE / DELETE built from checked, quoted identifiers; every value bound. An update
    // leaves alone the rows that already hold the values, so it writes nothing needlessly.
    virtual void ExecuteUpdate(const TableInfo& table, const std::vector<BoundValue>& set,
                               const std::vector<BoundValue>& where) = 0;
    virtual void ExecuteDelete(const TableInfo& table, const std::vector<BoundValue>& where) = 0;

    // Changes whenever this or any other connection may have changed the database's rows;
    // nullopt when the engine cannot tell cheaply, and rows are then never read ahead.
    virtual std::optional<std::uint64_t> DataVersion() { return std::nullopt; }

    // Reads between BeginReads and the matching EndReads may share one view of the
    // database, so that an engine need not take its locks afresh for every statement.
    // Pairs nest. Only reads belong between them.
    virtual void BeginReads() {}
    virtual void EndReads() noexcept {}
    // A write transaction: begun once, then committed or rolled back once.
    virtual void BeginWrites() { Execute("BEGIN", {}); }
    virtual void CommitWrites() { Execute("COMMIT", {}); }
    virtual void RollbackWrites() { Execute("ROLLBACK", {}); }
    // Waits until no other connection's write transaction holds `key`, then holds it until
    // this one ends. REQUIRES: inside a write transaction.
    virtual void WaitForWritersOf(const std::string& key) = 0;

    void Watch(KeyWatcher* watcher);
    void Unwatch(KeyWatcher* watcher);

  protected:
    void ReportMoves(const std::string& table, const std::vector<KeyMove>& moves);

  private:
    std::vector<KeyWatcher*> watchers_;
};

std::unique_ptr<Engine> OpenSqlite(const std::string& path);
std::unique_ptr<Engine> OpenPostgres(const std::string& uri);

// Shared SQL pieces. Identifiers: [A-Za-z_][A-Za-z0-9_ ]*, at most 63 characters.
bool IsValidIdentifier(const std::string& name);
// Throws Error "invalid <what> name: ..." unless `name` is a valid identifier.
void CheckIdentifier(const std::string& name, const char* what);
std::string QuoteIdentifier(const std::string& name);  // REQUIRES: a valid identifier
// A table name is `table` or `schema.table`. Throws Error "invalid table name: ..." unless
// each part is a valid identifier.
void CheckTableName(const std::string& name);
// The schema part ("" when there is none) and the table part of a checked table name.
std::pair<std::string, std::string> SplitTableName(const std::string& name);
// Each part of a checked table name quoted: "crm"."photos".
std::string QuoteTableName(const std::string& name);
bool SameName(const std::string& a, const std::string& b);  // ASCII case-insensitive

// `"c1" = <p1> AND "c2" = <p2> ...` where <pN> is placeholder(N), N counting from `first`.
std::string EqualityList(const std::vector<BoundValue>& values, const std::string& separator,
                         const std::function<std::string(int)>& placeholder, int first);
// `("c1" <differs> <p1> OR "c2" <differs> <p2> ...)`: true of a row that setting `values`
// would change; `differs` is the engine's null-safe inequality.
std::string DifferenceList(const std::vector<BoundValue>& values, const std::string& differs,
                           const std::function<std::string(int)>& placeholder, int first);

// Each `column = value` pair bound against its column of `table`; throws Error for a
// column the table lacks.
template <typename Pair>
std::vector<BoundValue> BindToColumns(const TableInfo& table, const std::vector<Pair>& pairs) {
    std::vector<BoundValue> bound;
    for (const Pair& pair : pairs) bound.push_back({table.Column(pair.column), pair.value});
    return bound;
}

// `source`'s conditions and order bound to the columns of `table`, without keys. Throws Error
// for a column the table lacks.
SelectedRows BindSelection(TableInfo table, const Selection& source);

// Throws Error saying the row no longer exists in `table`.
[[noreturn]] void RowGone(const TableInfo& table);

// The select list of FetchRows after the key: each column, or NULL for a binary one.
std::string ValueColumnList(const TableInfo& table);
// FetchRows' answer from the rows found, each filed under its key's text.
std::vector<std::optional<std::vector<Variant>>> InKeyOrder(
    const std::vector<RowKey>& keys, std::map<std::string, std::vector<Variant>>& byKey);

}  // namespace kelvo
