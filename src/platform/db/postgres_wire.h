// libpq plumbing for the PostgreSQL engine: values bound as the server reads them, results
// checked on arrival, and a write's own transaction.
#pragma once

#include <libpq-fe.h>

#include <string>
#include <vector>

#include "platform/db/engine.h"
#include "platform/db/postgres_statements.h"

namespace kelvo::postgres {

// Type oids of the built-in types we bind or convert (fixed in pg_type).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kNameOid = 19, kInt8Oid = 20, kInt2Oid = 21,
              kInt4Oid = 23, kTextOid = 25, kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701,
              kBpcharOid = 1042, kVarcharOid = 1043, kNumericOid = 1700;

std::string dollar(int n);  // "$n"
ColumnKind kindOfType(Oid type);
std::string withoutTrailingBlanks(std::string text);

// `?` placeholders become $1, $2, ... outside quoted texts, quoted names and comments.
std::string numberPlaceholders(const std::string& sql, int& count);

// Parameters of one statement: texts, and bytes in binary form as bytea.
class Params {
  public:
    // `kind` is the target column's: a value goes as the text that type reads.
    void add(const Variant& value, ColumnKind kind = ColumnKind::Other);
    // A bytea parameter of `size` bytes, read in place: fill them where this points before
    // the next parameter is added.
    std::uint8_t* addBytes(std::size_t size);
    void addAll(const std::vector<BoundValue>& values) {
        for (const BoundValue& value : values) add(value.value, value.column.kind);
    }
    int count() const { return static_cast<int>(storage_.size()); }

    // Sends the statement, prepared when `statements` keeps plans; a plan gone stale outside
    // a transaction is made again and the statement sent once more.
    PGresult* exec(PGconn* conn, PreparedStatements& statements, const std::string& sql,
                   int resultFormat);

  private:
    std::vector<std::string> storage_;  // a vector of strings keeps each buffer in place
    std::vector<char> nulls_;
    std::vector<int> formats_;
    std::vector<Oid> types_;
};

// A result, checked on arrival: a failed one throws Error with the server's message.
class Result {
  public:
    Result(PGconn* conn, PGresult* result);
    ~Result() { PQclear(result_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    int rows() const { return PQntuples(result_); }
    bool isNull(int row, int col) const { return PQgetisnull(result_, row, col); }
    std::string text(int row, int col) const {
        return std::string(PQgetvalue(result_, row, col),
                           static_cast<std::size_t>(PQgetlength(result_, row, col)));
    }
    Bytes bytes(int row, int col) const {
        const auto* data = reinterpret_cast<const std::uint8_t*>(PQgetvalue(result_, row, col));
        return Bytes(data, data + PQgetlength(result_, row, col));
    }
    // A text-format value as the Variant its column type calls for.
    Variant value(int row, int col) const;

  private:
    PGresult* result_;
};

// The values of row `r` after its key, in table order, as ValueColumnList selects them.
std::vector<Variant> rowValues(const TableInfo& table, const Result& result, int r);

// A write that must land whole: its own transaction unless the host already has one.
class Transaction {
  public:
    explicit Transaction(PGconn* conn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    PGconn* conn_;
    bool owned_ = false;
};

}  // namespace kelvo::postgres
