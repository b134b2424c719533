// Converting 1,000 photos of 200 KB to files and back through the store, against copying the
// same bytes between the table and files with raw sqlite3 and plain file I/O.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <random>

#include "bench_support.h"

namespace kelvo::bench {
namespace {

constexpr int kPhotos = 1000;
constexpr std::size_t kPhotoBytes = 200 * 1024;

std::string codeOf(int i) {
    std::string code = "P";
    return code.append(std::to_string(i));
}

void seed(const std::string& path) {
    RawSqlite raw(path);
    raw.Exec(kPhotoTableSql);
    raw.Exec("BEGIN");
    std::mt19937 random(42);
    Bytes photo(kPhotoBytes);
    for (int i = 0; i < kPhotos; ++i) {
        for (auto& b : photo) b = static_cast<std::uint8_t>(random());
        raw.InsertPhoto(codeOf(i), "Front", "CUST", true, photo);
    }
    raw.Exec("COMMIT");
}

void BM_StoreConvertToFilesAndBack(benchmark::State& state) {
    const std::string folder = ScratchFolder();
    seed(folder + "photos.db");
    auto cnn = Connection::Open(folder + "photos.db");
    for (auto _ : state) {
        auto toFiles = MakeStore(folder + "files");
        auto toBlobs = MakeStore(folder + "files");
        toBlobs->SaveAsFile = false;
        if (!toFiles->ConvertAllToFiles(cnn) || !toBlobs->ConvertAllToBlobs(cnn))
            state.SkipWithError("a conversion failed");
    }
    state.SetBytesProcessed(state.iterations() * kPhotos * kPhotoBytes * 2);
}

void BM_RawCopyToFilesAndBack(benchmark::State& state) {
    const std::string folder = ScratchFolder();
    seed(folder + "photos.db");
    RawSqlite raw(folder + "photos.db");
    sqlite3* db = raw.handle();
    for (auto _ : state) {
        sqlite3_stmt* select = nullptr;
        sqlite3_stmt* update = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid, CODE, DESCR, GRP, PIC FROM PHOTOS", -1, &select,
                           nullptr);
        sqlite3_prepare_v2(db, "UPDATE PHOTOS SET PIC=? WHERE rowid=?", -1, &update, nullptr);
        std::vector<std::pair<sqlite3_int64, std::string>> written;
        while (sqlite3_step(select) == SQLITE_ROW) {
            std::string path =
                folder + reinterpret_cast<const char*>(sqlite3_column_text(select, 1)) + "_" +
                reinterpret_cast<const char*>(sqlite3_column_text(select, 2)) + "_" +
                reinterpret_cast<const char*>(sqlite3_column_text(select, 3)) + ".qzr";
            auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(select, 4));
            WriteFileRaw(path, Bytes(data, data + sqlite3_column_bytes(select, 4)));
            written.emplace_back(sqlite3_column_int64(select, 0), path);
        }
        sqlite3_finalize(select);
        for (const auto& [rowid, path] : written) {
            sqlite3_bind_null(update, 1);
            sqlite3_bind_int64(update, 2, rowid);
            sqlite3_step(update);
            sqlite3_reset(update);
        }
        for (const auto& [rowid, path] : written) {
            Bytes bytes = ReadFileRaw(path);
            sqlite3_bind_blob64(update, 1, bytes.data(), bytes.size(), SQLITE_STATIC);
            sqlite3_bind_int64(update, 2, rowid);
            sqlite3_step(update);
            sqlite3_reset(update);
            unlink(path.c_str());
        }
        sqlite3_finalize(update);
    }
    state.SetBytesProcessed(state.iterations() * kPhotos * kPhotoBytes * 2);
}

BENCHMARK(BM_StoreConvertToFilesAndBack)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawCopyToFilesAndBack)->Iterations(2)->Unit(benchmark::kMillisecond);

const bool paired =
    (PairWithBaseline("BM_StoreConvertToFilesAndBack", "BM_RawCopyToFilesAndBack", 2), true);

}  // namespace
}  // namespace kelvo::bench
