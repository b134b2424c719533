#include "platform/db/postgres_wire.h"

#include "platform/error.h"
#include "platform/text.h"

namespace kelvo::postgres {
namespace {

bool isNumber(const std::string& text) {
    std::size_t length = 0;
    return !text.empty() && LeadingNumber(text, &length) && length == text.size();
}

// The text form of a value as the target column's type reads it.
std::string paramText(const Variant& value, ColumnKind kind) {
    const bool flag = value.type() == Variant::Type::Bool;
    const bool number = value.type() == Variant::Type::Int || value.type() == Variant::Type::Double;
    if (flag && (kind == ColumnKind::Integer || kind == ColumnKind::Real))
        return value.toBool() ? "1" : "0";
    if (flag && kind != ColumnKind::Text) return value.toBool() ? "true" : "false";
    // A host's true may be -1: any non-zero number is true in a boolean column.
    if (kind == ColumnKind::Boolean && (number || isNumber(value.toText())))
        return value.toBool() ? "true" : "false";
    return value.toText();
}

bool planWentStale(const PGresult* result) {
    if (PQresultStatus(result) != PGRES_FATAL_ERROR) return false;
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    // 0A000: "cached plan must not change result type"; 26000: no such prepared statement.
    return state && (std::string(state) == "0A000" || std::string(state) == "26000");
}

}  // namespace

std::string dollar(int n) {
    return "$" + std::to_string(n);
}

ColumnKind kindOfType(Oid type) {
    switch (type) {
        case kBoolOid:
            return ColumnKind::Boolean;
        case kInt2Oid:
        case kInt4Oid:
        case kInt8Oid:
            return ColumnKind::Integer;
        case kFloat4Oid:
        case kFloat8Oid:
        case kNumericOid:
            return ColumnKind::Real;
        case kByteaOid:
            return ColumnKind::Binary;
        case kTextOid:
        case kVarcharOid:
        case kBpcharOid:
        case kNameOid:
            return ColumnKind::Text;
        default:
            return ColumnKind::Other;
    }
}

std::string withoutTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

std::string numberPlaceholders(const std::string& sql, int& count) {
    std::string out;
    count = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            out += c;
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
            out += c;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const auto end = sql.find('\n', i);
            out += sql.substr(i, end == std::string::npos ? std::string::npos : end - i);
            if (end == std::string::npos) break;
            i = end - 1;
        } else if (c == '?') {
            out += dollar(++count);
        } else {
            out += c;
        }
    }
    return out;
}

void Params::add(const Variant& value, ColumnKind kind) {
    storage_.emplace_back();
    std::string& text = storage_.back();
    bool null = false, binary = false;
    if (value.isNull()) {
        null = true;
    } else if (value.type() == Variant::Type::Bytes) {
        text.assign(value.bytes().begin(), value.bytes().end());
        binary = true;
    } else {
        text = paramText(value, kind);
    }
    nulls_.push_back(null);
    formats_.push_back(binary ? 1 : 0);
    types_.push_back(binary ? kByteaOid : 0);
}

std::uint8_t* Params::addBytes(std::size_t size) {
    storage_.emplace_back(size, '\0');
    nulls_.push_back(false);
    formats_.push_back(1);
    types_.push_back(kByteaOid);
    return reinterpret_cast<std::uint8_t*>(storage_.back().data());
}

PGresult* Params::exec(PGconn* conn, PreparedStatements& statements, const std::string& sql,
                       int resultFormat) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (std::size_t i = 0; i < storage_.size(); ++i) {
        values.push_back(nulls_[i] ? nullptr : storage_[i].data());
        lengths.push_back(static_cast<int>(storage_[i].size()));
    }
    if (!statements.enabled())
        return PQexecParams(conn, sql.c_str(), count(), types_.data(), values.data(),
                            lengths.data(), formats_.data(), resultFormat);
    const auto execPrepared = [&] {
        PGresult* failure = nullptr;
        const char* name = statements.Prepare(conn, sql, types_, failure);
        if (!name) return failure;
        return PQexecPrepared(conn, name, count(), values.data(), lengths.data(), formats_.data(),
                              resultFormat);
    };
    PGresult* result = execPrepared();
    if (!planWentStale(result)) return result;
    // A table changed shape under the plans, or the session lost them: they are made
    // again, and outside a transaction the statement can simply be sent once more.
    statements.Clear(conn);
    if (PQtransactionStatus(conn) != PQTRANS_IDLE) return result;
    PQclear(result);
    return execPrepared();
}

Result::Result(PGconn* conn, PGresult* result) : result_(result) {
    const ExecStatusType status = PQresultStatus(result_);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const std::string message =
            withoutTrailingBlanks(result_ ? PQresultErrorMessage(result_) : PQerrorMessage(conn));
        PQclear(result_);
        throw Error(message.empty() ? withoutTrailingBlanks(PQerrorMessage(conn)) : message);
    }
}

Variant Result::value(int row, int col) const {
    if (isNull(row, col)) return Variant();
    const std::string t = text(row, col);
    switch (PQftype(result_, col)) {
        case kBoolOid:
            return Variant(t == "t");
        case kInt2Oid:
        case kInt4Oid:
        case kInt8Oid:
        case kOidOid:
            return Variant(static_cast<std::int64_t>(std::stoll(t)));
        case kFloat4Oid:
        case kFloat8Oid:
        case kNumericOid:
            return Variant(Variant(t).toDouble());  // not the locale's strtod
        default:
            return Variant(t);
    }
}

std::vector<Variant> rowValues(const TableInfo& table, const Result& result, int r) {
    std::vector<Variant> values;
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        values.push_back(result.value(r, static_cast<int>(c) + 1));
    return values;
}

Transaction::Transaction(PGconn* conn) : conn_(conn) {
    if (PQtransactionStatus(conn_) == PQTRANS_IDLE) {
        Result(conn_, PQexec(conn_, "BEGIN"));
        owned_ = true;
    }
}

Transaction::~Transaction() {
    if (owned_) PQclear(PQexec(conn_, "ROLLBACK"));
}

void Transaction::commit() {
    if (!owned_) return;
    owned_ = false;
    Result(conn_, PQexec(conn_, "COMMIT"));
}

}  // namespace kelvo::postgres
