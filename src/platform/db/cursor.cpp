// Keyset bookkeeping of a recordset: visibility, movement, read-ahead of rows and staging.
#include "platform/db/cursor.h"

#include <algorithm>
#include <map>
#include <string>

namespace kelvo {
namespace {

constexpr std::size_t kRowsPerFetch = 16;
constexpr std::int64_t kFindBatch = 256;

}  // namespace

Cursor::Cursor(Engine& engine, SelectedRows rows)
    : table_(std::move(rows.table)),
      where_(std::move(rows.where)),
      orderBy_(std::move(rows.orderBy)) {
    useKeys(engine, std::move(rows.keys));
}

std::int64_t Cursor::nextVisible(std::int64_t from) const {
    for (std::int64_t i = std::max<std::int64_t>(from, 0); i < size(); ++i)
        if (visible(i)) return i;
    return size();
}

std::int64_t Cursor::previousVisible(std::int64_t from) const {
    for (std::int64_t i = std::min(from, size() - 1); i >= 0; --i)
        if (visible(i)) return i;
    return -1;
}

void Cursor::recount() {
    count_ = 0;
    for (std::int64_t i = 0; i < size(); ++i) count_ += visible(i) ? 1 : 0;
}

std::int64_t Cursor::findStart() const {
    std::int64_t start = pos_ < 0 ? 0 : pos_;
    if (start < size() && deleted_[start]) ++start;
    return start;
}

Cursor::Found Cursor::FindTrue(Engine& engine, const ColumnInfo& column) const {
    const auto readsTrue = [](const Variant& value) { return !value.isNull() && value.toBool(); };
    // The engine names the few rows that may qualify, so the keyset is not read column-wise.
    auto candidates = engine.RowsNotFalse(table_, where_, column);
    if (!candidates) return {Find(engine, column, readsTrue), std::nullopt};
    const std::size_t index = static_cast<std::size_t>(table_.IndexOf(column.name));
    std::map<std::string, std::vector<Variant>*> trueRows;
    for (auto& [key, values] : *candidates)
        if (readsTrue(values[index])) trueRows.emplace(key.toText(), &values);
    for (std::int64_t i = findStart(); i < size() && !trueRows.empty(); ++i) {
        if (!visible(i)) continue;
        if (auto found = trueRows.find(keys_[i].toText()); found != trueRows.end())
            return {i, std::move(*found->second)};
    }
    return {size(), std::nullopt};
}

std::int64_t Cursor::Find(Engine& engine, const ColumnInfo& column,
                          const std::function<bool(const Variant&)>& test) const {
    const std::int64_t start = findStart();
    for (std::int64_t from = start; from < size(); from += kFindBatch) {
        std::vector<std::int64_t> rows;
        std::vector<RowKey> keys;
        for (std::int64_t i = from; i < std::min(from + kFindBatch, size()); ++i) {
            if (!visible(i)) continue;
            rows.push_back(i);
            keys.push_back(keys_[i]);
        }
        const std::vector<Variant> values = engine.ColumnValues(table_, keys, column);
        for (std::size_t k = 0; k < rows.size(); ++k)
            if (test(values[k])) return rows[k];
    }
    return size();
}

void Cursor::StandOn(std::int64_t pos) {
    pos_ = pos;
    ForgetRow();
}

void Cursor::TakeKeys(Engine& engine) {
    useKeys(engine, engine.SelectKeys(table_, where_, orderBy_ ? &*orderBy_ : nullptr));
}

void Cursor::useKeys(Engine& engine, RowKeys keys) {
    DropStaged();
    keys_ = std::move(keys);
    deleted_.assign(keys_.size(), false);
    passes_.assign(keys_.size(), true);
    ApplyFilter(engine);
    pos_ = nextVisible(0);
    ForgetRow();
    fetched_.clear();
}

void Cursor::ApplyFilter(Engine& engine) {
    if (!filter_) {
        passes_.assign(keys_.size(), true);
    } else {
        const ColumnInfo& column = table_.Column(filter_->column);
        const std::vector<Variant> values = engine.ColumnValues(table_, keys_.all(), column);
        for (std::size_t i = 0; i < values.size(); ++i) passes_[i] = Matches(*filter_, values[i]);
    }
    recount();
}

void Cursor::RequireRow(const char* operation) const {
    if (count_ == 0 || pos_ < 0 || pos_ >= size())
        throw Error(std::string(operation) +
                    ": either BOF or EOF is true; there is no current row");
    if (deleted_[pos_]) throw Error(std::string(operation) + ": the current row has been deleted");
}

// The visible positions around `pos` that one fetch reads: onwards from it, or back from
// it while the walk goes backwards.
std::vector<std::int64_t> Cursor::pageAround(std::int64_t pos) const {
    std::vector<std::int64_t> page{pos};
    const bool backwards = fetchedFrom_ > pos;
    for (std::int64_t i = pos; page.size() < kRowsPerFetch;) {
        i = backwards ? previousVisible(i - 1) : nextVisible(i + 1);
        if (i < 0 || i >= size()) break;
        page.push_back(i);
    }
    return page;
}

// From the rows fetched with an earlier one when the database has not changed since;
// otherwise with a fresh page of rows.
std::optional<std::vector<Variant>> Cursor::fetchCurrentRow(Engine& engine) {
    const std::optional<std::uint64_t> version = engine.DataVersion();
    if (!version || version != fetchedAtVersion_) fetched_.clear();
    auto known = fetched_.find(pos_);
    if (known == fetched_.end()) {
        const std::vector<std::int64_t> page =
            version ? pageAround(pos_) : std::vector<std::int64_t>{pos_};
        std::vector<RowKey> keys;
        for (std::int64_t i : page) keys.push_back(keys_[i]);
        auto rows = engine.FetchRows(table_, keys);
        fetched_.clear();
        for (std::size_t k = 0; k < page.size(); ++k) fetched_[page[k]] = std::move(rows[k]);
        fetchedAtVersion_ = version;
        fetchedFrom_ = pos_;
        known = fetched_.find(pos_);
    }
    return known->second;
}

const std::vector<Variant>& Cursor::RowValues(Engine& engine) {
    if (!row_) {
        row_ = fetchCurrentRow(engine);
        if (!row_)
            throw Error("Value: the current row of table \"" + table_.name +
                        "\" no longer exists (deleted or changed by another user)");
    }
    return *row_;
}

void Cursor::StartAdding() {
    adding_ = true;
    ForgetRow();
}

const Variant* Cursor::Staged(int column) const {
    const auto it = staged_.find(column);
    return it == staged_.end() ? nullptr : &it->second;
}

const Spool* Cursor::SpoolOf(int column) const {
    const auto it = spools_.find(column);
    return it == spools_.end() ? nullptr : it->second.get();
}

void Cursor::Stage(int column, const Variant& value) {
    spools_.erase(column);
    staged_[column] = value;
}

Spool& Cursor::SpoolFor(int column) {
    auto it = spools_.find(column);
    if (it == spools_.end()) {
        auto spool = std::make_unique<Spool>();
        staged_.erase(column);
        it = spools_.emplace(column, std::move(spool)).first;
    }
    return *it->second;
}

void Cursor::WriteStaged(Engine& engine) {
    if (!adding_) RequireRow("Update");
    std::vector<BoundValue> values;
    for (const auto& [index, value] : staged_) values.push_back({table_.columns[index], value});
    std::vector<BlobWrite> blobs;
    for (const auto& [index, spool] : spools_)
        blobs.push_back(spool->Writer(table_.columns[index]));

    if (adding_) {
        keys_.push_back(engine.InsertRow(table_, values, blobs));
        deleted_.push_back(false);
        passes_.push_back(true);
        ++count_;
        pos_ = size() - 1;
    } else {
        keys_.replace(pos_, engine.UpdateRow(table_, keys_[pos_], values, blobs));
    }
    DropStaged();
    ForgetRow();
}

void Cursor::DropStaged() {
    adding_ = false;
    staged_.clear();
    spools_.clear();
}

void Cursor::ForgetRow() {
    row_.reset();
    readers_.clear();
}

void Cursor::DeleteCurrent(Engine& engine) {
    engine.DeleteRow(table_, keys_[pos_]);
    DropStaged();
    deleted_[pos_] = true;
    if (passes_[pos_]) --count_;
    ForgetRow();
}

void Cursor::KeysMoved(const std::string& tableName, const std::vector<KeyMove>& moves) {
    if (tableName != table_.name) return;
    std::map<std::string, RowKey> moved;
    for (const KeyMove& move : moves) moved.emplace(move.from.toText(), move.to);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        auto it = moved.find(keys_[i].toText());
        if (it != moved.end()) keys_.replace(i, it->second);
    }
    fetched_.clear();
}

}  // namespace kelvo
