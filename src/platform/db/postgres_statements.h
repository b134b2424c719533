// The statements one PostgreSQL connection keeps parsed and planned on the server.
#pragma once

#include <libpq-fe.h>

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelvo {

// A statement sent again under its name skips the server's parse and plan, most of the cost
// of the store's short statements. They are known by their text and parameter types; past
// `bound` the least recently used is deallocated. With `enabled` false every statement goes
// unnamed, for a pooler that hands the session to other clients between transactions.
class PreparedStatements {
  public:
    PreparedStatements(std::size_t bound, bool enabled) : bound_(bound), enabled_(enabled) {}
    PreparedStatements(const PreparedStatements&) = delete;
    PreparedStatements& operator=(const PreparedStatements&) = delete;

    bool enabled() const { return enabled_; }

    // The server's name for `sql` with `types`, or nullptr when it could not be prepared:
    // then `failure` holds the server's result, for the caller to report.
    const char* Prepare(PGconn* conn, const std::string& sql, const std::vector<Oid>& types,
                        PGresult*& failure);
    // Forgets every statement, as when the tables they read may have changed shape.
    void Clear(PGconn* conn);

  private:
    struct Entry {
        std::string name;
        std::list<std::string>::iterator use;  // in uses_
    };
    void evictOldest(PGconn* conn);

    std::size_t bound_;
    bool enabled_;
    std::unordered_map<std::string, Entry> byKey_;
    std::list<std::string> uses_;  // keys, most recent first
    unsigned long long named_ = 0;
};

// False when the environment turns prepared statements off (KELVO_PG_PREPARED=off).
bool PreparedStatementsWanted();

}  // namespace kelvo
