// Connection, keyset Recordset and Field, written once over the engine seam of
// db_backend.h: keys are taken at Open, values are read when a row is current.
#include "platform/database.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "platform/criteria.h"
#include "platform/db_backend.h"

namespace kelvo {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Bytes of AppendChunk calls, kept in an anonymous temporary file until Update.
class Spool {
  public:
    Spool() : file_(std::tmpfile()) {
        if (!file_)
            throw Error(std::string("cannot create a temporary file for binary data: ") +
                        std::strerror(errno));
    }
    ~Spool() { std::fclose(file_); }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    void Append(const Bytes& chunk) {
        if (chunk.empty()) return;
        std::fseek(file_, 0, SEEK_END);
        if (std::fwrite(chunk.data(), 1, chunk.size(), file_) != chunk.size() ||
            std::fflush(file_) != 0)
            throw Error(std::string("cannot write binary data to a temporary file: ") +
                        std::strerror(errno));
        size_ += static_cast<std::int64_t>(chunk.size());
    }
    std::int64_t Size() const { return size_; }

    BlobWrite Writer(const ColumnInfo& column) {
        std::rewind(file_);
        BlobWrite write;
        write.column = column;
        write.size = size_;
        write.read = [this](std::uint8_t* out, std::size_t length) {
            const std::size_t got = std::fread(out, 1, length, file_);
            if (got == 0 && std::ferror(file_))
                throw Error("cannot read binary data back from a temporary file");
            return got;
        };
        return write;
    }

  private:
    std::FILE* file_;
    std::int64_t size_ = 0;
};

// Where GetChunk stands on a column of the current row, with bytes read ahead.
struct ChunkReader {
    std::optional<std::int64_t> size;  // known after the first call
    bool sizeKnown = false;
    std::int64_t offset = 0;
    std::int64_t aheadStart = 0;
    Bytes ahead;
};

}  // namespace

// The keyset and the position of an open recordset.
class Cursor : public KeyWatcher {
  public:
    TableInfo table;
    std::vector<BoundValue> where;
    std::optional<ColumnInfo> orderBy;
    std::vector<RowKey> keys;
    std::vector<char> deleted;
    std::vector<char> passes;  // row passes the Filter
    std::int64_t count = 0;    // rows neither deleted nor filtered out
    std::int64_t pos = -1;     // -1 before the first row, keys.size() after the last
    std::optional<Criterion> filter;

    // The current row's values, read on first use.
    std::optional<std::vector<Variant>> row;
    // Rows read together with it, by position; valid while the database has not changed
    // since (`fetchedAtVersion`).
    std::map<std::int64_t, std::optional<std::vector<Variant>>> fetched;
    std::optional<std::uint64_t> fetchedAtVersion;
    std::int64_t fetchedFrom = -1;  // where the last page was read, for the walk's direction
    std::map<int, ChunkReader> readers;

    // Changes staged until Update.
    bool adding = false;
    std::map<int, Variant> staged;
    std::map<int, std::unique_ptr<Spool>> spools;

    std::int64_t size() const { return static_cast<std::int64_t>(keys.size()); }
    bool visible(std::int64_t i) const { return !deleted[i] && passes[i]; }
    bool hasRow() const { return count > 0 && pos >= 0 && pos < size(); }
    bool pending() const { return adding || !staged.empty() || !spools.empty(); }

    std::int64_t nextVisible(std::int64_t from) const {
        for (std::int64_t i = std::max<std::int64_t>(from, 0); i < size(); ++i)
            if (visible(i)) return i;
        return size();
    }
    std::int64_t previousVisible(std::int64_t from) const {
        for (std::int64_t i = std::min(from, size() - 1); i >= 0; --i)
            if (visible(i)) return i;
        return -1;
    }
    void recount() {
        count = 0;
        for (std::int64_t i = 0; i < size(); ++i) count += visible(i) ? 1 : 0;
    }
    void forgetRow() {
        row.reset();
        readers.clear();
    }
    void forgetFetched() {
        forgetRow();
        fetched.clear();
    }
    void dropStaged() {
        adding = false;
        staged.clear();
        spools.clear();
    }
    void setKeys(std::vector<RowKey> fresh) {
        keys = std::move(fresh);
        deleted.assign(keys.size(), 0);
        passes.assign(keys.size(), 1);
    }

    void KeysMoved(const std::string& tableName, const std::vector<KeyMove>& moves) override {
        if (tableName != table.name) return;
        std::map<std::string, RowKey> moved;
        for (const KeyMove& move : moves) moved.emplace(move.from.toText(), move.to);
        for (RowKey& key : keys) {
            auto it = moved.find(key.toText());
            if (it != moved.end()) key = it->second;
        }
        fetched.clear();
    }
};

namespace {

Cursor& openCursor(const std::unique_ptr<Cursor>& cursor) {
    if (!cursor) throw Error("operation is not allowed when the recordset is closed");
    return *cursor;
}

// REQUIRES: a current row that has not been deleted.
void requireCurrentRow(const Cursor& cursor, const char* operation) {
    if (!cursor.hasRow())
        throw Error(std::string(operation) +
                    ": either BOF or EOF is true; there is no current row");
    if (cursor.deleted[cursor.pos])
        throw Error(std::string(operation) + ": the current row has been deleted");
}

std::vector<bool> evaluate(Backend& engine, const Cursor& cursor, const Criterion& criterion,
                           const std::vector<RowKey>& keys) {
    const ColumnInfo& column = cursor.table.Column(criterion.column);
    const std::vector<Variant> values = engine.ColumnValues(cursor.table, keys, column);
    std::vector<bool> result(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) result[i] = Matches(criterion, values[i]);
    return result;
}

void applyFilter(Backend& engine, Cursor& cursor) {
    if (!cursor.filter) {
        cursor.passes.assign(cursor.keys.size(), 1);
    } else {
        const std::vector<bool> match = evaluate(engine, cursor, *cursor.filter, cursor.keys);
        for (std::size_t i = 0; i < match.size(); ++i) cursor.passes[i] = match[i] ? 1 : 0;
    }
    cursor.recount();
}

}  // namespace

// ---------------------------------------------------------------------------- Connection

std::shared_ptr<Connection> Connection::Open(const std::string& target) {
    if (startsWith(target, "postgresql://") || startsWith(target, "postgres://"))
        return std::make_shared<Connection>(OpenPostgres(target));
    return std::make_shared<Connection>(OpenSqlite(target));
}

Connection::Connection(std::unique_ptr<Backend> backend) : backend_(std::move(backend)) {}
Connection::~Connection() = default;

bool Connection::IsOpen() const {
    return backend_ != nullptr;
}
void Connection::Close() {
    backend_.reset();
}

Backend& Connection::backend() {
    if (!backend_) throw Error("operation is not allowed when the connection is closed");
    return *backend_;
}

Connection::ReadsTogether::ReadsTogether(Connection* connection)
    : connection_(connection), engine_(connection ? connection->backend_.get() : nullptr) {
    if (engine_) engine_->BeginReads();
}

Connection::ReadsTogether::~ReadsTogether() {
    if (engine_ && connection_->backend_.get() == engine_) engine_->EndReads();
}

Connection::WritesTogether::WritesTogether(Connection& connection) : connection_(connection) {
    connection_.backend().BeginWrites();
}

Connection::WritesTogether::~WritesTogether() {
    if (!open_ || !connection_.IsOpen()) return;
    try {
        connection_.Execute("ROLLBACK");
    } catch (const Error&) {
    }
}

void Connection::WritesTogether::Commit() {
    connection_.Execute("COMMIT");
    open_ = false;
}

std::string Connection::Engine() const {
    if (!backend_) throw Error("operation is not allowed when the connection is closed");
    return backend_->Engine();
}

void Connection::Execute(const std::string& sql, const std::vector<Variant>& params) {
    backend().Execute(sql, params);
}

namespace {

template <typename Pair>
std::vector<BoundValue> bindToColumns(const TableInfo& table, const std::vector<Pair>& pairs) {
    std::vector<BoundValue> bound;
    for (const Pair& pair : pairs) bound.push_back({table.Column(pair.column), pair.value});
    return bound;
}

}  // namespace

void Connection::ExecuteUpdate(const std::string& table, const std::vector<Assignment>& set,
                               const std::vector<Condition>& where) {
    Backend& engine = backend();
    const TableInfo info = engine.Table(table);
    if (set.empty()) throw Error("UPDATE of table \"" + info.name + "\" sets no column");
    engine.ExecuteUpdate(info, bindToColumns(info, set), bindToColumns(info, where));
}

void Connection::ExecuteDelete(const std::string& table, const std::vector<Condition>& where) {
    Backend& engine = backend();
    const TableInfo info = engine.Table(table);
    engine.ExecuteDelete(info, bindToColumns(info, where));
}

// ----------------------------------------------------------------------------- Recordset

Recordset::Recordset() = default;

Recordset::~Recordset() {
    Close();
}

void Recordset::ActiveConnection(std::shared_ptr<Connection> connection) {
    connection_ = std::move(connection);
}
std::shared_ptr<Connection> Recordset::ActiveConnection() const {
    return connection_;
}

void Recordset::Source(Selection selection) {
    source_ = std::move(selection);
}
const Selection& Recordset::Source() const {
    return source_;
}

void Recordset::Open() {
    if (cursor_) throw Error("operation is not allowed when the recordset is open");
    if (!connection_) throw Error("the recordset has no active connection");
    Backend& engine = connection_->backend();
    const Connection::ReadsTogether together(connection_.get());

    auto cursor = std::make_unique<Cursor>();
    cursor->table = engine.Table(source_.table);
    cursor->where = bindToColumns(cursor->table, source_.where);
    if (!source_.orderBy.empty()) cursor->orderBy = cursor->table.Column(source_.orderBy);
    cursor->setKeys(engine.SelectKeys(cursor->table, cursor->where,
                                      cursor->orderBy ? &*cursor->orderBy : nullptr));
    cursor->recount();
    cursor->pos = cursor->nextVisible(0);

    fields_.clear();
    for (const ColumnInfo& column : cursor->table.columns)
        fields_.emplace_back(new Field(*this, column.name));
    filter_.clear();
    engine.Watch(cursor.get());
    cursor_ = std::move(cursor);
}

bool Recordset::IsOpen() const {
    return cursor_ != nullptr;
}

void Recordset::Close() {
    if (!cursor_) return;
    if (connection_ && connection_->IsOpen()) connection_->backend().Unwatch(cursor_.get());
    cursor_.reset();
    fields_.clear();
    filter_.clear();
}

std::int32_t Recordset::RecordCount() const {
    return static_cast<std::int32_t>(openCursor(cursor_).count);
}

bool Recordset::BOF() const {
    const Cursor& cursor = openCursor(cursor_);
    return cursor.count == 0 || cursor.pos < 0;
}

bool Recordset::EOF() const {
    const Cursor& cursor = openCursor(cursor_);
    return cursor.count == 0 || cursor.pos >= cursor.size();
}

namespace {

// Moving away from a row saves what was staged on it, as an ADO client does.
void moveTo(Recordset& recordset, Cursor& cursor, std::int64_t pos) {
    if (cursor.pending()) recordset.Update();
    cursor.pos = pos;
    cursor.forgetRow();
}

}  // namespace

void Recordset::MoveFirst() {
    Cursor& cursor = openCursor(cursor_);
    if (cursor.count == 0) throw Error("MoveFirst: the recordset has no rows (BOF and EOF)");
    moveTo(*this, cursor, cursor.nextVisible(0));
}

void Recordset::MoveLast() {
    Cursor& cursor = openCursor(cursor_);
    if (cursor.count == 0) throw Error("MoveLast: the recordset has no rows (BOF and EOF)");
    moveTo(*this, cursor, cursor.previousVisible(cursor.size() - 1));
}

void Recordset::MoveNext() {
    Cursor& cursor = openCursor(cursor_);
    if (EOF()) throw Error("MoveNext: EOF is true; there is no row after the last one");
    moveTo(*this, cursor, cursor.nextVisible(cursor.pos + 1));
}

void Recordset::MovePrevious() {
    Cursor& cursor = openCursor(cursor_);
    if (BOF()) throw Error("MovePrevious: BOF is true; there is no row before the first one");
    moveTo(*this, cursor, cursor.previousVisible(cursor.pos - 1));
}

void Recordset::Find(const std::string& criteria) {
    const Criterion criterion = ParseCriterion(criteria);
    FindFirst(criterion.column,
              [&criterion](const Variant& value) { return Matches(criterion, value); });
}

void Recordset::FindFirst(const std::string& columnName,
                          const std::function<bool(const Variant&)>& test) {
    Cursor& cursor = openCursor(cursor_);
    Backend& engine = connection_->backend();
    const ColumnInfo& column = cursor.table.Column(columnName);

    std::int64_t start = cursor.pos < 0 ? 0 : cursor.pos;
    if (start < cursor.size() && cursor.deleted[start]) ++start;
    // In batches, so a match near the current row is found without reading every row.
    constexpr std::int64_t kBatch = 256;
    for (std::int64_t from = start; from < cursor.size(); from += kBatch) {
        std::vector<std::int64_t> rows;
        std::vector<RowKey> keys;
        for (std::int64_t i = from; i < std::min(from + kBatch, cursor.size()); ++i) {
            if (!cursor.visible(i)) continue;
            rows.push_back(i);
            keys.push_back(cursor.keys[i]);
        }
        const std::vector<Variant> values = engine.ColumnValues(cursor.table, keys, column);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            if (test(values[k])) return moveTo(*this, cursor, rows[k]);
        }
    }
    moveTo(*this, cursor, cursor.size());
}

void Recordset::Filter(const std::string& criteria) {
    Cursor& cursor = openCursor(cursor_);
    std::optional<Criterion> criterion;
    if (!criteria.empty()) {
        criterion = ParseCriterion(criteria);
        cursor.table.Column(criterion->column);
    }
    if (cursor.pending()) Update();
    cursor.filter = criterion;
    filter_ = criteria;
    applyFilter(connection_->backend(), cursor);
    moveTo(*this, cursor, cursor.nextVisible(0));
}

const std::string& Recordset::Filter() const {
    return filter_;
}

Bookmark Recordset::GetBookmark() const {
    const Cursor& cursor = openCursor(cursor_);
    requireCurrentRow(cursor, "Bookmark");
    return Bookmark{cursor.pos};
}

Variant Recordset::RowIdentity() const {
    const Cursor& cursor = openCursor(cursor_);
    requireCurrentRow(cursor, "RowIdentity");
    return cursor.keys[static_cast<std::size_t>(cursor.pos)];
}

void Recordset::SetBookmark(const Bookmark& mark) {
    Cursor& cursor = openCursor(cursor_);
    if (mark.index < 0 || mark.index >= cursor.size() || !cursor.visible(mark.index))
        throw Error("Bookmark: the bookmark does not name a row of this recordset");
    moveTo(*this, cursor, mark.index);
}

void Recordset::AddNew() {
    Cursor& cursor = openCursor(cursor_);
    if (cursor.pending()) Update();
    cursor.adding = true;
    cursor.forgetRow();
}

void Recordset::Update() {
    Cursor& cursor = openCursor(cursor_);
    if (!cursor.pending()) return;
    Backend& engine = connection_->backend();
    if (!cursor.adding) requireCurrentRow(cursor, "Update");

    std::vector<BoundValue> values;
    for (const auto& [index, value] : cursor.staged)
        values.push_back({cursor.table.columns[index], value});
    std::vector<BlobWrite> blobs;
    for (const auto& [index, spool] : cursor.spools)
        blobs.push_back(spool->Writer(cursor.table.columns[index]));

    if (cursor.adding) {
        RowKey key = engine.InsertRow(cursor.table, values, blobs);
        cursor.keys.push_back(std::move(key));
        cursor.deleted.push_back(0);
        cursor.passes.push_back(1);
        ++cursor.count;
        cursor.pos = cursor.size() - 1;
    } else {
        cursor.keys[cursor.pos] =
            engine.UpdateRow(cursor.table, cursor.keys[cursor.pos], values, blobs);
    }
    cursor.dropStaged();
    cursor.forgetRow();
}

void Recordset::CancelUpdate() {
    Cursor& cursor = openCursor(cursor_);
    cursor.dropStaged();
    cursor.forgetRow();
}

void Recordset::Delete(int affect) {
    Cursor& cursor = openCursor(cursor_);
    if (affect != 1) throw Error("Delete: only the current row (affect 1) can be deleted");
    if (cursor.adding) {
        cursor.dropStaged();
        return;
    }
    requireCurrentRow(cursor, "Delete");
    connection_->backend().DeleteRow(cursor.table, cursor.keys[cursor.pos]);
    cursor.dropStaged();
    cursor.deleted[cursor.pos] = 1;
    if (cursor.passes[cursor.pos]) --cursor.count;
    cursor.forgetRow();
}

void Recordset::Requery(int options) {
    Cursor& cursor = openCursor(cursor_);
    Backend& engine = connection_->backend();
    std::vector<RowKey> keys =
        engine.SelectKeys(cursor.table, cursor.where, cursor.orderBy ? &*cursor.orderBy : nullptr);
    cursor.dropStaged();
    cursor.setKeys(std::move(keys));
    applyFilter(engine, cursor);
    cursor.pos = cursor.nextVisible(0);
    cursor.forgetFetched();
}

Field& Recordset::Fields(const std::string& name) {
    const Cursor& cursor = openCursor(cursor_);
    const ColumnInfo& column = cursor.table.Column(name);
    return *fields_[static_cast<std::size_t>(cursor.table.IndexOf(column.name))];
}

std::vector<std::string> Recordset::ColumnNames() const {
    const Cursor& cursor = openCursor(cursor_);
    std::vector<std::string> names;
    for (const ColumnInfo& column : cursor.table.columns) names.push_back(column.name);
    return names;
}

// --------------------------------------------------------------------------------- Field

namespace {

struct FieldTarget {
    Cursor& cursor;
    Backend& engine;
    int index;
    const ColumnInfo& column() const { return cursor.table.columns[index]; }
    const RowKey& key() const { return cursor.keys[cursor.pos]; }
};

}  // namespace

namespace {

constexpr std::size_t kRowsPerFetch = 16;

// The visible positions around `pos` that one fetch reads: onwards from it, or back from
// it while the walk goes backwards.
std::vector<std::int64_t> pageAround(const Cursor& cursor, std::int64_t pos) {
    std::vector<std::int64_t> page{pos};
    const bool backwards = cursor.fetchedFrom > pos;
    for (std::int64_t i = pos; page.size() < kRowsPerFetch;) {
        i = backwards ? cursor.previousVisible(i - 1) : cursor.nextVisible(i + 1);
        if (i < 0 || i >= cursor.size()) break;
        page.push_back(i);
    }
    return page;
}

// The current row's values, from the rows fetched with an earlier one when the database
// has not changed since; otherwise with a fresh page of rows.
std::optional<std::vector<Variant>> currentRowValues(Cursor& cursor, Backend& engine) {
    const std::optional<std::uint64_t> version = engine.DataVersion();
    if (!version || version != cursor.fetchedAtVersion) cursor.fetched.clear();
    auto known = cursor.fetched.find(cursor.pos);
    if (known == cursor.fetched.end()) {
        const std::vector<std::int64_t> page =
            version ? pageAround(cursor, cursor.pos) : std::vector<std::int64_t>{cursor.pos};
        std::vector<RowKey> keys;
        for (std::int64_t i : page) keys.push_back(cursor.keys[i]);
        auto rows = engine.FetchRows(cursor.table, keys);
        cursor.fetched.clear();
        for (std::size_t k = 0; k < page.size(); ++k) cursor.fetched[page[k]] = std::move(rows[k]);
        cursor.fetchedAtVersion = version;
        cursor.fetchedFrom = cursor.pos;
        known = cursor.fetched.find(cursor.pos);
    }
    return known->second;
}

}  // namespace

Variant Field::Value() const {
    Cursor& cursor = openCursor(owner_->cursor_);
    const FieldTarget target{cursor, owner_->connection_->backend(), cursor.table.IndexOf(name_)};
    if (auto it = cursor.staged.find(target.index); it != cursor.staged.end()) return it->second;
    if (cursor.adding) return Variant();
    requireCurrentRow(cursor, "Value");
    if (target.column().kind == ColumnKind::Binary) {
        const auto size = target.engine.BlobSize(cursor.table, target.key(), target.column());
        if (!size) return Variant();
        return Variant(
            target.engine.ReadBlob(cursor.table, target.key(), target.column(), 0, *size));
    }
    if (!cursor.row) {
        cursor.row = currentRowValues(cursor, target.engine);
        if (!cursor.row)
            throw Error("Value: the current row of table \"" + cursor.table.name +
                        "\" no longer exists (deleted or changed by another user)");
    }
    return (*cursor.row)[target.index];
}

void Field::Value(const Variant& value) {
    Cursor& cursor = openCursor(owner_->cursor_);
    const FieldTarget target{cursor, owner_->connection_->backend(), cursor.table.IndexOf(name_)};
    if (!cursor.adding) requireCurrentRow(cursor, "Value");
    cursor.spools.erase(target.index);
    cursor.staged[target.index] = value;
}

std::int64_t Field::ActualSize() const {
    Cursor& cursor = openCursor(owner_->cursor_);
    const FieldTarget target{cursor, owner_->connection_->backend(), cursor.table.IndexOf(name_)};
    if (auto it = cursor.spools.find(target.index); it != cursor.spools.end())
        return it->second->Size();
    if (auto it = cursor.staged.find(target.index); it != cursor.staged.end()) {
        const Variant& value = it->second;
        if (value.isNull()) return 0;
        if (value.type() == Variant::Type::Bytes)
            return static_cast<std::int64_t>(value.bytes().size());
        return static_cast<std::int64_t>(value.toText().size());
    }
    if (cursor.adding) return 0;
    requireCurrentRow(cursor, "ActualSize");
    return target.engine.BlobSize(cursor.table, target.key(), target.column()).value_or(0);
}

Bytes Field::GetChunk(std::int64_t length) {
    Cursor& cursor = openCursor(owner_->cursor_);
    const FieldTarget target{cursor, owner_->connection_->backend(), cursor.table.IndexOf(name_)};
    requireCurrentRow(cursor, "GetChunk");
    ChunkReader& reader = cursor.readers[target.index];
    if (!reader.sizeKnown) {
        reader.size = target.engine.BlobSize(cursor.table, target.key(), target.column());
        reader.sizeKnown = true;
    }
    const std::int64_t size = reader.size.value_or(0);
    const std::int64_t wanted = std::max<std::int64_t>(0, std::min(length, size - reader.offset));
    if (wanted == 0) return {};

    const std::int64_t aheadEnd =
        reader.aheadStart + static_cast<std::int64_t>(reader.ahead.size());
    if (reader.offset < reader.aheadStart || reader.offset + wanted > aheadEnd) {
        const std::int64_t span = std::min(
            size - reader.offset, std::max(wanted, target.engine.ReadAhead(reader.offset)));
        reader.ahead.clear();
        reader.ahead.shrink_to_fit();
        reader.ahead = target.engine.ReadBlob(cursor.table, target.key(), target.column(),
                                              reader.offset, span);
        reader.aheadStart = reader.offset;
        if (static_cast<std::int64_t>(reader.ahead.size()) < wanted)
            throw Error("GetChunk: the value of column \"" + name_ +
                        "\" changed while it was read");
    }
    const auto begin = reader.ahead.begin() + (reader.offset - reader.aheadStart);
    Bytes chunk(begin, begin + wanted);
    reader.offset += wanted;
    // Nothing is left to read ahead of: the buffer is not held while the caller uses the value.
    if (reader.offset == size) Bytes().swap(reader.ahead);
    return chunk;
}

void Field::AppendChunk(const Bytes& chunk) {
    Cursor& cursor = openCursor(owner_->cursor_);
    const FieldTarget target{cursor, owner_->connection_->backend(), cursor.table.IndexOf(name_)};
    if (!cursor.adding) requireCurrentRow(cursor, "AppendChunk");
    auto it = cursor.spools.find(target.index);
    if (it == cursor.spools.end()) {
        auto spool = std::make_unique<Spool>();
        cursor.staged.erase(target.index);
        it = cursor.spools.emplace(target.index, std::move(spool)).first;
    }
    it->second->Append(chunk);
}

}  // namespace kelvo
