// The local file layer on real folders: look-ups, errors with the system's text, temporary
// names, the application folder, and no descriptor left open.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "platform/files/files.h"
#include "support/test_images.h"

namespace kelvo {
namespace {

using test::FailsSaying;

FileSystem& files = LocalFileSystem();

int ModeOf(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// Every case ends with the descriptors it started with.
class Files : public testing::Test {
    static long OpenDescriptors() {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    }
    void TearDown() override { EXPECT_EQ(OpenDescriptors(), before_); }
    const long before_ = OpenDescriptors();
};

TEST_F(Files, ExistenceAndWildcardLookUps) {
    std::string folder = test::TempFolder();
    files.WriteAll(folder + "7_Front_G.qzr", Bytes{1});
    files.WriteAll(folder + "7_Back_G.qzr", Bytes{1, 2});
    files.WriteAll(folder + "8_Side_G.qzr", Bytes{});
    files.CreateFolder(folder + "KelvPhotos");

    EXPECT_TRUE(files.FileExists(folder + "7_Back_G.qzr"));
    EXPECT_FALSE(files.FileExists(folder + "KelvPhotos") || files.FileExists(folder + "none"));
    EXPECT_TRUE(files.FolderExists(folder + "KelvPhotos/"));
    EXPECT_FALSE(files.FolderExists(folder + "7_Back_G.qzr"));
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr"), "7_Back_G.qzr");  // sorted: first by name
    EXPECT_EQ(files.Dir(folder + "?_Side_G.qzr"), "8_Side_G.qzr");
    EXPECT_EQ(files.Dir(folder + "*"), "7_Back_G.qzr");
    EXPECT_EQ(files.Dir(folder + "7_Front_G.qzr"), "7_Front_G.qzr");
    for (const char* none : {"9_*", "??_Side_G.qzr", "Kelv*", "missing/*"})
        EXPECT_EQ(files.Dir(folder + none), "") << none;
    EXPECT_EQ(files.Dir(folder + "Kelv*", DirKind::Folders), "KelvPhotos");
    EXPECT_EQ(files.Dir(folder + "7*", DirKind::Folders), "");
    EXPECT_EQ(files.FileLength(folder + "7_Back_G.qzr"), 2);
    EXPECT_EQ(files.FileLength(folder + "8_Side_G.qzr"), 0);
    EXPECT_THROW(files.FileLength(folder + "none"), Error);

    // A folder left alone long enough is listed once; every later change to it is still seen.
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr"), "7_Back_G.qzr");
    files.WriteAll(folder + "7_Aft_G.qzr", Bytes{1});
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr"), "7_Aft_G.qzr");
    files.Rename(folder + "7_Aft_G.qzr", folder + "7_Top_G.qzr");
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr"), "7_Back_G.qzr");
    files.DeleteFile(folder + "7_Back_G.qzr");
    files.CreateFolder(folder + "7_Back_G.qzr");  // same name, now a folder
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr"), "7_Front_G.qzr");
    EXPECT_EQ(files.Dir(folder + "7_*_G.qzr", DirKind::Folders), "7_Back_G.qzr");
}

TEST_F(Files, ChangesAndTheirErrors) {
    std::string folder = test::TempFolder();
    std::string a = folder + "a.bin", b = folder + "b.bin";
    files.WriteAll(a, Bytes{1, 2, 3});
    files.WriteAll(b, Bytes{9});
    files.Rename(a, b);
    EXPECT_FALSE(files.FileExists(a));
    EXPECT_EQ(files.ReadAll(b), (Bytes{1, 2, 3}));
    EXPECT_TRUE(FailsSaying("No such file or directory", [&] { files.Rename(a, b); }));
    files.DeleteFile(b);
    EXPECT_TRUE(FailsSaying("cannot delete file " + b + ": No such file or directory",
                            [&] { files.DeleteFile(b); }));
    files.CreateFolder(folder + "one");
    EXPECT_TRUE(FailsSaying("File exists", [&] { files.CreateFolder(folder + "one"); }));
    EXPECT_TRUE(FailsSaying("No such file", [&] { files.CreateFolder(folder + "x/y"); }));
    EXPECT_THROW(files.DeleteFile(folder + "one"), Error);
    EXPECT_TRUE(files.FolderExists(folder + "one"));
    EXPECT_TRUE(FailsSaying("cannot open file " + a + ": No such file or directory",
                            [&] { files.OpenRead(a); }));
    EXPECT_THROW(files.OpenRead(folder + "one"), Error);
    EXPECT_THROW(files.OpenWrite(folder + "x/y.bin"), Error);
    files.OpenWrite(folder + "dropped.bin");  // closed when dropped
    // A full disk shows up at the latest when the file is closed.
    EXPECT_TRUE(FailsSaying("No space left on device", [&] {
        auto file = files.OpenWrite("/dev/full");
        Bytes block(8192, 7);
        file->Write(block.data(), block.size());
        file->Close();
    }));
    EXPECT_THROW(files.WriteAll("/dev/full", Bytes(100, 1)), Error);
    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
    files.WriteAll(a, big);
    EXPECT_EQ(files.OpenRead(a)->Length(), 200000);
    EXPECT_EQ(files.ReadAll(a), big);
    files.WriteAll(a, Bytes{5});  // truncates
    EXPECT_EQ(files.FileLength(a), 1);
}

TEST_F(Files, TemporaryNamesAndTheApplicationFolder) {
    const std::string folder = test::TempFolder(), unslashed = folder.substr(0, folder.size() - 1);
    test::ScopedEnv home("HOME", "/home/ann");
    for (auto [name, value, expected] :
         {std::tuple<std::string, const char*, std::string>{"TMPDIR", unslashed.c_str(), folder},
          {"TMPDIR", nullptr, "/tmp/"},
          {"XDG_DATA_HOME", "/srv/data/", "/srv/data/kelvophotos"},
          {"XDG_DATA_HOME", nullptr, "/home/ann/.local/share/kelvophotos"}}) {
        test::ScopedEnv env(name.c_str(), value);
        EXPECT_EQ(name == "TMPDIR" ? files.TempFolder() : AppPath(), expected);
    }
    const std::string first = files.CreateTempFile(folder, "Pix");
    EXPECT_NE(files.CreateTempFile(folder, "Pix"), first);
    EXPECT_EQ(first.rfind(folder + "Pix", 0), 0u) << first;
    EXPECT_EQ(first.substr(folder.size() + 9), ".tmp");  // six letters between
    EXPECT_EQ(std::pair(files.FileLength(first), ModeOf(first)), std::pair(std::int64_t{0}, 0600));
    EXPECT_THROW(files.CreateTempFile(folder + "missing/", "Pix"), Error);

    test::ScopedEnv data("XDG_DATA_HOME", nullptr);
    SetAppPath("/opt/host/");
    EXPECT_EQ(AppPath(), "/opt/host");
    SetAppPath("");
    EXPECT_EQ(AppPath(), "/home/ann/.local/share/kelvophotos");
}

// Temporary files are written and read through their descriptor, and moved into place only
// while their name still leads to them; a link planted at either name is never followed.
TEST_F(Files, TemporaryFilesOnlyThisProcessReaches) {
    const std::string folder = test::TempFolder(), outside = test::TempFolder() + "victim";
    files.WriteAll(outside, Bytes{42});
    const Bytes data{1, 2, 3, 4, 5};
    const auto write = [&](TempFile& file) { file.Write(data.data(), data.size()); };
    {
        auto scratch = files.OpenScratchFile();
        write(*scratch);
        EXPECT_EQ(scratch->Name(), "");
        EXPECT_EQ(scratch->Length(), 5);
        Bytes back(8);
        EXPECT_EQ(scratch->ReadBack()->Read(back.data(), back.size()), 5u);
        EXPECT_THROW(scratch->MoveTo(folder + "x"), Error);
    }
    auto file = files.OpenTempFile(folder, ".kelvo-");
    write(*file);
    EXPECT_EQ(ModeOf(file->Name()), 0600);
    file->MoveTo(folder + "photo.qzr");
    EXPECT_EQ(files.ReadAll(folder + "photo.qzr"), data);
    const mode_t umask = ::umask(0);
    ::umask(umask);
    EXPECT_EQ(ModeOf(folder + "photo.qzr"), 0666 & ~umask);

    // The temporary name swapped for a link, the target a link, the target a folder.
    for (auto [plant, error] : {std::pair{0, "was replaced by another"},
                                {1, "it is a symbolic link"},
                                {2, "it is not a regular file"}}) {
        const std::string target = folder + "t" + std::to_string(plant);
        auto temp = files.OpenTempFile(folder, ".kelvo-");
        write(*temp);
        if (plant == 0) ::unlink(temp->Name().c_str());
        if (plant < 2) ::symlink(outside.c_str(), (plant == 0 ? temp->Name() : target).c_str());
        if (plant == 2) files.CreateFolder(target);
        EXPECT_TRUE(FailsSaying(error, [&] { temp->MoveTo(target); }));
        EXPECT_EQ(files.ReadAll(outside), Bytes{42});
    }
    // Dropped unmoved, a temporary file is gone; a link in its place is not touched.
    const std::string name = files.OpenTempFile(folder, ".kelvo-")->Name();
    EXPECT_FALSE(files.FileExists(name));

    ::symlink(outside.c_str(), (folder + "link.qzr").c_str());
    ::mkfifo((folder + "pipe.qzr").c_str(), 0600);
    for (auto [file, error] :
         {std::pair{"link.qzr", "it is a symbolic link"},
          std::pair{"pipe.qzr", "it is not a regular file"}, std::pair{"", "it is a folder"}}) {
        const std::string path = folder + file;
        EXPECT_TRUE(FailsSaying("cannot open file " + path + ": " + error,
                                [&] { files.OpenRegularFile(path); }));
    }
    EXPECT_EQ(files.OpenRegularFile(folder + "photo.qzr")->Length(), 5);
}

// The first temporary file in a folder sweeps up what a killed run left there: its own
// pattern only, made before this run, and not held by a run still writing it.
TEST_F(Files, LeftoversOfAKilledRunGoTheNextTimeTheFolderIsWritten) {
    const std::string folder = test::TempFolder();
    const auto make = [&](const std::string& name, bool old) {
        files.WriteAll(folder + name, Bytes{1});
        if (old) {
            const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
            ::utimensat(AT_FDCWD, (folder + name).c_str(), times, 0);
        }
        return folder + name;
    };
    const std::string killed = make(".kelvo-abcdef.tmp", true);
    const std::string held = make(".kelvo-mnopqr.tmp", true);
    const int holder = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const std::vector<std::string> kept = {make(".kelvo-ghijkl.tmp", false),
                                           make(".kelvo-photo.qzr", true), held};
    auto temp = files.OpenTempFile(folder, ".kelvo-");
    ::close(holder);
    EXPECT_FALSE(files.FileExists(killed));
    for (const std::string& name : kept) EXPECT_TRUE(files.FileExists(name)) << name;
}

}  // namespace
}  // namespace kelvo
