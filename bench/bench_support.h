// Shared pieces of the benchmarks: scratch folders, a raw sqlite3 baseline, a configured
// store, and the pairing of each store measurement with its baseline for the ratio table.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "platform/db/variant.h"
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
    // One indexed SELECT of the whole default row of `code` in group CUST; false when none.
    bool ReadDefaultRow(const std::string& code);
    sqlite3* handle() { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

// A store on the usual photo table; photos as files in `folder` when it is not "".
std::unique_ptr<CPicture> MakeStore(const std::string& folder = "");

// One round trip through `store`: `picture` saved as owner OWNER's new photo, then the
// owner's default photo loaded again.
void SaveAndLoad(CPicture& store, const std::shared_ptr<Connection>& cnn, PicturePtr picture);

// Declares that benchmark `measured` is compared with `baseline` against a `target` ratio.
void PairWithBaseline(const std::string& measured, const std::string& baseline, double target);
// The same for counters the two benchmarks report: measured's `counter` against baseline's
// `baselineCounter` (the same name when left out).
void PairCounters(const std::string& measured, const std::string& counter,
                  const std::string& baseline, const std::string& baselineCounter, double target);

// A 10 MB photo saved and loaded once; the rise of the peak resident size, in kilobytes.
long PeakRoundTripKb(bool asFile);
// The table in `folder` converted to files or to blobs once; the rise of the peak, in KB
// (-1 when the conversion failed).
long ConvertPeakKb(const std::string& folder, bool toFiles);

// The bytes of the bitmap file the store writes for `picture`.
Bytes BitmapBytesOf(const Picture& picture);

// Bytes of a file written whole / read whole with plain stdio.
void WriteFileRaw(const std::string& path, const Bytes& bytes);
Bytes ReadFileRaw(const std::string& path);

}  // namespace kelvo::bench

namespace kelvo::bench {

// Counts the errors a store reports through its events, so a benchmark can tell a fast
// failure from a fast success.
class ErrorCounter : public CPictureEvents {
  public:
    void ErrorDescrption(std::string& message) override { remember(message); }
    void ErrorSavingPhoto(std::string& message) override { remember(message); }
    void TableError(std::string& message) override { remember(message); }
    int count = 0;
    std::string last;

  private:
    void remember(const std::string& message) {
        ++count;
        last = message;
    }
};

// A photo of random pixels (24-bit, so its bitmap holds width * height * 3 bytes and more).
PicturePtr RandomPicture(int width, int height, unsigned seed);

// Bytes the C++ heap (operator new) holds at this moment, across all threads.
std::int64_t LiveHeapBytes();

// The process's peak resident size so far, in kilobytes.
long MaxRssKb();

// The running program, for benchmarks that measure in a fresh child process.
std::string SelfPath();

}  // namespace kelvo::bench
