// The benchmarks' own PostgreSQL server and a raw libpq baseline on it.
#pragma once

#include <libpq-fe.h>

#include <string>

#include "platform/db/variant.h"

namespace kelvo::bench {

// The photo table on PostgreSQL, as hosts create it.
inline constexpr const char* kPgPhotoTableSql =
    "CREATE TABLE PHOTOS (CODE text, DESCR text, GRP text, COMMENTS text, DEF boolean, PIC bytea)";

// The URI of a new, empty database. The first call starts a throwaway server (stopped at
// exit) unless KELVO_BENCH_PG_URI names one to use instead.
std::string NewPgDatabase();

// One libpq connection for the baselines and for seeding; every call throws on failure.
class RawPg {
  public:
    explicit RawPg(const std::string& uri);
    ~RawPg();
    RawPg(const RawPg&) = delete;
    RawPg& operator=(const RawPg&) = delete;

    void Exec(const std::string& sql);
    // INSERT INTO PHOTOS with the photo as one binary bytea parameter.
    void InsertPhoto(const std::string& code, const std::string& desc, const std::string& group,
                     bool isDefault, const Bytes& photo);
    // The PIC of the first row of `code` (and `desc` when not empty), in binary format.
    Bytes ReadPhoto(const std::string& code, const std::string& desc = "");
    PGconn* handle() { return conn_; }

  private:
    PGconn* conn_ = nullptr;
};

}  // namespace kelvo::bench
