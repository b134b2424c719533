// A database connection: opens SQLite or PostgreSQL, runs the host's own statements and
// UPDATE/DELETE built from checked identifiers, and scopes reads and write transactions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/api.h"
#include "platform/db/variant.h"
#include "platform/error.h"

namespace kelvo {

class Engine;  // the seam each database engine implements, see platform/db/engine.h

// `column = value` in a WHERE clause (the engine's own equality).
struct KELVO_API Condition {
    std::string column;
    Variant value;
};

// `column = value` in a SET clause.
struct KELVO_API Assignment {
    std::string column;
    Variant value;
};

class KELVO_API Connection {
  public:
    // Opens a database: a "postgresql://" (or "postgres://") URI opens PostgreSQL through
    // libpq; anything else is a SQLite file path, created when missing.
    static std::shared_ptr<Connection> Open(const std::string& target);

    explicit Connection(std::unique_ptr<kelvo::Engine> engine);
    ~Connection();

    bool IsOpen() const;
    void Close();  // later operations throw Error

    // Attributes as ADO keeps them; stored only.
    long Attributes() const { return attributes_; }
    void Attributes(long value) { attributes_ = value; }

    // Runs a statement of the host's own (DDL, seeding): `?` marks each bound parameter.
    void Execute(const std::string& sql, const std::vector<Variant>& params = {});

    // UPDATE table SET ... WHERE ... (all conditions joined by AND; none = every row).
    void ExecuteUpdate(const std::string& table, const std::vector<Assignment>& set,
                       const std::vector<Condition>& where);
    // DELETE FROM table WHERE ...
    void ExecuteDelete(const std::string& table, const std::vector<Condition>& where);

    // "postgresql" or "sqlite".
    std::string Engine() const;

    // Waits until no other connection's write transaction holds `key`, then holds it until
    // this one ends: writers of one key go one at a time. Throws Error.
    // REQUIRES: inside a WritesTogether on this connection.
    void WaitForWritersOf(const std::string& key);

    // While one lives, the connection's reads may share one view of the database, which
    // spares the engine its locking per statement. Only reads belong in its scope; no
    // connection (nullptr) makes it do nothing.
    class ReadsTogether {
      public:
        explicit ReadsTogether(Connection* connection);
        ~ReadsTogether();
        ReadsTogether(const ReadsTogether&) = delete;
        ReadsTogether& operator=(const ReadsTogether&) = delete;

      private:
        Connection* connection_;
        kelvo::Engine* engine_;  // the engine the reads began on, unless the connection was closed
    };

    // A write transaction: the writes made in its scope land together on Commit, and none
    // of them when it ends without. REQUIRES: no transaction is open on the connection.
    class WritesTogether {
      public:
        explicit WritesTogether(Connection& connection);  // throws Error
        ~WritesTogether();
        WritesTogether(const WritesTogether&) = delete;
        WritesTogether& operator=(const WritesTogether&) = delete;
        void Commit();

      private:
        Connection& connection_;
        bool open_ = true;
    };

  private:
    friend class Recordset;
    kelvo::Engine& engine() const;  // throws Error when the connection is closed

    std::unique_ptr<kelvo::Engine> engine_;
    long attributes_ = 0;
};

}  // namespace kelvo
