// Scratch folders, the raw sqlite3 baseline and the store set-up of the benchmarks.
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include <sys/resource.h>

#include <QImage>
#include <random>

#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"

namespace kelvo::bench {
namespace {

std::vector<std::string>& scratchFolders() {
    static std::vector<std::string> folders;
    return folders;
}

void removeScratch() {
    for (const std::string& folder : scratchFolders()) std::filesystem::remove_all(folder);
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
}

}  // namespace

std::string ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvo-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    if (scratchFolders().empty()) std::atexit(removeScratch);
    scratchFolders().push_back(pattern);
    return pattern + "/";
}

RawSqlite::RawSqlite(const std::string& path) {
    check(sqlite3_open(path.c_str(), &db_), db_, "open");
}

RawSqlite::~RawSqlite() {
    sqlite3_close(db_);
}

void RawSqlite::Exec(const std::string& sql) {
    check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), db_, sql.c_str());
}

void RawSqlite::InsertPhoto(const std::string& code, const std::string& desc,
                            const std::string& group, bool isDefault, const Bytes& photo) {
    sqlite3_stmt* st = nullptr;
    check(
        sqlite3_prepare_v2(
            db_, "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?,?,?,'-',?,?)",
            -1, &st, nullptr),
        db_, "prepare insert");
    sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, desc.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 3, group.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 4, isDefault ? 1 : 0);
    if (photo.empty())
        sqlite3_bind_null(st, 5);
    else
        sqlite3_bind_blob64(st, 5, photo.data(), photo.size(), SQLITE_STATIC);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    check(rc, db_, "insert");
}

Bytes RawSqlite::ReadPhoto(const std::string& code, const std::string& desc) {
    sqlite3_stmt* st = nullptr;
    const char* sql = desc.empty() ? "SELECT PIC FROM PHOTOS WHERE CODE=? LIMIT 1"
                                   : "SELECT PIC FROM PHOTOS WHERE CODE=? AND DESCR=? LIMIT 1";
    check(sqlite3_prepare_v2(db_, sql, -1, &st, nullptr), db_, "prepare select");
    sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
    if (!desc.empty()) sqlite3_bind_text(st, 2, desc.c_str(), -1, SQLITE_TRANSIENT);
    Bytes bytes;
    if (sqlite3_step(st) == SQLITE_ROW) {
        auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, 0));
        bytes.assign(data, data + sqlite3_column_bytes(st, 0));
    }
    sqlite3_finalize(st);
    return bytes;
}

bool RawSqlite::ReadDefaultRow(const std::string& code) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db_, "SELECT * FROM PHOTOS WHERE CODE=? AND GRP=? AND DEF=1 LIMIT 1", -1,
                       &st, nullptr);
    sqlite3_bind_text(st, 1, code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, "CUST", -1, SQLITE_STATIC);
    const bool found = sqlite3_step(st) == SQLITE_ROW;
    if (found) {
        benchmark::DoNotOptimize(sqlite3_column_text(st, 1));
        benchmark::DoNotOptimize(sqlite3_column_blob(st, 5));
    }
    sqlite3_finalize(st);
    return found;
}

void SaveAndLoad(CPicture& store, const std::shared_ptr<Connection>& cnn, PicturePtr picture) {
    store.Init("OWNER", "CUST", "", nullptr, cnn);
    store.PhotoDescription("Front");
    store.OwnerPhoto(std::move(picture));
    store.SavePhotoDetails(true, false);
    store.Init("OWNER", "CUST", "", nullptr, cnn);
    store.LoadData(true, false);
}

std::unique_ptr<CPicture> MakeStore(const std::string& folder) {
    auto store = std::make_unique<CPicture>();
    store->TableName = "PHOTOS";
    store->OwnerIDField = "CODE";
    store->OwnerDescField = "DESCR";
    store->OwnerGroupField = "GRP";
    store->OwnerCommentsField = "COMMENTS";
    store->OwnerDefaultPhotoField = "DEF";
    store->OwnerPhotoField = "PIC";
    store->SaveAsFile = !folder.empty();
    store->PhotosFolder = folder;
    return store;
}

void WriteFileRaw(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

Bytes BitmapBytesOf(const Picture& picture) {
    const std::string path = ScratchFolder() + "sample.bmp";
    DefaultServices().pictures->SavePicture(picture, path);
    return ReadFileRaw(path);
}

Bytes ReadFileRaw(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("cannot read " + path);
    std::fseek(f, 0, SEEK_END);
    Bytes bytes(static_cast<std::size_t>(std::ftell(f)));
    std::fseek(f, 0, SEEK_SET);
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    bytes.resize(got);
    return bytes;
}

PicturePtr RandomPicture(int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_RGB888);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width * 3; ++x) line[x] = static_cast<uchar>(random());
    }
    return PictureFromImage(std::move(image));
}

long MaxRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::string SelfPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

}  // namespace kelvo::bench
