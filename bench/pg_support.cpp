// A throwaway PostgreSQL server started through scripts/pg-server.sh, as the tests' CI does,
// with one fresh database per benchmark; and the raw libpq baseline.
#include "pg_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "bench_support.h"

namespace kelvo::bench {
namespace {

std::string commandOutput(const std::string& command) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    if (pclose(pipe) != 0) throw std::runtime_error(command + " failed");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

struct Server {
    std::string uri;
    std::string folder;  // of our own server, "" for one given by KELVO_BENCH_PG_URI
};

std::string script() {
    return std::string(KELVO_SOURCE_DIR) + "/scripts/pg-server.sh";
}

Server startServer() {
    Server s;
    if (const char* given = std::getenv("KELVO_BENCH_PG_URI"); given && *given) {
        s.uri = given;
        return s;
    }
    const std::string last = ScratchFolder() + "pg-last";
    s.uri = commandOutput("KELVO_PG_LAST=" + last + " " + script() + " start");
    std::getline(std::ifstream(last), s.folder);
    return s;
}

Server& server() {
    static Server running = startServer();
    // Registered once `running` is built, so the stop runs before `running` is destroyed.
    static const bool stopsAtExit =
        std::atexit([] {
            if (!server().folder.empty())
                std::system((script() + " stop " + server().folder).c_str());
        }) == 0;
    (void)stopsAtExit;
    return running;
}

// The server URI with its database part replaced by `database`.
std::string withDatabase(const std::string& uri, const std::string& database) {
    const auto scheme = uri.find("://");
    const auto path = uri.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    const auto query = uri.find('?');
    const std::string tail = query == std::string::npos ? "" : uri.substr(query);
    return uri.substr(0, std::min(path, query)) + "/" + database + tail;
}

void check(PGresult* result, PGconn* conn, const std::string& what) {
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        std::string message = what + ": " + PQerrorMessage(conn);
        PQclear(result);
        throw std::runtime_error(message);
    }
}

}  // namespace

std::string NewPgDatabase() {
    static int made = 0;
    const std::string name =
        "kelvo_bench_" + std::to_string(getpid()) + "_" + std::to_string(++made);
    RawPg admin(server().uri);
    admin.Exec("CREATE DATABASE " + name);
    return withDatabase(server().uri, name);
}

RawPg::RawPg(const std::string& uri) : conn_(PQconnectdb(uri.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) {
        std::string message = PQerrorMessage(conn_);
        PQfinish(conn_);
        throw std::runtime_error("cannot connect to " + uri + ": " + message);
    }
    PQclear(PQexec(conn_, "SET client_min_messages=warning"));
}

RawPg::~RawPg() {
    PQfinish(conn_);
}

void RawPg::Exec(const std::string& sql) {
    PGresult* result = PQexec(conn_, sql.c_str());
    check(result, conn_, sql);
    PQclear(result);
}

void RawPg::InsertPhoto(const std::string& code, const std::string& desc, const std::string& group,
                        bool isDefault, const Bytes& photo) {
    const char* values[5] = {code.c_str(), desc.c_str(), group.c_str(), isDefault ? "t" : "f",
                             reinterpret_cast<const char*>(photo.data())};
    const int lengths[5] = {0, 0, 0, 0, static_cast<int>(photo.size())};
    const int formats[5] = {0, 0, 0, 0, 1};
    PGresult* result = PQexecParams(
        conn_,
        "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES ($1,$2,$3,'-',$4,$5)", 5,
        nullptr, values, lengths, formats, 0);
    check(result, conn_, "insert");
    PQclear(result);
}

Bytes RawPg::ReadPhoto(const std::string& code, const std::string& desc) {
    const char* values[2] = {code.c_str(), desc.c_str()};
    PGresult* result =
        PQexecParams(conn_,
                     desc.empty() ? "SELECT PIC FROM PHOTOS WHERE CODE=$1 LIMIT 1"
                                  : "SELECT PIC FROM PHOTOS WHERE CODE=$1 AND DESCR=$2 LIMIT 1",
                     desc.empty() ? 1 : 2, nullptr, values, nullptr, nullptr, 1);
    check(result, conn_, "select");
    Bytes bytes;
    if (PQntuples(result) == 1) {
        auto* data = reinterpret_cast<const std::uint8_t*>(PQgetvalue(result, 0, 0));
        bytes.assign(data, data + PQgetlength(result, 0, 0));
    }
    PQclear(result);
    return bytes;
}

}  // namespace kelvo::bench
