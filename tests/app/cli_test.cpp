// The kelvophotos binary run as a user would, on both back ends: table creation, adding,
// listing, exporting, the bulk commands, and exit statuses for bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "platform/files/files.h"
#include "platform/ui/interaction.h"
#include "support/test_db.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

struct RunResult {
    int status;
    std::string out, err;
};

std::string binaryPath() {
    auto self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "app" / "kelvophotos").string();
}

std::string shellQuoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::string& path) {
    Bytes bytes = LocalFileSystem().ReadAll(path);
    return std::string(bytes.begin(), bytes.end());
}

class CliTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(binaryPath())) GTEST_SKIP() << "kelvophotos not built";
        db = std::make_unique<TestDatabase>(GetParam());
        work = TempFolder();
    }
    // The shell command running kelvophotos with `args` in the work folder on the test
    // database, without a display; its output and status go to files named `tag`out, ...
    std::string command(const std::string& args, const std::string& tag = "") {
        return "cd " + shellQuoted(work) +
               " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
               shellQuoted(binaryPath()) + " " + args + " --db " + shellQuoted(db->target()) +
               " --app-path app >" + tag + "out 2>" + tag + "err; echo $? >" + tag + "status";
    }
    RunResult result(const std::string& tag = "") {
        return {std::stoi(slurp(work + tag + "status")), slurp(work + tag + "out"),
                slurp(work + tag + "err")};
    }
    // Runs `args`, expecting `status` and `shown` somewhere in what it printed.
    RunResult expect(const std::string& args, int status, const std::string& shown = "") {
        std::system(command(args).c_str());
        RunResult r = result();
        EXPECT_EQ(r.status, status) << args << "\n" << r.err;
        EXPECT_NE((r.out + r.err).find(shown), std::string::npos) << args << "\n" << r.out << r.err;
        return r;
    }
    // The width and the colour at (3, 3) of the picture file `name`.
    std::pair<int, std::uint32_t> photoOf(const std::string& name) {
        PicturePtr photo = DefaultServices().pictures->LoadPicture(work + name);
        return {photo->PixelWidth(), PixelAt(*photo, 3, 3)};
    }
    void insertUnreadable(const std::string& description) {
        db->connection()->Execute(
            "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
            {"C1", description, "CUST", "-", false, Bytes{'n', 'o', 'p', 'e'}});
    }
    std::unique_ptr<TestDatabase> db;
    std::string work;
};

TEST_P(CliTest, CreateAddListExportAndBadInput) {
    WriteImageFile(work, "front.bmp", "bmp", 40, 30, 0xCC3366);
    WriteImageFile(work, "side.png", "png", 20, 10, 0x33CC66);
    expect("create-table", 0);
    EXPECT_THROW(db->connection()->Execute("INSERT INTO PHOTOS (DESCR, GRP) VALUES ('D', 'G')"),
                 Error)
        << "the key columns are never Null, so the unique key identifies the rows";
    expect("add C1 CUST front.bmp --desc Front --default", 0);
    expect("add C1 CUST side.png --desc Side --comments 'from the side'", 0);
    for (const char* shown : {"1/2", "2/2", "Front", "*", " KB"}) expect("list C1 CUST", 0, shown);

    expect("export C1 CUST default.bmp", 0);
    EXPECT_EQ(photoOf("default.bmp"), std::pair(40, 0xCC3366u));
    expect("export C1 CUST side.bmp --desc Side", 0);
    EXPECT_EQ(photoOf("side.bmp"), std::pair(20, 0x33CC66u));
    expect("search C1 CUST Nope", 1);
    expect("set-default C1 CUST Side", 0);
    expect("search C1 CUST Side", 0, "default");

    // The bulk commands move the photos out and back; extract makes its folder.
    expect("convert-to-files --files photos", 0);
    EXPECT_TRUE(std::filesystem::exists(work + "photos/C1_Front_CUST.qzr"));
    expect("convert-to-blobs --files photos", 0);
    EXPECT_FALSE(std::filesystem::exists(work + "photos/C1_Front_CUST.qzr"));
    expect("export C1 CUST again.bmp --desc Front", 0);
    EXPECT_EQ(photoOf("again.bmp"), std::pair(40, 0xCC3366u));
    db->connection()->Execute(std::string("CREATE TABLE OLDPICS (\"PhotoCode\" TEXT, ") +
                              "\"QualifierPhoto\" " +
                              (GetParam() == "postgresql" ? "BYTEA" : "BLOB") + ", GRP TEXT)");
    db->connection()->Execute("INSERT INTO OLDPICS VALUES (?, ?, ?)", {"P1", Bytes{1, 2}, "CUST"});
    expect("extract OLDPICS CUST new/sub", 0);
    EXPECT_EQ(std::filesystem::file_size(work + "new/sub/P1"), 2u);
    expect("extract OLDPICS CUST new/sub/P1/x", 1);

    // Bad input: a clear line on stderr and the right status. A photo that cannot be written
    // leaves no row behind and the default where it was.
    const std::tuple<const char*, int, const char*> steps[] = {
        {"add C1 CUST front.bmp --desc Front", 1, "Front"},
        {"add C1 CUST nothere.bmp", 1, "nothere.bmp"},
        {"export C9 CUST x.bmp", 1, ""},
        {"add C1 CUST front.bmp --desc Lost --default --files front.bmp/photos", 1, ""},
        {"search C1 CUST Lost", 1, ""},
        {"search C1 CUST Side", 0, "default"},
        {"add C1 CUST front.bmp --desc ''", 0, ""},
        {"add C1 CUST front.bmp --desc ''", 1, ""},  // one file each
        {"delete C1 CUST -", 0, ""},
        {"list C1", 2, ""},
        {"frobnicate", 2, ""},
        {"list C1 CUST --bogus", 2, ""},
        {"list C1 CUST --table NOPE", 1, ""},
        {"convert-to-files --table NOPE --files photos", 1, "cannot read the table NOPE"},
        {"edit C1 CUST", 3, "xvfb-run"},
    };
    for (const auto& [args, status, shown] : steps) expect(args, status, shown);

    // A photo that cannot be read is marked; the others are still listed, and it fails last.
    insertUnreadable("Broken");
    for (const char* shown : {"Front", "unreadable", "1 of 3 photo(s) of C1 could not be read"})
        expect("list C1 CUST", 1, shown);
    expect("delete C1 CUST Broken", 0);
    insertUnreadable("Broken again");
    expect("delete C1 CUST Side", 0);
    expect("delete-owner C1 CUST", 0);
    expect("list C1 CUST", 0, "no photos");
    expect("--help", 0);
}

// Six users add one description to one owner at once, in blob and in file mode: one add
// goes in with its own photo, the others fail clearly and take no other row with them.
TEST_P(CliTest, ParallelAddsOfOneDescriptionLeaveOneRow) {
    expect("create-table", 0);
    for (const std::string files : {"", " --files photos"}) {
        const std::string owner = files.empty() ? "B1" : "F1";
        SCOPED_TRACE(owner);
        std::string script;
        for (int i = 0; i < 6; ++i) {
            const std::string tag = owner + std::to_string(i);
            WriteImageFile(work, tag + ".bmp", "bmp", 9 + i, 7, 0x102030u * (i + 1));
            const std::string add = "add " + owner + " G " + tag + ".bmp --desc Same --default";
            script += "(" + command(add + files, tag) + ") & ";
        }
        std::system((script + "wait").c_str());
        int winner = -1;
        for (int i = 0; i < 6; ++i) {
            const RunResult each = result(owner + std::to_string(i));
            if (each.status == 0) {
                EXPECT_EQ(winner, -1) << "two adds went in";
                winner = i;
            } else {
                EXPECT_EQ(each.status, 1);
                EXPECT_NE(each.err.find("Same"), std::string::npos) << each.err;
            }
        }
        ASSERT_NE(winner, -1) << result(owner + "0").err;
        expect("list " + owner + " G", 0, "1/1");
        expect("export " + owner + " G " + owner + ".bmp" + files, 0);
        EXPECT_EQ(photoOf(owner + ".bmp"), std::pair(9 + winner, 0x102030u * (winner + 1)));
    }
    // A refused add leaves the older row and its photo, also for a group given as "", which
    // the rows hold as "-".
    expect("add W1 '' F10.bmp --desc Weiß --files photos", 0);
    expect("add W1 '' F11.bmp --desc Weiß --files photos", 1);
    expect("export W1 '' w.bmp --files photos", 0);
    EXPECT_EQ(photoOf("w.bmp"), std::pair(9, 0x102030u));
    // An add whose default cannot be marked is rolled back, and takes its file with it.
    db->connection()->Execute(GetParam() == "postgresql"
                                  ? "ALTER TABLE PHOTOS ADD CHECK (NOT DEF) NOT VALID"
                                  : "CREATE TRIGGER NODEF BEFORE UPDATE ON PHOTOS WHEN NEW.DEF "
                                    "BEGIN SELECT RAISE(ABORT, 'no default'); END");
    expect("add W1 '' F11.bmp --desc New --default --files photos", 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(work + "photos"), {}), 2);
}

// Text that is not text is refused before it reaches the table; control characters reach
// the terminal escaped; limits must be finite, not negative, and are shown as given.
TEST_P(CliTest, HostileTextAndNumbers) {
    WriteImageFile(work, "front.bmp", "bmp", 40, 30);
    expect("create-table", 0);
    const std::pair<const char*, const char*> refused[] = {
        {"--desc \"$(printf 'bad\\377\\376')\"", "is not UTF-8 text: 'bad\\xff\\xfe'"},
        {"--desc \"$(printf '\\355\\240\\200')\"", "is not UTF-8 text"},  // a surrogate
        {"--max-kb nan", "--max-kb needs a finite number of 0 or more, not 'nan'"},
        {"--max-kb inf", "not 'inf'"},
        {"--max-kb -1", "not '-1'"},
        {"--max-kb -0", "not '-0'"},
    };
    for (const auto& [args, error] : refused)
        expect("add C1 CUST front.bmp " + std::string(args), 2, error);
    expect("add C1 CUST front.bmp --max-kb 0.5", 1, "over the limit of 0.5 KB");
    expect("add C1 CUST front.bmp --desc \"$(printf 'red\\033[31m\\342\\200\\256Ünï')\"", 0);
    RunResult list = expect("list C1 CUST", 0, "red\\x1b[31m\\u{202e}Ünï");
    EXPECT_EQ(list.out.find('\033'), std::string::npos);
    expect("add C1 CUST front.bmp --desc 写真", 0);
    list = expect("list C1 CUST", 0);
    const std::size_t wide = list.out.find("写真") + std::string("写真").size();
    EXPECT_EQ(list.out.find_first_not_of(' ', wide), wide + 30 - 4 + 1)
        << "写真 takes 4 of the description's 30 columns, and one space comes before the size";
}

INSTANTIATE_TEST_SUITE_P(Backends, CliTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
