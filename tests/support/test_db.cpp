// Fresh databases for the suites: a SQLite file in its own temporary folder, or a new
// database on the KELVO_PG_URI server, dropped again afterwards.
#include "support/test_db.h"

#include "store/CPicture.h"
#include "support/test_images.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace kelvo::test {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The server URI with its database part replaced by `database`.
std::string withDatabase(const std::string& uri, const std::string& database) {
    const auto scheme = uri.find("://");
    const auto pathStart = uri.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    const auto query = uri.find('?');
    const std::string head = uri.substr(0, std::min(pathStart, query));
    const std::string tail = query == std::string::npos ? "" : uri.substr(query);
    return head + "/" + database + tail;
}

std::string uniqueName(const char* prefix) {
    static std::atomic<int> counter{0};
    std::random_device random;
    return std::string(prefix) + std::to_string(::getpid()) + "_" + std::to_string(counter++) +
           "_" + std::to_string(random() % 1000000);
}

std::shared_ptr<Connection> adminConnection() {
    const std::string uri = environment("KELVO_PG_URI");
    if (uri.empty()) throw Error("KELVO_REQUIRE_PG=1 but KELVO_PG_URI names no PostgreSQL server");
    return Connection::Open(uri);
}

}  // namespace

std::vector<std::string> TestBackends() {
    std::vector<std::string> backends{"sqlite"};
    if (!environment("KELVO_PG_URI").empty() || environment("KELVO_REQUIRE_PG") == "1")
        backends.push_back("postgresql");
    return backends;
}

std::string BackendName(const testing::TestParamInfo<std::string>& info) {
    return info.param;
}

TestDatabase::TestDatabase(const std::string& backend) : backend_(backend) {
    if (backend == "sqlite") {
        folder_ = TempFolder();
        target_ = folder_ + "test.db";
    } else if (backend == "postgresql") {
        auto admin = adminConnection();
        database_ = uniqueName("kelvo_test_");
        admin->Execute("CREATE DATABASE " + database_);
        target_ = withDatabase(environment("KELVO_PG_URI"), database_);
    } else {
        throw Error("unknown test back end: " + backend);
    }
}

TestDatabase::~TestDatabase() {
    connection_.reset();
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    if (!database_.empty()) {
        try {
            adminConnection()->Execute("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)");
        } catch (const std::exception& error) {
            ADD_FAILURE() << "cannot drop test database " << database_ << ": " << error.what();
        }
    }
}

std::shared_ptr<Connection> TestDatabase::connection() {
    if (!connection_) connection_ = Connection::Open(target_);
    return connection_;
}

std::shared_ptr<Connection> TestDatabase::OpenAnother() {
    return Connection::Open(target_);
}

void TestDatabase::CreatePhotoTable(const std::string& table) {
    // Unquoted on PostgreSQL, as a host would: the names fold to lower case there.
    const char* binary = backend_ == "postgresql" ? "bytea" : "BLOB";
    if (const auto dot = table.find('.'); dot != std::string::npos) {
        const std::string schema = table.substr(0, dot);
        connection()->Execute(backend_ == "postgresql"
                                  ? "CREATE SCHEMA IF NOT EXISTS " + schema
                                  : "ATTACH DATABASE '" + folder_ + schema + ".db' AS " + schema);
    }
    connection()->Execute("CREATE TABLE " + table +
                          " (CODE text, DESCR text, GRP text, COMMENTS text, DEF boolean, PIC " +
                          binary + ")");
}

void UsePhotoTable(CPicture& store, const std::string& table) {
    store.TableName = table;
    store.OwnerIDField = "CODE";
    store.OwnerDescField = "DESCR";
    store.OwnerGroupField = "GRP";
    store.OwnerCommentsField = "COMMENTS";
    store.OwnerDefaultPhotoField = "DEF";
    store.OwnerPhotoField = "PIC";
}

}  // namespace kelvo::test
