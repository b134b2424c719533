// Peak memory of ConvertAllToFiles and ConvertAllToBlobs over 10,000 photos of 200 KB, against
// the same over 100 photos: the conversions stream, so the peak grows by less than a photo.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "bench_support.h"

namespace kelvo::bench {
namespace {

constexpr int kSmallRun = 100, kLargeRun = 10000;

// About 200 KB as the store keeps it (262 x 260 at 24 bits).
const Bytes& photo() {
    static const Bytes bitmap = BitmapBytesOf(*RandomPicture(262, 260, 7));
    return bitmap;
}

std::string seeded(int photos) {
    const std::string folder = ScratchFolder();
    RawSqlite raw(folder + "photos.db");
    raw.Exec(kPhotoTableSql);
    // A host's setting for a large table: one disk sync per row written, not four.
    raw.Exec("PRAGMA journal_mode=WAL");
    raw.Exec("BEGIN");
    for (int i = 0; i < photos; ++i) {
        std::string code = "P";
        raw.InsertPhoto(code.append(std::to_string(i)), "Front", "CUST", true, photo());
    }
    raw.Exec("COMMIT");
    return folder;
}

// Runs one conversion of the table in `folder` in a fresh process; its peak rise, in KB.
long childPeakKb(const std::string& folder, bool toFiles) {
    const std::string command = SelfPath() + " --convert-peak-child " + folder + " " +
                                (toFiles ? "files" : "blobs") + " 2>/dev/null";
    std::FILE* child = popen(command.c_str(), "r");
    if (!child) return -1;
    long extra = -1;
    if (std::fscanf(child, "%ld", &extra) != 1) extra = -1;
    if (pclose(child) != 0) extra = -1;
    return extra;
}

void BM_ConvertPeakMemory(benchmark::State& state) {
    const int photos = static_cast<int>(state.range(0));
    const std::string folder = seeded(photos);
    long toFiles = -1, toBlobs = -1;
    for (auto _ : state) {
        toFiles = childPeakKb(folder, true);
        toBlobs = childPeakKb(folder, false);
    }
    if (toFiles < 0 || toBlobs < 0) state.SkipWithError("a conversion failed");
    const double photoKb = photo().size() / 1024.0;
    state.counters["files_peak_KB"] = toFiles;
    state.counters["blobs_peak_KB"] = toBlobs;
    // What the large run may reach: the small run's peak and one photo more.
    state.counters["files_allowed_KB"] = toFiles + photoKb;
    state.counters["blobs_allowed_KB"] = toBlobs + photoKb;
}

BENCHMARK(BM_ConvertPeakMemory)
    ->Arg(kSmallRun)
    ->Arg(kLargeRun)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

const bool paired = [] {
    const std::string large = "BM_ConvertPeakMemory/" + std::to_string(kLargeRun);
    const std::string small = "BM_ConvertPeakMemory/" + std::to_string(kSmallRun);
    PairCounters(large, "files_peak_KB", small, "files_allowed_KB", 1.0);
    PairCounters(large, "blobs_peak_KB", small, "blobs_allowed_KB", 1.0);
    return true;
}();

}  // namespace

long ConvertPeakKb(const std::string& folder, bool toFiles) {
    auto cnn = Connection::Open(folder + "photos.db");
    auto store = MakeStore(folder + "files");
    store->SaveAsFile = toFiles;
    const long before = MaxRssKb();
    const bool done = toFiles ? store->ConvertAllToFiles(cnn) : store->ConvertAllToBlobs(cnn);
    return done ? MaxRssKb() - before : -1;
}

}  // namespace kelvo::bench
