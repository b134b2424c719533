#include "platform/db/postgres_statements.h"

#include <cstdlib>
#include <string_view>

namespace kelvo {
namespace {

std::string keyOf(const std::string& sql, const std::vector<Oid>& types) {
    std::string key = sql;
    key += '\0';
    for (Oid type : types) key += std::to_string(type) + ',';
    return key;
}

}  // namespace

const char* PreparedStatements::Prepare(PGconn* conn, const std::string& sql,
                                        const std::vector<Oid>& types, PGresult*& failure) {
    failure = nullptr;
    const std::string key = keyOf(sql, types);
    if (auto it = byKey_.find(key); it != byKey_.end()) {
        uses_.splice(uses_.begin(), uses_, it->second.use);
        return it->second.name.c_str();
    }
    if (byKey_.size() >= bound_) evictOldest(conn);
    std::string name = "kelvo_" + std::to_string(++named_);
    PGresult* prepared =
        PQprepare(conn, name.c_str(), sql.c_str(), static_cast<int>(types.size()), types.data());
    if (PQresultStatus(prepared) != PGRES_COMMAND_OK) {
        failure = prepared;
        return nullptr;
    }
    PQclear(prepared);
    uses_.push_front(key);
    const auto [it, added] = byKey_.emplace(key, Entry{std::move(name), uses_.begin()});
    return it->second.name.c_str();
}

void PreparedStatements::evictOldest(PGconn* conn) {
    const auto it = byKey_.find(uses_.back());
    // In a failed transaction the server refuses; the statement then lives on unnamed by us.
    PQclear(PQexec(conn, ("DEALLOCATE " + it->second.name).c_str()));
    byKey_.erase(it);
    uses_.pop_back();
}

void PreparedStatements::Clear(PGconn* conn) {
    if (byKey_.empty()) return;
    PQclear(PQexec(conn, "DEALLOCATE ALL"));
    byKey_.clear();
    uses_.clear();
}

bool PreparedStatementsWanted() {
    const char* setting = std::getenv("KELVO_PG_PREPARED");
    return !setting || std::string_view(setting) != "off";
}

}  // namespace kelvo
