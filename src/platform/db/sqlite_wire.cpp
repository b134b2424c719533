#include "platform/db/sqlite_wire.h"

#include "platform/error.h"
#include "platform/text.h"

namespace kelvo::sqlite {

std::string numbered(int n) {
    return "?" + std::to_string(n);
}

ColumnKind kindOfDeclared(const std::string& declared) {
    const std::string type = UCase(declared);
    const auto has = [&](const char* word) { return type.find(word) != std::string::npos; };
    if (has("BOOL") || type == "BIT") return ColumnKind::Boolean;
    if (has("INT")) return ColumnKind::Integer;
    if (has("CHAR") || has("CLOB") || has("TEXT")) return ColumnKind::Text;
    if (has("BLOB") || has("BINARY") || has("IMAGE") || has("BYTEA")) return ColumnKind::Binary;
    if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC"))
        return ColumnKind::Real;
    return ColumnKind::Other;
}

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) fail();
}

Statement::~Statement() {
    if (!inUse_) {
        sqlite3_finalize(stmt_);
        return;
    }
    reset();
    *inUse_ = false;
}

void Statement::bind(int index, const Variant& value, ColumnKind kind) {
    int rc = SQLITE_OK;
    switch (value.type()) {
        case Variant::Type::Null:
            rc = sqlite3_bind_null(stmt_, index);
            break;
        case Variant::Type::Bool:
            rc = sqlite3_bind_int(stmt_, index, value.toBool() ? 1 : 0);
            break;
        case Variant::Type::Int:
            rc = sqlite3_bind_int64(stmt_, index, value.toInt());
            break;
        case Variant::Type::Double:
            rc = sqlite3_bind_double(stmt_, index, value.toDouble());
            break;
        case Variant::Type::Text: {
            const std::string& text = value.toText();
            const bool isTrue = SameName(text, "TRUE");
            if ((kind == ColumnKind::Boolean || kind == ColumnKind::Integer) &&
                (isTrue || SameName(text, "FALSE"))) {
                rc = sqlite3_bind_int(stmt_, index, isTrue ? 1 : 0);
            } else {
                rc = sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                         SQLITE_UTF8);
            }
            break;
        }
        case Variant::Type::Bytes: {
            const Bytes& bytes = value.bytes();
            rc = sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
            break;
        }
    }
    if (rc != SQLITE_OK) fail();
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    fail();
}

Variant Statement::column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
        case SQLITE_INTEGER:
            return Variant(static_cast<std::int64_t>(sqlite3_column_int64(stmt_, i)));
        case SQLITE_FLOAT:
            return Variant(sqlite3_column_double(stmt_, i));
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
            return Variant(
                std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i))));
        }
        case SQLITE_BLOB: {
            const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, i));
            return Variant(Bytes(data, data + sqlite3_column_bytes(stmt_, i)));
        }
        default:
            return Variant();
    }
}

std::vector<Variant> rowValues(const TableInfo& table, const Statement& select) {
    std::vector<Variant> values;
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        values.push_back(select.column(static_cast<int>(c) + 1));
    return values;
}

BlobHandle::BlobHandle(sqlite3* db, const TableInfo& table, const ColumnInfo& column,
                       std::int64_t rowid, bool write)
    : db_(db) {
    const auto [schema, name] = SplitTableName(table.name);
    if (sqlite3_blob_open(db, schema.empty() ? "main" : schema.c_str(), name.c_str(),
                          column.name.c_str(), rowid, write ? 1 : 0, &blob_) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_blob_close(blob_);
        throw Error(message);
    }
}

void BlobHandle::read(std::uint8_t* out, int length, int offset) {
    if (sqlite3_blob_read(blob_, out, length, offset) != SQLITE_OK)
        throw Error(sqlite3_errmsg(db_));
}

void BlobHandle::write(const std::uint8_t* data, int length, int offset) {
    if (sqlite3_blob_write(blob_, data, length, offset) != SQLITE_OK)
        throw Error(sqlite3_errmsg(db_));
}

}  // namespace kelvo::sqlite
