// sqlite3 plumbing for the SQLite engine: prepared statements that bind and read Variants,
// and incremental-blob handles; every failure carries SQLite's own message.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/db/engine.h"
#include "platform/error.h"

namespace kelvo::sqlite {

std::string numbered(int n);  // "?n"

// SQLite's own affinity rules, with the usual names of binary and flag types added.
ColumnKind kindOfDeclared(const std::string& declared);

// A prepared statement; binding and stepping report the engine's message.
class Statement {
  public:
    Statement(sqlite3* db, const std::string& sql);
    Statement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    // A statement kept prepared elsewhere: reset, not finalized, when done with, and marked
    // free again through `inUse`.
    Statement(sqlite3* db, sqlite3_stmt* stmt, bool* inUse) : db_(db), stmt_(stmt), inUse_(inUse) {
        *inUse_ = true;
    }
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int parameterCount() const { return sqlite3_bind_parameter_count(stmt_); }

    // `kind` is the target column's: a flag's "TRUE" or "FALSE" goes as 1 or 0.
    void bind(int index, const Variant& value, ColumnKind kind = ColumnKind::Other);
    void bindAll(const std::vector<BoundValue>& values, int first) {
        for (std::size_t i = 0; i < values.size(); ++i)
            bind(first + static_cast<int>(i), values[i].value, values[i].column.kind);
    }

    // True while a row is there.
    bool step();
    void run() {
        while (step()) {
        }
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

    Variant column(int i) const;

  private:
    [[noreturn]] void fail() const { throw Error(sqlite3_errmsg(db_)); }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool* inUse_ = nullptr;
};

// The values of the statement's row after its key, in table order, as ValueColumnList
// selects them.
std::vector<Variant> rowValues(const TableInfo& table, const Statement& select);

// An open incremental-blob handle.
class BlobHandle {
  public:
    BlobHandle(sqlite3* db, const TableInfo& table, const ColumnInfo& column, std::int64_t rowid,
               bool write);
    ~BlobHandle() { sqlite3_blob_close(blob_); }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    std::int64_t size() const { return sqlite3_blob_bytes(blob_); }
    void read(std::uint8_t* out, int length, int offset);
    void write(const std::uint8_t* data, int length, int offset);

  private:
    sqlite3* db_;
    sqlite3_blob* blob_ = nullptr;
};

}  // namespace kelvo::sqlite
