// The kelvophotos binary run as a user would, on both back ends: table creation, adding,
// listing, exporting, the bulk commands, and exit statuses for bad input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

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

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class CliTest : public testing::TestWithParam<std::string> {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(binaryPath())) GTEST_SKIP() << "kelvophotos not built";
        db = std::make_unique<TestDatabase>(GetParam());
        work = TempFolder();
    }
    // The shell command running kelvophotos with `args` on the test database, without a
    // display; its output and status go to files named `tag`out, `tag`err, `tag`status.
    std::string command(const std::string& args, const std::string& tag = "") {
        return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + quoted(binaryPath()) +
               " " + args + " --db " + quoted(db->target()) + " --app-path " +
               quoted(work + "app") + " >" + quoted(work + tag + "out") + " 2>" +
               quoted(work + tag + "err") + "; echo $? >" + quoted(work + tag + "status");
    }
    RunResult result(const std::string& tag = "") {
        return {std::stoi(slurp(work + tag + "status")), slurp(work + tag + "out"),
                slurp(work + tag + "err")};
    }
    RunResult run(const std::string& args) {
        std::system(command(args).c_str());
        return result();
    }
    std::unique_ptr<TestDatabase> db;
    std::string work;
};

TEST_P(CliTest, CreateAddListExportAndBadInput) {
    const std::string front = WriteImageFile(work, "front.bmp", "bmp", 40, 30, 0xCC3366);
    const std::string side = WriteImageFile(work, "side.png", "png", 20, 10, 0x33CC66);
    ASSERT_EQ(run("create-table").status, 0) << run("create-table").err;
    EXPECT_THROW(db->connection()->Execute("INSERT INTO PHOTOS (DESCR, GRP) VALUES ('D', 'G')"),
                 Error)
        << "the key columns are never Null, so the unique key identifies the rows";
    EXPECT_EQ(run("add C1 CUST " + quoted(front) + " --desc Front --default").status, 0);
    RunResult added =
        run("add C1 CUST " + quoted(side) + " --desc Side --comments 'from the side'");
    EXPECT_EQ(added.status, 0) << added.err;

    RunResult list = run("list C1 CUST");
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_NE(list.out.find("1/2"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("2/2"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("Front"), std::string::npos);
    EXPECT_NE(list.out.find("*"), std::string::npos);
    EXPECT_NE(list.out.find(" KB"), std::string::npos);

    ASSERT_EQ(run("export C1 CUST " + quoted(work + "default.bmp")).status, 0);
    PicturePtr exported = DefaultServices().pictures->LoadPicture(work + "default.bmp");
    EXPECT_EQ(exported->PixelWidth(), 40);
    EXPECT_EQ(PixelAt(*exported, 5, 5), 0xCC3366u);
    ASSERT_EQ(run("export C1 CUST " + quoted(work + "side.bmp") + " --desc Side").status, 0);
    EXPECT_EQ(DefaultServices().pictures->LoadPicture(work + "side.bmp")->PixelWidth(), 20);

    EXPECT_EQ(run("search C1 CUST Side").status, 0);
    EXPECT_EQ(run("search C1 CUST Nope").status, 1);
    EXPECT_EQ(run("set-default C1 CUST Side").status, 0);
    EXPECT_NE(run("search C1 CUST Side").out.find("default"), std::string::npos);

    // The bulk commands move the photos out and back.
    RunResult toFiles = run("convert-to-files --files " + quoted(work + "photos"));
    EXPECT_EQ(toFiles.status, 0) << toFiles.err;
    EXPECT_TRUE(std::filesystem::exists(work + "photos/C1_Front_CUST.qzr"));
    EXPECT_EQ(run("convert-to-blobs --files " + quoted(work + "photos")).status, 0);
    EXPECT_FALSE(std::filesystem::exists(work + "photos/C1_Front_CUST.qzr"));
    EXPECT_EQ(run("export C1 CUST " + quoted(work + "again.bmp") + " --desc Front").status, 0);

    // Bad input: a clear line on stderr and the right status.
    RunResult duplicate = run("add C1 CUST " + quoted(front) + " --desc Front");
    EXPECT_EQ(duplicate.status, 1);
    EXPECT_NE(duplicate.err.find("Front"), std::string::npos);
    RunResult missing = run("add C1 CUST " + quoted(work + "nothere.bmp"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("nothere.bmp"), std::string::npos);
    EXPECT_EQ(run("export C9 CUST " + quoted(work + "x.bmp")).status, 1);
    // A photo that cannot be written leaves no row behind and the default where it was.
    RunResult unwritable = run("add C1 CUST " + quoted(front) + " --desc Lost --default --files " +
                               quoted(front + "/photos"));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(run("search C1 CUST Lost").status, 1);
    EXPECT_NE(run("search C1 CUST Side").out.find("default"), std::string::npos);
    EXPECT_EQ(run("add C1 CUST " + quoted(front) + " --desc ''").status, 0);
    EXPECT_EQ(run("add C1 CUST " + quoted(front) + " --desc ''").status, 1) << "one file each";
    EXPECT_EQ(run("delete C1 CUST -").status, 0);
    EXPECT_EQ(run("list C1").status, 2);
    EXPECT_EQ(run("frobnicate").status, 2);
    EXPECT_EQ(run("list C1 CUST --bogus").status, 2);
    EXPECT_EQ(run("list C1 CUST --table NOPE").status, 1);
    RunResult noTable = run("convert-to-files --table NOPE --files " + quoted(work + "photos"));
    EXPECT_EQ(noTable.status, 1);
    EXPECT_NE(noTable.err.find("cannot read the table NOPE"), std::string::npos) << noTable.err;
    EXPECT_EQ(run("edit C1 CUST").status, 3);
    EXPECT_NE(run("edit C1 CUST").err.find("xvfb-run"), std::string::npos);

    // A photo that cannot be read is marked; the others are still listed, and it fails last.
    db->connection()->Execute(
        "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
        {"C1", "Broken", "CUST", "-", false, Bytes{'n', 'o', 'p', 'e'}});
    RunResult broken = run("list C1 CUST");
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.out.find("Front"), std::string::npos) << broken.out;
    EXPECT_NE(broken.out.find("unreadable"), std::string::npos) << broken.out;
    EXPECT_NE(broken.err.find("1 of 3 photo(s) of C1 could not be read"), std::string::npos);
    EXPECT_EQ(run("delete C1 CUST Broken").status, 0);
    db->connection()->Execute(
        "INSERT INTO PHOTOS (CODE, DESCR, GRP, COMMENTS, DEF, PIC) VALUES (?, ?, ?, ?, ?, ?)",
        {"C1", "Broken again", "CUST", "-", false, Bytes{'n', 'o', 'p', 'e'}});

    EXPECT_EQ(run("delete C1 CUST Side").status, 0);
    EXPECT_EQ(run("delete-owner C1 CUST").status, 0);
    EXPECT_NE(run("list C1 CUST").out.find("no photos"), std::string::npos);
    EXPECT_EQ(run("--help").status, 0);
}

// Text that is not text is refused before it reaches the table; control characters reach
// the terminal escaped; limits must be finite, not negative, and are shown as given.
// Six users add one description to one owner at once, in blob and in file mode: one add
// goes in with its own photo, the others fail clearly and take no other row with them.
TEST_P(CliTest, ParallelAddsOfOneDescriptionLeaveOneRow) {
    ASSERT_EQ(run("create-table").status, 0);
    const std::string folder = work + "photos";
    for (const std::string& files : {std::string(), " --files " + quoted(folder)}) {
        const std::string owner = files.empty() ? "B1" : "F1";
        SCOPED_TRACE(owner);
        std::string script;
        std::vector<std::uint32_t> colours;
        for (int i = 0; i < 6; ++i) {
            colours.push_back(0x102030u * (i + 1));
            const std::string tag = owner + std::to_string(i);
            script += "(" +
                      command("add " + owner + " G " +
                                  quoted(WriteImageFile(work, tag + ".bmp", "bmp", 9 + i, 7,
                                                        colours.back())) +
                                  " --desc Same --default" + files,
                              tag) +
                      ") & ";
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
        Recordset rows;
        rows.ActiveConnection(db->connection());
        rows.Source(Selection{"PHOTOS", {{"CODE", owner}}, ""});
        rows.Open();
        EXPECT_EQ(rows.RecordCount(), 1);
        ASSERT_EQ(run("export " + owner + " G " + quoted(work + owner + ".bmp") + files).status, 0);
        PicturePtr back = DefaultServices().pictures->LoadPicture(work + owner + ".bmp");
        EXPECT_EQ(back->PixelWidth(), 9 + winner);
        EXPECT_EQ(PixelAt(*back, 3, 3), colours[winner]);
    }
    // A refused add leaves the older row and its photo, also for a group given as "", which
    // the rows hold as "-".
    const std::string files = " --files " + quoted(folder);
    ASSERT_EQ(run("add W1 '' " + quoted(work + "F10.bmp") + " --desc Weiß" + files).status, 0);
    EXPECT_EQ(run("add W1 '' " + quoted(work + "F11.bmp") + " --desc Weiß" + files).status, 1);
    ASSERT_EQ(run("export W1 '' " + quoted(work + "w.bmp") + files).status, 0);
    EXPECT_EQ(DefaultServices().pictures->LoadPicture(work + "w.bmp")->PixelWidth(), 9);
    // An add whose default cannot be marked is rolled back, and takes its file with it.
    db->connection()->Execute(GetParam() == "postgresql"
                                  ? "ALTER TABLE PHOTOS ADD CHECK (NOT DEF) NOT VALID"
                                  : "CREATE TRIGGER NODEF BEFORE UPDATE ON PHOTOS WHEN NEW.DEF "
                                    "BEGIN SELECT RAISE(ABORT, 'no default'); END");
    EXPECT_EQ(run("add W1 '' " + quoted(work + "F11.bmp") + " --desc New --default" + files).status,
              1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
}

TEST_P(CliTest, HostileTextAndNumbers) {
    const std::string front = quoted(WriteImageFile(work, "front.bmp", "bmp", 40, 30));
    ASSERT_EQ(run("create-table").status, 0);
    struct Refused {
        const char* args;
        const char* error;
    };
    for (const Refused& refused : {
             Refused{"--desc \"$(printf 'bad\\377\\376')\"", "is not UTF-8 text: 'bad\\xff\\xfe'"},
             Refused{"--desc \"$(printf '\\355\\240\\200')\"", "is not UTF-8 text"},  // a surrogate
             Refused{"--max-kb nan", "--max-kb needs a finite number of 0 or more, not 'nan'"},
             Refused{"--max-kb inf", "not 'inf'"},
             Refused{"--max-kb -1", "not '-1'"},
             Refused{"--max-kb -0", "not '-0'"},
         }) {
        RunResult result = run("add C1 CUST " + front + " " + refused.args);
        EXPECT_EQ(result.status, 2) << refused.args;
        EXPECT_NE(result.err.find(refused.error), std::string::npos) << result.err;
    }
    RunResult over = run("add C1 CUST " + front + " --max-kb 0.5");
    EXPECT_EQ(over.status, 1);
    EXPECT_NE(over.err.find("over the limit of 0.5 KB"), std::string::npos) << over.err;

    ASSERT_EQ(run("add C1 CUST " + front + " --desc \"$(printf 'red\\033[31m\\342\\200\\256Ünï')\"")
                  .status,
              0);
    RunResult list = run("list C1 CUST");
    EXPECT_NE(list.out.find("red\\x1b[31m\\u{202e}Ünï"), std::string::npos) << list.out;
    EXPECT_EQ(list.out.find('\033'), std::string::npos);
}

TEST_P(CliTest, ExtractMakesItsFolder) {
    const bool pg = GetParam() == "postgresql";
    db->connection()->Execute(std::string("CREATE TABLE OLDPICS (\"PhotoCode\" TEXT, ") +
                              "\"QualifierPhoto\" " + (pg ? "BYTEA" : "BLOB") + ", GRP TEXT)");
    db->connection()->Execute("INSERT INTO OLDPICS VALUES (?, ?, ?)", {"P1", Bytes{1, 2}, "CUST"});
    RunResult extracted = run("extract OLDPICS CUST " + quoted(work + "new/sub"));
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(std::filesystem::file_size(work + "new/sub/P1"), 2u);
    EXPECT_EQ(run("extract OLDPICS CUST " + quoted(work + "new/sub/P1/x")).status, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, CliTest, testing::ValuesIn(TestBackends()), BackendName);

}  // namespace
}  // namespace kelvo::test
