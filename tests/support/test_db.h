// Databases for the suites: every database test runs on SQLite and on PostgreSQL.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/db/database.h"

namespace kelvo {
class CPicture;
}

namespace kelvo::test {

// "sqlite" always; "postgresql" when KELVO_PG_URI names a server. With KELVO_REQUIRE_PG=1
// and no usable server, the PostgreSQL cases fail instead of being left out.
std::vector<std::string> TestBackends();

// For INSTANTIATE_TEST_SUITE_P(..., testing::ValuesIn(TestBackends()), BackendName).
std::string BackendName(const testing::TestParamInfo<std::string>& info);

// A fresh, empty database on one back end: a new SQLite file in a temporary folder, or a new
// PostgreSQL database on the KELVO_PG_URI server. Removed when the object goes.
class TestDatabase {
  public:
    explicit TestDatabase(const std::string& backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const std::string& target() const { return target_; }  // what Connection::Open takes
    std::shared_ptr<Connection> connection();              // opened on first use
    std::shared_ptr<Connection> OpenAnother();             // a second connection

    // The usual photo table: CODE, DESCR, GRP, COMMENTS texts, DEF boolean, PIC binary.
    // "schema.table" makes the schema first (SQLite: attaches a database of that name to
    // connection()).
    void CreatePhotoTable(const std::string& table = "PHOTOS");

  private:
    std::string backend_;
    std::string target_;
    std::string folder_;    // SQLite: the temporary folder
    std::string database_;  // PostgreSQL: the database name
    std::shared_ptr<Connection> connection_;
};

// Points `store` at the usual photo table made by TestDatabase::CreatePhotoTable.
void UsePhotoTable(CPicture& store, const std::string& table = "PHOTOS");

}  // namespace kelvo::test
