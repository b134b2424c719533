// Init + LoadData with the move to the default photo for one owner of a 100,000-row table
// (10,000 owners, indexed), against one indexed SELECT of the same row; and a file-mode load
// in a folder of 20,000 photo files against one in an empty folder.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/sample_pictures.h"
#include "bench_support.h"

namespace kelvo::bench {
namespace {

constexpr int kOwners = 10000;
constexpr int kPhotosPerOwner = 10;
constexpr int kDefaultIndex = 6;  // the default photo is the seventh of each owner

std::string ownerCode(int i) {
    char code[16];
    std::snprintf(code, sizeof code, "O%05d", i);
    return code;
}

// The seeded database, made once for both measurements.
const std::string& seededDatabase() {
    static const std::string path = [] {
        std::string file = ScratchFolder() + "owners.db";
        RawSqlite raw(file);
        raw.Exec(kPhotoTableSql);
        raw.Exec("BEGIN");
        const Bytes smallPhoto = BitmapBytesOf(*MakeSamplePicture(26, 26, "owner"));  // 2 KB
        for (int owner = 0; owner < kOwners; ++owner)
            for (int p = 0; p < kPhotosPerOwner; ++p)
                raw.InsertPhoto(ownerCode(owner), "Photo " + std::to_string(p), "CUST",
                                p == kDefaultIndex, smallPhoto);
        raw.Exec("COMMIT");
        raw.Exec("CREATE INDEX PHOTOS_CODE_idx ON PHOTOS (CODE, GRP)");
        return file;
    }();
    return path;
}

void BM_StoreDefaultPhotoLookup(benchmark::State& state) {
    auto cnn = Connection::Open(seededDatabase());
    auto store = MakeStore();
    int owner = 0;
    for (auto _ : state) {
        store->Init(ownerCode(owner), "CUST", "", nullptr, cnn);
        store->LoadData(true, false);
        if (!store->DefaultPhoto()) state.SkipWithError("the default photo was not found");
        owner = (owner + 7919) % kOwners;
    }
}

void BM_RawIndexedSelect(benchmark::State& state) {
    RawSqlite raw(seededDatabase());
    int owner = 0;
    for (auto _ : state) {
        if (!raw.ReadDefaultRow(ownerCode(owner))) state.SkipWithError("no row");
        owner = (owner + 7919) % kOwners;
    }
}

// File mode: loading one owner's photo with range(0) other photo files in the folder, once
// the folder has settled (a host browsing photos saved earlier).
void BM_StoreFileLookup(benchmark::State& state) {
    const std::string folder = ScratchFolder();
    { RawSqlite(folder + "photos.db").Exec(kPhotoTableSql); }
    auto cnn = Connection::Open(folder + "photos.db");
    auto store = MakeStore(folder + "files");
    store->Init("OWNER", "CUST", "", nullptr, cnn);
    store->PhotoDescription("Front");
    store->OwnerPhoto(MakeSamplePicture(26, 26, "owner"));
    store->SavePhotoDetails(true, false);
    for (int i = 0; i < state.range(0); ++i)
        WriteFileRaw(folder + "files/" + ownerCode(i) + "_Front_CUST.qzr", Bytes{1});
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    for (auto _ : state) {
        store->Init("OWNER", "CUST", "", nullptr, cnn);
        store->LoadData(true, false);
        if (store->OwnerPhoto()->IsEmpty()) state.SkipWithError("the photo was not found");
    }
}

BENCHMARK(BM_StoreDefaultPhotoLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawIndexedSelect)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreFileLookup)->Arg(0)->Arg(20000)->Unit(benchmark::kMicrosecond);

const bool paired = (PairWithBaseline("BM_StoreDefaultPhotoLookup", "BM_RawIndexedSelect", 5),
                     PairWithBaseline("BM_StoreFileLookup/20000", "BM_StoreFileLookup/0", 2), true);

}  // namespace
}  // namespace kelvo::bench
