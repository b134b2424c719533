// The keyset of an open recordset: the keys of its rows, where it stands, which rows pass
// its filter, the rows read ahead of the current one and the changes staged on it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/db/chunk_reader.h"
#include "platform/db/criteria.h"
#include "platform/db/engine.h"
#include "platform/db/spool.h"

namespace kelvo {

class Cursor : public KeyWatcher {
  public:
    // Stands on the first of `rows`.
    Cursor(Engine& engine, SelectedRows rows);

    const TableInfo& table() const { return table_; }
    std::int64_t size() const { return static_cast<std::int64_t>(keys_.size()); }
    std::int64_t count() const { return count_; }  // rows neither deleted nor filtered out
    std::int64_t pos() const { return pos_; }      // -1 before the first row, size() after the last
    bool beforeFirst() const { return count_ == 0 || pos_ < 0; }
    bool afterLast() const { return count_ == 0 || pos_ >= size(); }
    bool visible(std::int64_t i) const { return !deleted_[i] && passes_[i]; }

    // Positions of visible rows; size() or -1 when there is none that way.
    std::int64_t firstRow() const { return nextVisible(0); }
    std::int64_t lastRow() const { return previousVisible(size() - 1); }
    std::int64_t nextRow() const { return nextVisible(pos_ + 1); }
    std::int64_t previousRow() const { return previousVisible(pos_ - 1); }
    // The first visible row from the current one whose `column` reads as true (not Null, not
    // zero or false), with its values when the engine read them in the search; size() when
    // there is none.
    struct Found {
        std::int64_t pos;
        std::optional<std::vector<Variant>> row;
    };
    Found FindTrue(Engine& engine, const ColumnInfo& column) const;
    // The first visible row from the current one on whose `column` passes `test`; size()
    // when none does. Reads the column in batches, so a near match reads few rows.
    std::int64_t Find(Engine& engine, const ColumnInfo& column,
                      const std::function<bool(const Variant&)>& test) const;
    void StandOn(std::int64_t pos);
    // REQUIRES: standing on the row `values` were read from, with nothing staged.
    void KnowRow(std::vector<Variant> values) { row_ = std::move(values); }

    // Keys taken anew, staged changes dropped, the filter applied; stands on the first row.
    void TakeKeys(Engine& engine);
    void SetFilter(std::optional<Criterion> filter) { filter_ = std::move(filter); }
    void ApplyFilter(Engine& engine);

    // Throws Error naming `operation` unless there is a current row that is not deleted.
    void RequireRow(const char* operation) const;
    RowKey key() const { return keys_[static_cast<std::size_t>(pos_)]; }  // REQUIRES: RequireRow
    // The non-binary values of the current row. Throws Error when the row is gone.
    const std::vector<Variant>& RowValues(Engine& engine);
    ChunkReader& Reader(int column) { return readers_[column]; }

    bool adding() const { return adding_; }
    bool pending() const { return adding_ || !staged_.empty() || !spools_.empty(); }
    void StartAdding();
    const Variant* Staged(int column) const;
    const Spool* SpoolOf(int column) const;
    void Stage(int column, const Variant& value);
    Spool& SpoolFor(int column);  // the column's spool, made on first use
    // Writes the new row or the staged changes of the current one.
    void WriteStaged(Engine& engine);
    void DropStaged();
    void ForgetRow();
    // REQUIRES: RequireRow. The row stays current, marked deleted, until a move.
    void DeleteCurrent(Engine& engine);

    void KeysMoved(const std::string& tableName, const std::vector<KeyMove>& moves) override;

  private:
    void useKeys(Engine& engine, RowKeys keys);
    std::int64_t nextVisible(std::int64_t from) const;
    std::int64_t findStart() const;  // where a search from the current row begins
    std::int64_t previousVisible(std::int64_t from) const;
    void recount();
    std::vector<std::int64_t> pageAround(std::int64_t pos) const;
    std::optional<std::vector<Variant>> fetchCurrentRow(Engine& engine);

    TableInfo table_;
    std::vector<BoundValue> where_;
    std::optional<ColumnInfo> orderBy_;
    RowKeys keys_;
    std::vector<bool> deleted_;
    std::vector<bool> passes_;  // row passes the filter
    std::int64_t count_ = 0;
    std::int64_t pos_ = -1;
    std::optional<Criterion> filter_;

    // The current row's values, read on first use.
    std::optional<std::vector<Variant>> row_;
    // Rows read together with it, by position; valid while the database has not changed
    // since (`fetchedAtVersion_`).
    std::map<std::int64_t, std::optional<std::vector<Variant>>> fetched_;
    std::optional<std::uint64_t> fetchedAtVersion_;
    std::int64_t fetchedFrom_ = -1;  // where the last page was read, for the walk's direction
    std::map<int, ChunkReader> readers_;

    bool adding_ = false;
    std::map<int, Variant> staged_;
    std::map<int, std::unique_ptr<Spool>> spools_;
};

}  // namespace kelvo
