// Random and mangled outside input, from seeded generators: picture files of every kind,
// Find/Filter criteria, odd photo descriptions and table or column names. Each either works
// or ends in kelvo::Error or a store event; never a crash, a hang or a file outside the photos
// folder. Inputs that once broke something are kept in corpus/ and replayed.
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/pictures/qt_picture.h"
#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

// The texts between the "|"s of `joined`.
std::vector<std::string> Split(std::string_view joined) {
    std::vector<std::string> parts(1);
    for (const char c : joined) {
        if (c == '|')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    return parts;
}

fs::path CorpusFolder() {
    return fs::path(__FILE__).parent_path() / "corpus";
}

// Where an input that broke a case is written, for keeping in the corpus.
void KeepFailingInput(const std::string& name, const Bytes& bytes) {
    const char* artifacts = std::getenv("KELVO_TEST_ARTIFACTS");
    const fs::path folder = artifacts ? fs::path(artifacts) : fs::temp_directory_path();
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ADD_FAILURE() << "input kept as " << (folder / name);
}

// Loads `bytes` as a picture file: a picture or kelvo::Error, nothing else.
void ExpectLoadsOrRefuses(PictureService& pictures, const std::string& path, const Bytes& bytes,
                          const std::string& label) {
    LocalFileSystem().WriteAll(path, bytes);
    try {
        PicturePtr picture = pictures.LoadPicture(path);
        ASSERT_TRUE(picture);
        EXPECT_LE(static_cast<std::int64_t>(picture->PixelWidth()) * picture->PixelHeight(),
                  std::int64_t{1} << 28)
            << label;
    } catch (const Error&) {
    } catch (const std::exception& e) {
        KeepFailingInput(label, bytes);
        ADD_FAILURE() << label << ": " << e.what();
    }
}

Bytes Mutate(const Bytes& valid, std::mt19937& random) {
    Bytes bytes = valid;
    auto at = [&](std::size_t limit) {
        return std::uniform_int_distribution<std::size_t>(0, limit - 1)(random);
    };
    const std::size_t header = std::min<std::size_t>(bytes.size(), 64);
    switch (random() % 5) {
        case 0:  // truncated
            bytes.resize(at(bytes.size()));
            break;
        case 1:  // a few bytes flipped anywhere
            for (int i = 1 + random() % 8; i > 0; --i)
                bytes[at(bytes.size())] ^= 1u << (random() % 8);
            break;
        case 2:  // the header scrambled
            for (int i = 1 + random() % 16; i > 0; --i) bytes[at(header)] = random() & 0xFF;
            break;
        case 3: {  // a huge number where sizes are declared
            const std::size_t offset = at(header > 4 ? header - 4 : 1);
            const std::uint32_t huge =
                random() % 2 ? 0x7FFFFFFFu : 0xFFFF0000u | (random() & 0xFFFF);
            for (int i = 0; i < 4 && offset + i < bytes.size(); ++i)
                bytes[offset + i] =
                    static_cast<std::uint8_t>(huge >> (8 * (random() % 2 ? i : 3 - i)));
            break;
        }
        default:  // cut in the middle and filled with garbage
            bytes.resize(bytes.size() / 2);
            for (int i = random() % 200; i > 0; --i) bytes.push_back(random() & 0xFF);
    }
    return bytes;
}

TEST(PictureInputs, MangledFilesOfEveryKindLoadOrThrowError) {
    auto pictures = MakeQtPictures(LocalFileSystem());
    const std::string folder = TempFolder();
    // Qt writes the first three; the others are kept as files.
    const std::vector<std::string> kinds = {"bmp",          "png",       "jpg",
                                            "blue.gif",     "blue.ico",  "blue.cur",
                                            "wide-rle.bmp", "lined.wmf", "lined.emf"};
    int cases = 0;
    for (const std::string& kind : kinds) {
        std::mt19937 random(std::hash<std::string>{}(kind)&0xFFFF);
        const std::string validPath = kind.find('.') == std::string::npos
                                          ? WriteImageFile(folder, "valid." + kind, kind, 13, 9)
                                          : SampleFile(kind);
        const Bytes valid = LocalFileSystem().ReadAll(validPath);
        ASSERT_FALSE(pictures->LoadPicture(validPath)->IsEmpty()) << kind;
        const std::string path = folder + "mangled." + kind;
        for (int i = 0; i < 60; ++i, ++cases)
            ExpectLoadsOrRefuses(*pictures, path, Mutate(valid, random),
                                 "picture-" + kind + "-" + std::to_string(i));
        ExpectLoadsOrRefuses(*pictures, path, {}, "picture-" + kind + "-empty");
    }
    std::error_code none;
    for (const auto& entry : fs::directory_iterator(CorpusFolder(), none)) {
        if (entry.path().filename().string().rfind("picture-", 0) != 0) continue;
        const Bytes kept = LocalFileSystem().ReadAll(entry.path().string());
        ExpectLoadsOrRefuses(*pictures, folder + "kept" + entry.path().extension().string(), kept,
                             entry.path().filename().string());
        ++cases;
    }
    RecordProperty("cases", cases);
}

// Criteria texts: random ones over the grammar's own characters, and valid ones mutated.
std::string RandomCriteria(std::mt19937& random) {
    static const std::vector<std::string> pieces = Split(
        "CODE|DESCR|DEF|PIC|GRP|=|'|''| |1|-|.|e9|0x1F|nan|inf|1e999|\xC3\xA9|\xFF|\xE2\x82|\0|(|)|"
        "AND|OR|*|%|<|>|\"|;|--|\\|DROP TABLE PHOTOS"sv);
    std::string text;
    for (int i = random() % 8; i >= 0; --i) text += pieces[random() % pieces.size()];
    return text;
}

std::string MutatedCriteria(std::mt19937& random) {
    static const std::vector<std::string> valid = {"DESCR='Blue car'", "CODE='A1'",      "DEF=1",
                                                   "DEF=-1",           "CODE='O''Neil'", "DESCR=''",
                                                   "GRP='CUST'",       "DEF=0.5"};
    std::string text = valid[random() % valid.size()];
    for (int i = 1 + random() % 4; i > 0; --i) {
        const std::size_t at = text.empty() ? 0 : random() % (text.size() + 1);
        const char c = "='\" x9.-\0\xC3"[random() % 11];
        switch (random() % 3) {
            case 0:
                text.insert(text.begin() + at, c);
                break;
            case 1:
                if (at < text.size()) text.erase(at, 1);
                break;
            default:
                if (at < text.size()) text[at] = c;
        }
    }
    return text;
}

TEST(CriteriaInputs, RandomAndMutatedCriteriaMatchOrThrowError) {
    TestDatabase db("sqlite");
    db.CreatePhotoTable();
    auto cn = db.connection();
    for (const auto& [code, descr, def] : std::vector<std::tuple<std::string, std::string, int>>{
             {"A1", "Blue car", 1}, {"O'Neil", "it's", 0}, {"A1", "\xC3\xA9t\xC3\xA9", 0}})
        cn->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF) VALUES (?, ?, 'CUST', '', ?)",
            {code, descr, def != 0});
    Recordset rs;
    rs.ActiveConnection(cn);
    rs.Source(Selection{"PHOTOS", {}, ""});
    rs.Open();
    std::mt19937 random(20261206);
    int cases = 0, accepted = 0;
    for (int i = 0; i < 1500; ++i, ++cases) {
        const std::string criteria = i % 2 ? RandomCriteria(random) : MutatedCriteria(random);
        try {
            rs.MoveFirst();
            rs.Find(criteria);
            if (!rs.EOF()) rs.GetBookmark();
            rs.Filter(criteria);
            EXPECT_LE(rs.RecordCount(), 3) << criteria;
            ++accepted;
        } catch (const Error&) {
        } catch (const std::exception& e) {
            KeepFailingInput("criteria-" + std::to_string(i),
                             Bytes(criteria.begin(), criteria.end()));
        }
        try {
            rs.Filter("");
        } catch (const Error& e) {
            FAIL() << "clearing the filter after '" << criteria << "': " << e.what();
        }
        ASSERT_EQ(rs.RecordCount(), 3) << criteria;
    }
    EXPECT_GT(accepted, 20) << "the mutations should keep some criteria valid";
    EXPECT_LT(accepted, cases);
    RecordProperty("cases", cases);
}

class DescriptionInputs : public PhotoTest {};

std::vector<std::string> OddDescriptions() {
    std::vector<std::string> odd = Split(
        "hardx/inside|../../hardx-escape|..|.|/|\\..\\hardx|hardx/../../..|hard\0x/../up|..../....|"
        "hardx*|hardx?|*.qzr|[a-z]|~|$HOME|`touch hardx-cmd`|  |-rf|line\nbreak|tab\there|%s%n|"
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E|\xCE\x95\xCE\xBB\xCE\xBB|\xF0\x9F\x93\xB7 camera|"
        "caf\xC3\xA9/../..|\xFF\xFE bad utf8"sv);
    odd.insert(odd.end(), {std::string(300, 'x'), std::string(2000, 'y')});
    std::string accents;
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";  // a long name cut inside a letter
    odd.push_back(accents);
    std::mt19937 random(77);
    for (int i = 0; i < 20; ++i) {
        std::string text;
        for (int n = 1 + random() % 40; n > 0; --n) text += "./\\*?\0x\xC3\xA9"[random() % 9];
        odd.push_back(text);
    }
    return odd;
}

// Every entry under `root`, with `root` itself left out.
std::vector<fs::path> Tree(const fs::path& root) {
    std::vector<fs::path> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        entries.push_back(entry.path());
    return entries;
}

TEST_P(DescriptionInputs, PhotoFilesStayDirectlyInThePhotosFolderAndLoadBack) {
    const fs::path outside = fs::path(app).parent_path().parent_path();
    const auto descriptions = OddDescriptions();
    int cases = 0, roundTrips = 0;
    for (std::size_t i = 0; i < descriptions.size(); ++i, ++cases) {
        const std::string code = "C" + std::to_string(i), group = i % 3 ? "CUST" : "../G/..";
        const std::string& description = descriptions[i];
        SCOPED_TRACE("description #" + std::to_string(i));
        const PicturePtr photo = MakePicture(3 + static_cast<int>(i), 4, 0x010203 * (i + 1));
        events.clear();
        {
            auto store = newStore(true);
            store->Init(code, group, "", nullptr, db->connection());
            store->PhotoCode(code);
            store->PhotoDescription(description);
            store->PhotosGroup(group);
            store->OwnerPhoto(photo);
            store->SavePhotoDetails(true);
        }
        const fs::path photos = fs::canonical(photosFolder());
        for (const fs::path& entry : Tree(app)) {
            const fs::path real = fs::canonical(entry);
            if (real == photos) continue;
            EXPECT_EQ(real.parent_path(), photos) << real;
            EXPECT_TRUE(fs::is_regular_file(real)) << real;
        }
        const bool saved = events.errors().empty();
        if (!saved) continue;  // a value the database refuses is reported, not saved
        auto reader = newStore(true);
        reader->Init(code, group, "", nullptr, db->connection());
        reader->LoadData();
        EXPECT_EQ(events.errors(), Lines{});
        EXPECT_EQ(PictureChecksum(*reader->OwnerPhoto()), PictureChecksum(*photo));
        ++roundTrips;
    }
    for (const auto& entry : fs::directory_iterator(outside))
        EXPECT_EQ(entry.path().filename().string().find("hardx"), std::string::npos)
            << entry.path();
    EXPECT_GT(roundTrips, cases / 2);
    RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(Backends, DescriptionInputs, testing::ValuesIn(TestBackends()),
                         BackendName);

class NameInputs : public PhotoTest {};

std::vector<std::string> OddNames() {
    std::vector<std::string> odd = Split(
        "PHOTOS; DROP TABLE VICTIM|PHOTOS\"; DROP TABLE VICTIM; --|VICTIM\" --|PHOTOS' OR '1'='1|"
        "\"PHOTOS\"|[PHOTOS]|`PHOTOS`|PHOTOS--|PHOTOS/*|| |1PHOTOS|PHO TOS|PHO\0TOS|\xC3\xA9|\xFF|"
        "CODE = CODE|pg_catalog.pg_class|sqlite_master|*"sv);
    odd.push_back(std::string(500, 'P'));
    std::mt19937 random(4242);
    for (int i = 0; i < 30; ++i) {
        std::string text;
        for (int n = random() % 20; n >= 0; --n) text += "PHOTS\"';-- ()*.\0\xC3"[random() % 18];
        odd.push_back(text);
    }
    return odd;
}

TEST_P(NameInputs, OddTableAndColumnNamesGiveClearErrorsAndHarmNothing) {
    auto cn = db->connection();
    cn->Execute("CREATE TABLE VICTIM (X INTEGER)");
    cn->Execute("INSERT INTO VICTIM (X) VALUES (?)", {7});
    for (int i = 0; i < 3; ++i)
        cn->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF) VALUES (?, ?, 'CUST', '', ?)",
            {"A1", "row " + std::to_string(i), i == 0});
    const auto before = ReadPhotoRows(cn);
    int cases = 0;
    std::string CPicture::*const fields[] = {&CPicture::TableName, &CPicture::OwnerIDField,
                                             &CPicture::OwnerGroupField, &CPicture::OwnerDescField,
                                             &CPicture::OwnerDefaultPhotoField};
    for (const std::string& name : OddNames()) {
        for (auto field : fields) {
            ++cases;
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
            ++cases;
            try {
                if (asColumn)
                    cn->ExecuteUpdate("PHOTOS", {{name, "changed"}}, {{"CODE", "A1"}});
                else
                    cn->ExecuteUpdate(name, {{"DESCR", "changed"}}, {{"CODE", "A1"}});
                ADD_FAILURE() << "'" << name << "' was accepted";
            } catch (const Error& e) {
                EXPECT_GT(std::string(e.what()).size(), 5u);
            }
            try {
                cn->ExecuteDelete(asColumn ? "PHOTOS" : name, {{asColumn ? name : "CODE", "A1"}});
                ADD_FAILURE() << "'" << name << "' was accepted for a delete";
            } catch (const Error&) {
            }
        }
        ASSERT_TRUE(cn->IsOpen());
    }
    const auto after = ReadPhotoRows(cn);
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i)
        EXPECT_EQ(after[i].description, before[i].description);
    Recordset victim;
    victim.ActiveConnection(cn);
    victim.Source(Selection{"VICTIM", {}, ""});
    victim.Open();
    ASSERT_EQ(victim.RecordCount(), 1);
    EXPECT_EQ(victim.Fields("X").Value().toInt(), 7);
    RecordProperty("cases", cases);
}

INSTANTIATE_TEST_SUITE_P(Backends, NameInputs, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
