// Odd photo descriptions and table or column names, listed and from seeded generators: each
// either works or ends in a store event; never a crash, a hang or a file outside the photos
// folder. Mangled picture files are the pictures fuzzer's.
#include <filesystem>
#include <random>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

// The texts between the "|"s of `joined`.
std::vector<std::string> Split(std::string_view joined) {
    std::vector<std::string> parts(1);
    for (const char c : joined) c == '|' ? parts.emplace_back() : (parts.back() += c);
    return parts;
}

class DescriptionInputs : public PhotoTest {};

TEST_P(DescriptionInputs, PhotoFilesStayDirectlyInThePhotosFolderAndLoadBack) {
    std::vector<std::string> odd = Split(
        "hardx/inside|../../hardx-escape|..|.|/|\\..\\hardx|hardx/../../..|hard\0x/../up|..../....|"
        "hardx*|hardx?|*.qzr|[a-z]|~|$HOME|`touch hardx-cmd`|  |-rf|line\nbreak|tab\there|%s%n|"
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E|\xCE\x95\xCE\xBB\xCE\xBB|\xF0\x9F\x93\xB7 camera|"
        "caf\xC3\xA9/../..|\xFF\xFE bad utf8"sv);
    odd.insert(odd.end(), {std::string(300, 'x'), std::string(2000, 'y'), ""});
    for (int i = 0; i < 200; ++i) odd.back() += "\xC3\xA9";  // a long name cut inside a letter
    std::mt19937 random(77);
    for (int i = 0; i < 20; ++i) {
        odd.emplace_back();
        for (int n = 1 + random() % 40; n > 0; --n) odd.back() += "./\\*?\0x\xC3\xA9"[random() % 9];
    }
    std::size_t roundTrips = 0;
    for (std::size_t i = 0; i < odd.size(); ++i) {
        const std::string code = "C" + std::to_string(i), group = i % 3 ? "CUST" : "../G/..";
        SCOPED_TRACE("description #" + std::to_string(i));
        const PicturePtr photo = MakePicture(3 + static_cast<int>(i), 4, 0x010203 * (i + 1));
        auto store = initStore(true, code, group);
        store->PhotoCode(code);
        store->PhotoDescription(odd[i]);
        store->PhotosGroup(group);
        store->OwnerPhoto(photo);
        store->SavePhotoDetails(true);
        const fs::path photos = fs::canonical(photosFolder());
        for (const auto& entry : fs::recursive_directory_iterator(app)) {
            const fs::path real = fs::canonical(entry.path());
            if (real == photos) continue;
            EXPECT_EQ(real.parent_path(), photos) << real;
            EXPECT_TRUE(fs::is_regular_file(real)) << real;
        }
        if (!events.errors().empty()) continue;  // a value the database refuses is reported
        auto reader = initStore(true, code, group);
        reader->LoadData();
        EXPECT_EQ(events.errors(), Lines{});
        EXPECT_EQ(PictureChecksum(*reader->OwnerPhoto()), PictureChecksum(*photo));
        ++roundTrips;
    }
    for (const auto& entry : fs::directory_iterator(fs::path(app).parent_path().parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("hardx"), std::string::npos)
            << entry.path();
    EXPECT_GT(roundTrips, odd.size() / 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, DescriptionInputs, testing::ValuesIn(TestBackends()),
                         BackendName);

class NameInputs : public PhotoTest {};

TEST_P(NameInputs, OddTableAndColumnNamesGiveClearErrorsAndHarmNothing) {
    auto odd = Split(
        "PHOTOS; DROP TABLE VICTIM|PHOTOS\"; DROP TABLE VICTIM; --|VICTIM\" --|PHOTOS' OR '1'='1|"
        "\"PHOTOS\"|[PHOTOS]|`PHOTOS`|PHOTOS--|PHOTOS/*|| |1PHOTOS|PHO TOS|PHO\0TOS|\xC3\xA9|\xFF|"
        "CODE = CODE|pg_catalog.pg_class|sqlite_master|*"sv);
    odd.push_back(std::string(500, 'P'));
    std::mt19937 random(4242);
    for (int i = 0; i < 30; ++i) {
        odd.emplace_back();
        for (int n = random() % 20; n >= 0; --n)
            odd.back() += "PHOTS\"';-- ()*.\0\xC3"[random() % 18];
    }
    auto cn = db->connection();
    cn->Execute("CREATE TABLE VICTIM (X INTEGER)");
    cn->Execute("INSERT INTO VICTIM (X) VALUES (?)", {7});
    for (int i = 0; i < 3; ++i) addRow("A1", "row " + std::to_string(i), "CUST", i == 0);
    const Lines before = storedDescriptions();
    std::string CPicture::*const fields[] = {&CPicture::TableName, &CPicture::OwnerIDField,
                                             &CPicture::OwnerGroupField, &CPicture::OwnerDescField,
                                             &CPicture::OwnerDefaultPhotoField};
    for (const std::string& name : odd) {
        for (auto field : fields) {
            if (name.empty() && field != &CPicture::TableName) continue;  // "" = column unused
            events.clear();
            auto store = newStore();
            (*store).*field = name;
            store->Init("A1", "CUST", "", nullptr, cn);
            if (events.matching("TableError").empty()) store->LoadData(true);
            EXPECT_FALSE(events.errors().empty()) << "'" << name << "' raised nothing";
            for (const auto& line : events.matching("TableError: ")) EXPECT_GT(line.size(), 12u);
        }
        for (const bool asColumn : {false, true}) {
            const std::string table = asColumn ? "PHOTOS" : name, column = asColumn ? name : "CODE";
            EXPECT_THROW(cn->ExecuteUpdate(table, {{column, "x"}}, {{column, "A1"}}), Error)
                << name;
            EXPECT_THROW(cn->ExecuteDelete(table, {{column, "A1"}}), Error) << name;
        }
        ASSERT_TRUE(cn->IsOpen());
    }
    EXPECT_EQ(storedDescriptions(), before);
    EXPECT_EQ(CountRows(cn, "VICTIM", {{"X", 7}}), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, NameInputs, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
