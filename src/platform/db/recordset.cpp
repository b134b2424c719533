// Recordset: preparation, opening and the ADO operations, over the keyset of cursor.h.
#include "platform/db/recordset.h"

#include "platform/db/cursor.h"

namespace kelvo {
namespace {

// Moving away from a row saves what was staged on it, as an ADO client does.
void moveTo(Recordset& recordset, Cursor& cursor, std::int64_t pos) {
    if (cursor.pending()) recordset.Update();
    cursor.StandOn(pos);
}

}  // namespace

Recordset::Recordset() = default;

Recordset::~Recordset() {
    Close();
}

Cursor& Recordset::cursor() const {
    if (!cursor_) throw Error("operation is not allowed when the recordset is closed");
    return *cursor_;
}

Engine& Recordset::engine() const {
    return connection_->engine();
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
    Engine& engine = connection_->engine();
    const Connection::ReadsTogether together(connection_.get());

    auto cursor = std::make_unique<Cursor>(engine, engine.Select(source_));
    fields_.clear();
    for (const ColumnInfo& column : cursor->table().columns)
        fields_.emplace_back(new Field(*this, column.name));
    filter_.clear();
    engine.Watch(cursor.get());
    cursor_ = std::move(cursor);
}

void Recordset::Open(Selection source, std::shared_ptr<Connection> connection) {
    Source(std::move(source));
    ActiveConnection(std::move(connection));
    Open();
}

bool Recordset::IsOpen() const {
    return cursor_ != nullptr;
}

void Recordset::Close() {
    if (!cursor_) return;
    if (connection_ && connection_->IsOpen()) engine().Unwatch(cursor_.get());
    cursor_.reset();
    fields_.clear();
    filter_.clear();
}

std::int32_t Recordset::RecordCount() const {
    return static_cast<std::int32_t>(cursor().count());
}

bool Recordset::BOF() const {
    return cursor().beforeFirst();
}

bool Recordset::EOF() const {
    return cursor().afterLast();
}

void Recordset::MoveFirst() {
    Cursor& cursor = this->cursor();
    if (cursor.count() == 0) throw Error("MoveFirst: the recordset has no rows (BOF and EOF)");
    moveTo(*this, cursor, cursor.firstRow());
}

void Recordset::MoveLast() {
    Cursor& cursor = this->cursor();
    if (cursor.count() == 0) throw Error("MoveLast: the recordset has no rows (BOF and EOF)");
    moveTo(*this, cursor, cursor.lastRow());
}

void Recordset::MoveNext() {
    Cursor& cursor = this->cursor();
    if (cursor.afterLast())
        throw Error("MoveNext: EOF is true; there is no row after the last one");
    moveTo(*this, cursor, cursor.nextRow());
}

void Recordset::MovePrevious() {
    Cursor& cursor = this->cursor();
    if (cursor.beforeFirst())
        throw Error("MovePrevious: BOF is true; there is no row before the first one");
    moveTo(*this, cursor, cursor.previousRow());
}

void Recordset::Find(const std::string& criteria) {
    const Criterion criterion = ParseCriterion(criteria);
    FindFirst(criterion.column,
              [&criterion](const Variant& value) { return Matches(criterion, value); });
}

void Recordset::FindFirst(const std::string& columnName,
                          const std::function<bool(const Variant&)>& test) {
    Cursor& cursor = this->cursor();
    Engine& engine = this->engine();
    const ColumnInfo& column = cursor.table().Column(columnName);
    moveTo(*this, cursor, cursor.Find(engine, column, test));
}

void Recordset::FindFirstTrue(const std::string& columnName) {
    Cursor& cursor = this->cursor();
    Engine& engine = this->engine();
    const ColumnInfo& column = cursor.table().Column(columnName);
    const bool staged = cursor.pending();
    Cursor::Found found = cursor.FindTrue(engine, column);
    moveTo(*this, cursor, found.pos);
    // Values read before the staged ones were written may be out of date.
    if (found.row && !staged) cursor.KnowRow(std::move(*found.row));
}

void Recordset::Filter(const std::string& criteria) {
    Cursor& cursor = this->cursor();
    std::optional<Criterion> criterion;
    if (!criteria.empty()) {
        criterion = ParseCriterion(criteria);
        cursor.table().Column(criterion->column);
    }
    if (cursor.pending()) Update();
    cursor.SetFilter(std::move(criterion));
    filter_ = criteria;
    cursor.ApplyFilter(engine());
    moveTo(*this, cursor, cursor.firstRow());
}

const std::string& Recordset::Filter() const {
    return filter_;
}

Bookmark Recordset::GetBookmark() const {
    const Cursor& cursor = this->cursor();
    cursor.RequireRow("Bookmark");
    return Bookmark{cursor.pos()};
}

Variant Recordset::RowIdentity() const {
    const Cursor& cursor = this->cursor();
    cursor.RequireRow("RowIdentity");
    return cursor.key();
}

void Recordset::SetBookmark(const Bookmark& mark) {
    Cursor& cursor = this->cursor();
    if (mark.index < 0 || mark.index >= cursor.size() || !cursor.visible(mark.index))
        throw Error("Bookmark: the bookmark does not name a row of this recordset");
    moveTo(*this, cursor, mark.index);
}

void Recordset::AddNew() {
    Cursor& cursor = this->cursor();
    if (cursor.pending()) Update();
    cursor.StartAdding();
}

void Recordset::Update() {
    Cursor& cursor = this->cursor();
    if (cursor.pending()) cursor.WriteStaged(engine());
}

void Recordset::CancelUpdate() {
    Cursor& cursor = this->cursor();
    cursor.DropStaged();
    cursor.ForgetRow();
}

void Recordset::Delete(int affect) {
    Cursor& cursor = this->cursor();
    if (affect != 1) throw Error("Delete: only the current row (affect 1) can be deleted");
    if (cursor.adding()) return cursor.DropStaged();
    cursor.RequireRow("Delete");
    cursor.DeleteCurrent(engine());
}

void Recordset::Requery(int /*options*/) {
    Cursor& cursor = this->cursor();
    cursor.TakeKeys(engine());
}

Field& Recordset::Fields(const std::string& name) {
    const Cursor& cursor = this->cursor();
    const ColumnInfo& column = cursor.table().Column(name);
    return *fields_[static_cast<std::size_t>(cursor.table().IndexOf(column.name))];
}

std::vector<std::string> Recordset::ColumnNames() const {
    std::vector<std::string> names;
    for (const ColumnInfo& column : cursor().table().columns) names.push_back(column.name);
    return names;
}

}  // namespace kelvo
