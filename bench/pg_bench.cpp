// PostgreSQL: a 1 MB and a 10 MB photo saved and loaded through the store in blob mode,
// against the same bytes as one binary bytea parameter through libpq; and 8 clients, one
// connection each, adding 100 photos of 200 KB each to one table, store against libpq.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "app/sample_pictures.h"
#include "bench_support.h"
#include "pg_support.h"

namespace kelvo::bench {
namespace {

// Square sizes whose 24-bit bitmaps come to about 1 MB and 10 MB.
int sideFor(std::int64_t megabytes) {
    return megabytes == 1 ? 592 : 1872;
}

std::string photoTable() {
    const std::string uri = NewPgDatabase();
    RawPg(uri).Exec(kPgPhotoTableSql);
    return uri;
}

void BM_StorePgBlobRoundTrip(benchmark::State& state) {
    const int side = sideFor(state.range(0));
    PicturePtr picture = MakeSamplePicture(side, side, "bench");
    const std::string uri = photoTable();
    auto cnn = Connection::Open(uri);
    auto store = MakeStore();
    ErrorCounter errors;
    store->AddListener(&errors);
    for (auto _ : state) {
        SaveAndLoad(*store, cnn, picture);
        if (store->OwnerPhoto()->IsEmpty() || errors.count)
            state.SkipWithError(("the photo did not come back: " + errors.last).c_str());
        state.PauseTiming();
        cnn->ExecuteDelete("PHOTOS", {{"CODE", "OWNER"}});
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * BitmapBytesOf(*picture).size() * 2);
}

void BM_RawPgRoundTrip(benchmark::State& state) {
    const int side = sideFor(state.range(0));
    const Bytes bitmap = BitmapBytesOf(*MakeSamplePicture(side, side, "bench"));
    RawPg raw(photoTable());
    for (auto _ : state) {
        raw.InsertPhoto("OWNER", "Front", "CUST", true, bitmap);
        Bytes back = raw.ReadPhoto("OWNER");
        if (back != bitmap) state.SkipWithError("the photo did not come back");
        state.PauseTiming();
        raw.Exec("DELETE FROM PHOTOS");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bitmap.size() * 2);
}

BENCHMARK(BM_StorePgBlobRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawPgRoundTrip)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

// --- Many clients at once.

constexpr int kClients = 8;
constexpr int kPhotosPerClient = 100;
constexpr int kDistinctPhotos = 100;

// 100 different photos of about 200 KB (262 x 260 at 24 bits), and the bytes stored for each.
struct ClientPhotos {
    std::vector<PicturePtr> pictures;
    std::vector<Bytes> bitmaps;
};

const ClientPhotos& clientPhotos() {
    static const ClientPhotos photos = [] {
        ClientPhotos made;
        for (int i = 0; i < kDistinctPhotos; ++i) {
            made.pictures.push_back(RandomPicture(262, 260, 1000 + i));
            made.bitmaps.push_back(BitmapBytesOf(*made.pictures.back()));
        }
        return made;
    }();
    return photos;
}

std::string clientCode(int client) {
    return "CLIENT" + std::to_string(client);
}
std::string photoDescription(int photo) {
    return "Photo " + std::to_string(photo);
}
int photoIndex(int client, int photo) {
    return (client * 37 + photo) % kDistinctPhotos;
}

// Runs `client(k)` on kClients threads at once; the photos added per second of wall time.
double photosPerSecond(const std::function<void(int)>& client) {
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (int k = 0; k < kClients; ++k) threads.emplace_back(client, k);
    for (std::thread& t : threads) t.join();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return kClients * kPhotosPerClient / took.count();
}

// Every photo of every client reads back bit for bit; the first difference otherwise.
std::string differences(RawPg& raw) {
    for (int k = 0; k < kClients; ++k)
        for (int p = 0; p < kPhotosPerClient; ++p)
            if (raw.ReadPhoto(clientCode(k), photoDescription(p)) !=
                clientPhotos().bitmaps[photoIndex(k, p)])
                return clientCode(k) + " " + photoDescription(p) + " differs";
    return "";
}

void manyClients(benchmark::State& state, const std::function<void(const std::string&, int)>& add) {
    clientPhotos();
    const std::string uri = photoTable();
    RawPg raw(uri);
    double rate = 0;
    for (auto _ : state) {
        rate = photosPerSecond([&](int client) { add(uri, client); });
        state.PauseTiming();
        const std::string wrong = differences(raw);
        if (!wrong.empty()) state.SkipWithError(wrong.c_str());
        raw.Exec("TRUNCATE PHOTOS");
        state.ResumeTiming();
    }
    state.counters["photos_per_s"] = rate;
}

void BM_StorePgManyClients(benchmark::State& state) {
    std::atomic<int> failures{0};
    manyClients(state, [&](const std::string& uri, int client) {
        auto cnn = Connection::Open(uri);
        auto store = MakeStore();
        ErrorCounter errors;
        store->AddListener(&errors);
        store->Init(clientCode(client), "CUST", "", nullptr, cnn);
        for (int p = 0; p < kPhotosPerClient; ++p) {
            store->PhotoDescription(photoDescription(p));
            store->OwnerPhoto(clientPhotos().pictures[photoIndex(client, p)]);
            store->DefaultPhoto(p == 0);
            store->SavePhotoDetails(true, false);
        }
        failures += errors.count;
    });
    if (failures) state.SkipWithError("the store reported errors");
}

void BM_RawPgManyClients(benchmark::State& state) {
    manyClients(state, [](const std::string& uri, int client) {
        RawPg raw(uri);
        for (int p = 0; p < kPhotosPerClient; ++p)
            raw.InsertPhoto(clientCode(client), photoDescription(p), "CUST", p == 0,
                            clientPhotos().bitmaps[photoIndex(client, p)]);
    });
}

BENCHMARK(BM_StorePgManyClients)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawPgManyClients)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

const bool paired = [] {
    PairWithBaseline("BM_StorePgBlobRoundTrip/1", "BM_RawPgRoundTrip/1", 2);
    PairWithBaseline("BM_StorePgBlobRoundTrip/10", "BM_RawPgRoundTrip/10", 2);
    PairWithBaseline("BM_StorePgManyClients", "BM_RawPgManyClients", 2);
    return true;
}();

}  // namespace
}  // namespace kelvo::bench
