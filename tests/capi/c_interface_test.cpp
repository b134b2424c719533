// The C interface through libkelvophotos alone, as a C or FFI host uses it, on SQLite and
// PostgreSQL: events reach their callbacks, failures come back as status and text, and a
// photo goes in as bytes and comes back as the same bitmap, kept in the table or as a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "kelvophotos/kelvophotos.h"

extern "C" const char* kp_header_is_c(void);

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A 24-bit bottom-up bitmap with its resolution set, whose pixel (x, y) is 0xRRGGBB =
// pixel(x, y): photos come back in this form, byte for byte.
std::uint32_t pixel(int x, int y) {
    return 0x102030u * (x + 1) + 0x300000u * y;
}
Bytes bitmap(int width, int height) {
    const int stride = (width * 3 + 3) / 4 * 4;
    Bytes b(54 + stride * height, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, b.size()), put32(b, 10, 54), put32(b, 14, 40), put32(b, 18, width);
    put32(b, 22, height), put32(b, 34, stride * height), put32(b, 38, 2835), put32(b, 42, 2835);
    b[26] = 1, b[28] = 24;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                b[54 + (height - 1 - y) * stride + x * 3 + c] = pixel(x, y) >> (8 * c) & 0xff;
    return b;
}
std::vector<std::string> backends() {
    std::vector<std::string> names = {"sqlite"};
    if (std::getenv("KELVO_PG_URI") || std::getenv("KELVO_REQUIRE_PG"))
        names.push_back("postgresql");
    return names;
}

// What the callbacks saw.
struct Seen {
    std::vector<std::string> errors;  // every text event
    int position = 0, total = 0, progressCalls = 0;
    int codeExists = -1, recordExists = -1, isLast = -1;
};
void onText(void* user, const char* text) {
    static_cast<Seen*>(user)->errors.push_back(text);
}
void onPosition(void* user, int32_t* position, int32_t* total) {
    static_cast<Seen*>(user)->position = *position;
    static_cast<Seen*>(user)->total = *total;
}
void onProgress(void* user, const char*, int32_t*, int32_t*) {
    ++static_cast<Seen*>(user)->progressCalls;
}
template <int Seen::*Flag>
void onFlag(void* user, int* value) {
    static_cast<Seen*>(user)->*Flag = *value;
}

class CInterface : public testing::TestWithParam<std::tuple<std::string, bool>> {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kelvo-capi-" + std::to_string(getpid()));
        fs::create_directories(folder_ / "photos");
        const bool pg = std::get<0>(GetParam()) == "postgresql";
        const char* uri = std::getenv("KELVO_PG_URI");
        ASSERT_TRUE(!pg || uri) << "KELVO_PG_URI names no server";
        table_ = "capi_photos_" + std::to_string(getpid());
        ASSERT_EQ(kp_connect(pg ? uri : (folder_ / "db.sqlite").c_str(), &cnn_), KP_OK)
            << kp_last_error();
        exec("DROP TABLE IF EXISTS " + table_);
        exec("CREATE TABLE " + table_ + " (CODE TEXT, DESCR TEXT, GRP TEXT, COMMENTS TEXT, " +
             "DEF BOOLEAN, PIC " + (pg ? "BYTEA)" : "BLOB)"));
        ASSERT_EQ(kp_store_create(&store_), KP_OK);
        const std::pair<kp_text, std::string> texts[] = {
            {KP_TABLE_NAME, table_},
            {KP_OWNER_ID_FIELD, "CODE"},
            {KP_OWNER_DESC_FIELD, "DESCR"},
            {KP_OWNER_GROUP_FIELD, "GRP"},
            {KP_OWNER_COMMENTS_FIELD, "COMMENTS"},
            {KP_OWNER_DEFAULT_PHOTO_FIELD, "DEF"},
            {KP_OWNER_PHOTO_FIELD, "PIC"},
            {KP_PHOTOS_FOLDER, (folder_ / "photos/").string()}};
        for (const auto& [which, value] : texts)
            ASSERT_EQ(kp_set_text(store_, which, value.c_str()), KP_OK);
        kp_set_flag(store_, KP_SAVE_AS_FILE, std::get<1>(GetParam()));
        kp_on_table_error(store_, onText, &seen_);
        kp_on_error_description(store_, onText, &seen_);
        kp_on_error_saving_photo(store_, onText, &seen_);
        kp_on_record_position(store_, onPosition, &seen_);
        kp_on_conversion_progress(store_, onProgress, &seen_);
        kp_on_code_exists(store_, onFlag<&Seen::codeExists>, &seen_);
        kp_on_record_exists(store_, onFlag<&Seen::recordExists>, &seen_);
        kp_on_is_last_record(store_, onFlag<&Seen::isLast>, &seen_);
    }
    void TearDown() override {
        if (cnn_) kp_execute(cnn_, ("DROP TABLE IF EXISTS " + table_).c_str());
        kp_store_destroy(store_);
        kp_disconnect(cnn_);
        fs::remove_all(folder_);
    }
    void exec(const std::string& sql) {
        ASSERT_EQ(kp_execute(cnn_, sql.c_str()), KP_OK) << kp_last_error();
    }
    Bytes currentPhoto(kp_status status = KP_OK) {
        unsigned char* data = nullptr;
        size_t size = 0;
        EXPECT_EQ(kp_photo_bytes(store_, &data, &size), status) << kp_last_error();
        Bytes bytes(data, data + size);
        kp_free(data);
        return bytes;
    }
    // Stands on the photo described `description`; it must be the width x height bitmap.
    void expectPhoto(const char* description, int width, int height) {
        kp_search(store_, "", description);
        EXPECT_EQ(currentPhoto(), bitmap(width, height)) << description;
    }

    fs::path folder_;
    std::string table_;
    kp_connection* cnn_ = nullptr;
    kp_store* store_ = nullptr;
    Seen seen_;
};

TEST_P(CInterface, PhotosComeBackAsTheSameBitmapAndFailuresAsStatusAndText) {
    EXPECT_STREQ(kp_header_is_c(), "3.3");
    EXPECT_TRUE(currentPhoto(KP_FAILED).empty());  // no photo yet
    EXPECT_EQ(kp_photo_file(store_, (folder_ / "none.bmp").c_str()), KP_FAILED);
    const std::tuple<const char*, int, int> photos[] = {{"badge", 5, 4},
                                                        {"desk, side \"B\"", 3, 2}};
    for (auto [description, width, height] : photos) {
        ASSERT_EQ(kp_init(store_, "E-7", "staff", "Zoë", cnn_), KP_OK) << kp_last_error();
        kp_set_text(store_, KP_PHOTO_CODE, "E-7");
        kp_set_text(store_, KP_PHOTO_DESCRIPTION, description);
        const Bytes photo = bitmap(width, height);
        ASSERT_EQ(kp_set_photo_bytes(store_, photo.data(), photo.size()), KP_OK) << kp_last_error();
        ASSERT_EQ(kp_save(store_, 1), KP_OK) << kp_last_error();
    }
    ASSERT_TRUE(seen_.errors.empty()) << seen_.errors.front();
    ASSERT_EQ(kp_init(store_, "E-7", "staff", "Zoë", cnn_), KP_OK);
    ASSERT_EQ(kp_load_data(store_, 0), KP_OK);
    kp_last_record(store_);
    EXPECT_EQ(std::tuple(seen_.position, seen_.total, seen_.isLast), std::tuple(2, 2, 1));
    expectPhoto("badge", 5, 4);
    const Bytes out = bitmap(5, 4);
    EXPECT_EQ(seen_.recordExists, 1);
    const char* description = nullptr;
    kp_get_text(store_, KP_PHOTO_DESCRIPTION, &description);
    EXPECT_STREQ(description, "badge");
    // The same bitmap as a file: read back through the interface itself.
    const fs::path file = folder_ / "out.bmp";
    ASSERT_EQ(kp_photo_file(store_, file.c_str()), KP_OK) << kp_last_error();
    ASSERT_EQ(kp_set_photo_file(store_, file.c_str()), KP_OK) << kp_last_error();
    EXPECT_EQ(currentPhoto(), out);
    double bytes = 0;
    int over = 1;
    const char* sizeText = nullptr;
    ASSERT_EQ(kp_photo_size(store_, &bytes, &over, &sizeText), KP_OK);
    EXPECT_EQ(std::tuple(bytes, over, std::string(sizeText)),
              std::tuple(double(out.size()), 0, "0.12 KB"));
    int has = 0;
    ASSERT_EQ(kp_get_photo(store_, "staff", "E-7", cnn_, &has), KP_OK);
    kp_check_code_exists(store_, "'E-7'");
    EXPECT_EQ(std::pair(has, seen_.codeExists), std::pair(1, 1));
    // The whole table changes form and back; every photo stays readable.
    int done = 0;
    const bool asFiles = std::get<1>(GetParam());
    kp_set_flag(store_, KP_SAVE_AS_FILE, !asFiles);
    ASSERT_EQ((asFiles ? kp_convert_all_to_blobs : kp_convert_all_to_files)(store_, cnn_, &done),
              KP_OK);
    EXPECT_EQ(done, 1) << (seen_.errors.empty() ? "" : seen_.errors.back());
    EXPECT_GE(seen_.progressCalls, 2);  // at least one a row
    kp_init(store_, "E-7", "staff", "Zoë", cnn_);
    for (auto [description, width, height] : photos) expectPhoto(description, width, height);
    EXPECT_TRUE(seen_.errors.empty()) << seen_.errors.front();

    // Failures come back as status and text.
    kp_connection* none = nullptr;
    EXPECT_EQ(kp_connect("postgresql://nobody@127.0.0.1:1/none", &none), KP_FAILED);
    EXPECT_TRUE(*kp_last_error() && !none);
    EXPECT_EQ(kp_init(nullptr, "E-7", "staff", "", cnn_), KP_INVALID_ARGUMENT);
    EXPECT_EQ(kp_set_text(store_, KP_TABLE_NAME, nullptr), KP_INVALID_ARGUMENT);
    EXPECT_EQ(kp_execute(cnn_, "SELECT FROM nowhere_at_all"), KP_FAILED);
    EXPECT_STRNE(kp_last_error(), "");

    const unsigned char corrupt[] = {'B', 'M', 1, 2, 3, 4, 5};
    EXPECT_EQ(kp_set_photo_bytes(store_, corrupt, sizeof corrupt), KP_FAILED);
    EXPECT_STRNE(kp_last_error(), "");
    // The store reports a table it cannot read through its event, and the call succeeds.
    kp_set_text(store_, KP_TABLE_NAME, "no_such_table");
    EXPECT_EQ(kp_init(store_, "E-7", "staff", "", cnn_), KP_OK);
    EXPECT_FALSE(seen_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Backends, CInterface,
                         testing::Combine(testing::ValuesIn(backends()), testing::Bool()),
                         [](const auto& info) {
                             return std::get<0>(info.param) +
                                    (std::get<1>(info.param) ? "_files" : "_blobs");
                         });

}  // namespace
