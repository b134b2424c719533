// Shared pieces of the benchmarks: scratch folders, a raw sqlite3 baseline, a configured
// store, and the pairing of each store measurement with its baseline for the ratio table.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "platform/variant.h"
#include "store/CPicture.h"

namespace kelvo::bench {

// A fresh scratch folder with a trailing "/", removed at exit.
std::string ScratchFolder();

// The photo table as hosts create it, on a raw sqlite3 handle.
inline constexpr const char* kPhotoTableSql =
    "CREATE TABLE PHOTOS (CODE text, DESCR text, GRP text, COMMENTS text, DEF boolean, PIC BLOB)";

// A raw sqlite3 database for the baselines (and for fast seeding).
class RawSqlite {
  public:
    explicit RawSqlite(const std::string& path);
    ~RawSqlite();
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    void Exec(const std::string& sql);
    // INSERT INTO PHOTOS (CODE, DESCR, GRP, DEF, PIC) with bound values; empty photo = Null.
    void InsertPhoto(const std::string& code, const std::string& desc, const std::string& group,
                     bool isDefault, const Bytes& photo);
    // The PIC of the first row of `code` (and `desc` when not empty).
    Bytes ReadPhoto(const std::string& code, const std::string& desc = "");
    sqlite3* handle() { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

// A store on the usual photo table; photos as files in `folder` when it is not "".
std::unique_ptr<CPicture> MakeStore(const std::string& folder = "");

// Declares that benchmark `measured` is compared with `baseline` against a `target` ratio.
void PairWithBaseline(const std::string& measured, const std::string& baseline, double target);

// A 10 MB photo saved and loaded once; the rise of the peak resident size, in kilobytes.
long PeakRoundTripKb(bool asFile);

// The bytes of the bitmap file the store writes for `picture`.
Bytes BitmapBytesOf(const Picture& picture);

// Bytes of a file written whole / read whole with plain stdio.
void WriteFileRaw(const std::string& path, const Bytes& bytes);
Bytes ReadFileRaw(const std::string& path);

}  // namespace kelvo::bench
