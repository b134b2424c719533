// Saving then loading one photo through the store (blob and file mode) against the same
// bytes through raw sqlite3 and plain file I/O; and the peak memory of a 10 MB round trip.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "app/sample_pictures.h"
#include "bench_support.h"
#include "platform/files/files.h"

namespace kelvo::bench {
namespace {

// Square sizes whose 24-bit bitmaps come to about 1 MB and 10 MB.
int sideFor(std::int64_t megabytes) {
    return megabytes == 1 ? 592 : 1872;
}

struct SamplePhoto {
    PicturePtr picture;
    Bytes bitmap;  // the bytes the store keeps for it
};

SamplePhoto samplePhoto(std::int64_t megabytes) {
    const int side = sideFor(megabytes);
    SamplePhoto photo{MakeSamplePicture(side, side, "bench"), {}};
    photo.bitmap = BitmapBytesOf(*photo.picture);
    return photo;
}

enum class Journal { Rollback, Wal };  // the host's SQLite journal mode

void storeRoundTrip(benchmark::State& state, bool asFile, Journal journal = Journal::Rollback) {
    const SamplePhoto photo = samplePhoto(state.range(0));
    const std::string folder = ScratchFolder();
    {
        RawSqlite host(folder + "photos.db");
        host.Exec(kPhotoTableSql);
        if (journal == Journal::Wal) host.Exec("PRAGMA journal_mode=WAL");
    }
    auto cnn = Connection::Open(folder + "photos.db");
    auto store = MakeStore(asFile ? folder + "files" : "");
    for (auto _ : state) {
        SaveAndLoad(*store, cnn, photo.picture);
        if (store->OwnerPhoto()->IsEmpty()) state.SkipWithError("the photo did not come back");
        state.PauseTiming();  // clearing the table for the next round is not part of it
        cnn->ExecuteDelete("PHOTOS", {{"CODE", "OWNER"}});
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * photo.bitmap.size() * 2);
    state.counters["photo_MB"] = photo.bitmap.size() / 1048576.0;
}

void BM_StoreBlobRoundTrip(benchmark::State& state) {
    storeRoundTrip(state, false);
}
void BM_StoreFileRoundTrip(benchmark::State& state) {
    storeRoundTrip(state, true);
}
// The same on a database the host keeps in WAL mode: one sync a commit instead of four.
void BM_StoreFileRoundTripWal(benchmark::State& state) {
    storeRoundTrip(state, true, Journal::Wal);
}

void BM_RawSqliteRoundTrip(benchmark::State& state) {
    const SamplePhoto photo = samplePhoto(state.range(0));
    RawSqlite raw(ScratchFolder() + "raw.db");
    raw.Exec(kPhotoTableSql);
    for (auto _ : state) {
        raw.InsertPhoto("OWNER", "Front", "CUST", false, photo.bitmap);
        Bytes back = raw.ReadPhoto("OWNER");
        benchmark::DoNotOptimize(back.data());
        state.PauseTiming();
        raw.Exec("DELETE FROM PHOTOS WHERE CODE='OWNER'");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * photo.bitmap.size() * 2);
}

void BM_RawFileRoundTrip(benchmark::State& state) {
    const SamplePhoto photo = samplePhoto(state.range(0));
    const std::string path = ScratchFolder() + "OWNER_Front_CUST.qzr";
    for (auto _ : state) {
        WriteFileRaw(path, photo.bitmap);
        Bytes back = ReadFileRaw(path);
        benchmark::DoNotOptimize(back.data());
    }
    state.SetBytesProcessed(state.iterations() * photo.bitmap.size() * 2);
}

// What a host writing file mode by hand does: the photo file, and the photo's row beside it.
void BM_RawFileAndRowRoundTrip(benchmark::State& state) {
    const SamplePhoto photo = samplePhoto(state.range(0));
    const std::string folder = ScratchFolder();
    RawSqlite raw(folder + "raw.db");
    raw.Exec(kPhotoTableSql);
    const std::string path = folder + "OWNER_Front_CUST.qzr";
    for (auto _ : state) {
        WriteFileRaw(path, photo.bitmap);
        raw.InsertPhoto("OWNER", "Front", "CUST", false, {});
        Bytes row = raw.ReadPhoto("OWNER");  // the row is read back; its photo column is Null
        Bytes back = ReadFileRaw(path);
        benchmark::DoNotOptimize(back.data());
        benchmark::DoNotOptimize(row.data());
        state.PauseTiming();
        raw.Exec("DELETE FROM PHOTOS WHERE CODE='OWNER'");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * photo.bitmap.size() * 2);
}

BENCHMARK(BM_StoreBlobRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSqliteRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFileRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoreFileRoundTripWal)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFileRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawFileAndRowRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

const bool paired = [] {
    for (const char* mb : {"1", "10"}) {
        PairWithBaseline(std::string("BM_StoreBlobRoundTrip/") + mb,
                         std::string("BM_RawSqliteRoundTrip/") + mb, 3);
        PairWithBaseline(std::string("BM_StoreFileRoundTrip/") + mb,
                         std::string("BM_RawFileRoundTrip/") + mb, 3);
        PairWithBaseline(std::string("BM_StoreFileRoundTripWal/") + mb,
                         std::string("BM_RawFileRoundTrip/") + mb, 3);
        PairWithBaseline(std::string("BM_StoreFileRoundTrip/") + mb,
                         std::string("BM_RawFileAndRowRoundTrip/") + mb, 3);
    }
    return true;
}();

// In a fresh process (a fork of this threaded one could deadlock), so the peak belongs to
// this round trip alone: the extra peak over the memory held once the picture exists, in KB.
long childRoundTripPeakKb(bool asFile) {
    std::string command = SelfPath() + " --peak-child " + (asFile ? "1" : "0") + " 2>/dev/null";
    std::FILE* child = popen(command.c_str(), "r");
    if (!child) return -1;
    long extra = -1;
    if (std::fscanf(child, "%ld", &extra) != 1) extra = -1;
    pclose(child);
    return extra;
}

}  // namespace

long PeakRoundTripKb(bool asFile) {
    int side = sideFor(10);
    PicturePtr picture = MakeSamplePicture(side, side, "memory");
    const std::string folder = ScratchFolder();
    { RawSqlite(folder + "photos.db").Exec(kPhotoTableSql); }
    auto cnn = Connection::Open(folder + "photos.db");
    auto store = MakeStore(asFile ? folder + "files" : "");
    const long before = MaxRssKb();
    SaveAndLoad(*store, cnn, picture);
    return MaxRssKb() - before;
}

namespace {

void BM_PeakMemory10MB(benchmark::State& state) {
    const bool asFile = state.range(0) == 1;
    long extraKb = 0;
    for (auto _ : state) extraKb = childRoundTripPeakKb(asFile);
    const int side = sideFor(10);
    const double decodedMb = side * double(side) * 4 / 1048576.0;
    state.counters["extra_peak_MB"] = extraKb / 1024.0;
    state.counters["decoded_MB"] = decodedMb;
    state.counters["extra_per_decoded"] = extraKb / 1024.0 / decodedMb;  // target < 2
}

BENCHMARK(BM_PeakMemory10MB)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvo::bench
