// Pieces of the engine seam both engines share: identifier checks and quoting, column
// lookup, SQL equality lists and the watchers of row identities.
#include "platform/db/engine.h"

#include <algorithm>
#include <cctype>

namespace kelvo {

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool IsValidIdentifier(const std::string& name) {
    if (name.empty() || name.size() > 63) return false;
    const auto letter = [](unsigned char c) { return std::isalpha(c) || c == '_'; };
    if (!letter(name[0]) || name.back() == ' ') return false;
    return std::all_of(name.begin(), name.end(),
                       [&](unsigned char c) { return letter(c) || std::isdigit(c) || c == ' '; });
}

void CheckIdentifier(const std::string& name, const char* what) {
    if (!IsValidIdentifier(name))
        throw Error(std::string("invalid ") + what + " name: \"" + name + "\"");
}

std::string QuoteIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::pair<std::string, std::string> SplitTableName(const std::string& name) {
    const auto dot = name.find('.');
    if (dot == std::string::npos) return {"", name};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

void CheckTableName(const std::string& name) {
    const auto [schema, table] = SplitTableName(name);
    const bool valid =
        IsValidIdentifier(table) && (schema.empty() ? name == table : IsValidIdentifier(schema));
    if (!valid) throw Error("invalid table name: \"" + name + "\"");
}

std::string QuoteTableName(const std::string& name) {
    const auto [schema, table] = SplitTableName(name);
    return schema.empty() ? QuoteIdentifier(table)
                          : QuoteIdentifier(schema) + "." + QuoteIdentifier(table);
}

int TableInfo::IndexOf(const std::string& column) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == column) return static_cast<int>(i);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (SameName(columns[i].name, column)) return static_cast<int>(i);
    return -1;
}

const ColumnInfo& TableInfo::Column(const std::string& column) const {
    CheckIdentifier(column, "column");
    const int index = IndexOf(column);
    if (index < 0)
        throw Error("column \"" + column + "\" does not exist in table \"" + name + "\"");
    return columns[static_cast<std::size_t>(index)];
}

namespace {

std::string ComparisonList(const std::vector<BoundValue>& values, const std::string& comparison,
                           const std::string& separator,
                           const std::function<std::string(int)>& placeholder, int first) {
    std::string sql;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) sql += separator;
        sql += QuoteIdentifier(values[i].column.name) + comparison +
               placeholder(first + static_cast<int>(i));
    }
    return sql;
}

}  // namespace

std::string EqualityList(const std::vector<BoundValue>& values, const std::string& separator,
                         const std::function<std::string(int)>& placeholder, int first) {
    return ComparisonList(values, " = ", separator, placeholder, first);
}

std::string DifferenceList(const std::vector<BoundValue>& values, const std::string& differs,
                           const std::function<std::string(int)>& placeholder, int first) {
    return "(" + ComparisonList(values, " " + differs + " ", " OR ", placeholder, first) + ")";
}

std::string ValueColumnList(const TableInfo& table) {
    std::string list;
    for (const ColumnInfo& column : table.columns) {
        if (!list.empty()) list += ", ";
        list += column.kind == ColumnKind::Binary ? "NULL" : QuoteIdentifier(column.name);
    }
    return list.empty() ? "NULL" : list;
}

std::vector<std::optional<std::vector<Variant>>> InKeyOrder(
    const std::vector<RowKey>& keys, std::map<std::string, std::vector<Variant>>& byKey) {
    std::vector<std::optional<std::vector<Variant>>> rows(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
        auto found = byKey.find(keys[i].toText());
        if (found != byKey.end()) rows[i] = std::move(found->second);
    }
    return rows;
}

void RowGone(const TableInfo& table) {
    throw Error("the row no longer exists in table \"" + table.name +
                "\" (deleted or changed by another user)");
}

SelectedRows BindSelection(TableInfo table, const Selection& source) {
    SelectedRows rows{std::move(table), {}, std::nullopt, {}};
    rows.where = BindToColumns(rows.table, source.where);
    if (!source.orderBy.empty()) rows.orderBy = rows.table.Column(source.orderBy);
    return rows;
}

SelectedRows Engine::Select(const Selection& source) {
    SelectedRows rows = BindSelection(Table(source.table), source);
    rows.keys = SelectKeys(rows.table, rows.where, rows.orderBy ? &*rows.orderBy : nullptr);
    return rows;
}

void Engine::Watch(KeyWatcher* watcher) {
    watchers_.push_back(watcher);
}

void Engine::Unwatch(KeyWatcher* watcher) {
    watchers_.erase(std::remove(watchers_.begin(), watchers_.end(), watcher), watchers_.end());
}

void Engine::ReportMoves(const std::string& table, const std::vector<KeyMove>& moves) {
    if (moves.empty()) return;
    for (KeyWatcher* watcher : watchers_) watcher->KeysMoved(table, moves);
}

}  // namespace kelvo
