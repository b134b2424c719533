// The local file layer on real folders: look-ups, errors with the system's text, temporary
// names, the application folder, and no descriptor left open.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdlib.h>
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

FileSystem& Files() {
    return LocalFileSystem();
}

std::string ErrorText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

int ModeOf(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

int CurrentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<int>(mask);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { hadOld_ ? ::setenv(name_, old_.c_str(), 1) : ::unsetenv(name_); }

  private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(Files, ExistenceAndWildcardLookUps) {
    std::string folder = test::TempFolder();
    Files().WriteAll(folder + "7_Front_G.qzr", Bytes{1});
    Files().WriteAll(folder + "7_Back_G.qzr", Bytes{1, 2});
    Files().WriteAll(folder + "8_Side_G.qzr", Bytes{});
    Files().CreateFolder(folder + "KelvPhotos");

    EXPECT_TRUE(Files().FileExists(folder + "7_Back_G.qzr"));
    EXPECT_FALSE(Files().FileExists(folder + "KelvPhotos"));
    EXPECT_FALSE(Files().FileExists(folder + "none"));
    EXPECT_TRUE(Files().FolderExists(folder + "KelvPhotos"));
    EXPECT_TRUE(Files().FolderExists(folder + "KelvPhotos/"));
    EXPECT_FALSE(Files().FolderExists(folder + "7_Back_G.qzr"));

    EXPECT_EQ(Files().Dir(folder + "7_*_G.qzr"), "7_Back_G.qzr");  // sorted: first by name
    EXPECT_EQ(Files().Dir(folder + "?_Side_G.qzr"), "8_Side_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "*"), "7_Back_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "7_Front_G.qzr"), "7_Front_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "9_*"), "");
    EXPECT_EQ(Files().Dir(folder + "??_Side_G.qzr"), "");
    EXPECT_EQ(Files().Dir(folder + "Kelv*"), "");
    EXPECT_EQ(Files().Dir(folder + "Kelv*", DirKind::Folders), "KelvPhotos");
    EXPECT_EQ(Files().Dir(folder + "KelvPhotos", DirKind::Folders), "KelvPhotos");
    EXPECT_EQ(Files().Dir(folder + "7*", DirKind::Folders), "");
    EXPECT_EQ(Files().Dir(folder + "missing/*"), "");

    EXPECT_EQ(Files().FileLength(folder + "7_Back_G.qzr"), 2);
    EXPECT_EQ(Files().FileLength(folder + "8_Side_G.qzr"), 0);
    EXPECT_THROW(Files().FileLength(folder + "none"), Error);
}

// A folder left alone long enough is listed once; every later change to it is still seen.
TEST(Files, WildcardLookUpsFollowChangesToASettledFolder) {
    std::string folder = test::TempFolder();
    Files().WriteAll(folder + "A1_Side_G.qzr", Bytes{1});
    Files().WriteAll(folder + "B2_Front_G.qzr", Bytes{1});
    std::this_thread::sleep_for(std::chrono::milliseconds(3100));
    EXPECT_EQ(Files().Dir(folder + "A1_*.qzr"), "A1_Side_G.qzr");

    Files().WriteAll(folder + "A1_Back_G.qzr", Bytes{1});
    EXPECT_EQ(Files().Dir(folder + "A1_*.qzr"), "A1_Back_G.qzr");
    Files().Rename(folder + "A1_Back_G.qzr", folder + "A1_Top_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "A1_*.qzr"), "A1_Side_G.qzr");
    Files().DeleteFile(folder + "A1_Side_G.qzr");
    Files().CreateFolder(folder + "A1_Side_G.qzr");  // same name, now a folder
    EXPECT_EQ(Files().Dir(folder + "A1_*.qzr"), "A1_Top_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "A1_*.qzr", DirKind::Folders), "A1_Side_G.qzr");
    EXPECT_EQ(Files().Dir(folder + "B?_*"), "B2_Front_G.qzr");
}

TEST(Files, ChangesAndTheirErrors) {
    std::string folder = test::TempFolder();
    std::string a = folder + "a.bin", b = folder + "b.bin";
    Files().WriteAll(a, Bytes{1, 2, 3});
    Files().WriteAll(b, Bytes{9});
    Files().Rename(a, b);
    EXPECT_FALSE(Files().FileExists(a));
    EXPECT_EQ(Files().ReadAll(b), (Bytes{1, 2, 3}));
    EXPECT_NE(ErrorText([&] { Files().Rename(a, b); }).find("No such file or directory"),
              std::string::npos);

    Files().DeleteFile(b);
    EXPECT_FALSE(Files().FileExists(b));
    EXPECT_EQ(ErrorText([&] { Files().DeleteFile(b); }),
              "cannot delete file " + b + ": No such file or directory");

    Files().CreateFolder(folder + "one");
    EXPECT_NE(ErrorText([&] { Files().CreateFolder(folder + "one"); }).find("File exists"),
              std::string::npos);
    EXPECT_NE(ErrorText([&] { Files().CreateFolder(folder + "x/y"); }).find("No such file"),
              std::string::npos);
    EXPECT_NE(ErrorText([&] { Files().DeleteFile(folder + "one"); }), "");
    EXPECT_TRUE(Files().FolderExists(folder + "one"));

    EXPECT_EQ(ErrorText([&] { Files().OpenRead(a); }),
              "cannot open file " + a + ": No such file or directory");
    EXPECT_NE(ErrorText([&] { Files().OpenRead(folder + "one"); }), "");
    EXPECT_NE(ErrorText([&] { Files().OpenWrite(folder + "x/y.bin"); }), "");

    // A full disk shows up at the latest when the file is closed.
    EXPECT_NE(ErrorText([&] {
                  auto file = Files().OpenWrite("/dev/full");
                  Bytes block(8192, 7);
                  file->Write(block.data(), block.size());
                  file->Close();
              }).find("No space left on device"),
              std::string::npos);

    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 31);
    Files().WriteAll(a, big);
    auto input = Files().OpenRead(a);
    EXPECT_EQ(input->Length(), 200000);
    EXPECT_EQ(Files().ReadAll(a), big);
    Files().WriteAll(a, Bytes{5});  // truncates
    EXPECT_EQ(Files().FileLength(a), 1);
}

TEST(Files, TemporaryNames) {
    std::string folder = test::TempFolder();
    {
        ScopedEnv tmpdir("TMPDIR", folder.substr(0, folder.size() - 1).c_str());
        EXPECT_EQ(Files().TempFolder(), folder);
    }
    {
        ScopedEnv tmpdir("TMPDIR", nullptr);
        EXPECT_EQ(Files().TempFolder(), "/tmp/");
    }
    std::string first = Files().CreateTempFile(folder, "Pix");
    std::string second = Files().CreateTempFile(folder, "Pix");
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(folder + "Pix", 0), 0u) << name;
        EXPECT_EQ(name.size(), folder.size() + 3 + 6 + 4);
        EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
        EXPECT_TRUE(Files().FileExists(name));
        EXPECT_EQ(Files().FileLength(name), 0);
        EXPECT_EQ(ModeOf(name), 0600);
    }
    EXPECT_THROW(Files().CreateTempFile(folder + "missing/", "Pix"), Error);
}

// Temporary files are written and read through their descriptor, and moved into place only
// while their name still leads to them; a link planted at either name is never followed.
TEST(Files, TemporaryFilesOnlyThisProcessReaches) {
    const std::string folder = test::TempFolder(), outside = test::TempFolder() + "victim";
    Files().WriteAll(outside, Bytes{42});
    const Bytes data{1, 2, 3, 4, 5};
    const auto write = [&](TempFile& file) { file.Write(data.data(), data.size()); };
    {
        auto scratch = Files().OpenScratchFile();
        write(*scratch);
        EXPECT_EQ(scratch->Name(), "");
        EXPECT_EQ(scratch->Length(), 5);
        Bytes back(8);
        EXPECT_EQ(scratch->ReadBack()->Read(back.data(), back.size()), 5u);
        EXPECT_THROW(scratch->MoveTo(folder + "x"), Error);
    }
    auto file = Files().OpenTempFile(folder, ".kelvo-");
    write(*file);
    EXPECT_EQ(ModeOf(file->Name()), 0600);
    file->MoveTo(folder + "photo.qzr");
    EXPECT_EQ(Files().ReadAll(folder + "photo.qzr"), data);
    EXPECT_EQ(ModeOf(folder + "photo.qzr"), 0666 & ~CurrentUmask());

    struct Attack {
        const char* what;
        std::function<void(const std::string& temp, const std::string& target)> plant;
        const char* error;
    };
    const Attack attacks[] = {
        {"temporary name swapped for a link",
         [&](const std::string& temp, const std::string&) {
             ::unlink(temp.c_str());
             ASSERT_EQ(::symlink(outside.c_str(), temp.c_str()), 0);
         },
         "was replaced by another"},
        {"target is a link",
         [&](const std::string&, const std::string& target) {
             ASSERT_EQ(::symlink(outside.c_str(), target.c_str()), 0);
         },
         "it is a symbolic link"},
        {"target is a folder",
         [&](const std::string&, const std::string& target) { Files().CreateFolder(target); },
         "it is not a regular file"},
    };
    int n = 0;
    for (const Attack& attack : attacks) {
        SCOPED_TRACE(attack.what);
        const std::string target = folder + "t" + std::to_string(++n);
        auto temp = Files().OpenTempFile(folder, ".kelvo-");
        write(*temp);
        attack.plant(temp->Name(), target);
        EXPECT_NE(ErrorText([&] { temp->MoveTo(target); }).find(attack.error), std::string::npos);
        EXPECT_EQ(Files().ReadAll(outside), Bytes{42});
    }
    // Dropped unmoved, a temporary file is gone; a link in its place is not touched.
    const std::string name = Files().OpenTempFile(folder, ".kelvo-")->Name();
    EXPECT_FALSE(Files().FileExists(name));

    ::symlink(outside.c_str(), (folder + "link.qzr").c_str());
    ::mkfifo((folder + "pipe.qzr").c_str(), 0600);
    for (auto [file, error] :
         {std::pair{"link.qzr", "it is a symbolic link"},
          std::pair{"pipe.qzr", "it is not a regular file"}, std::pair{"", "it is a folder"}}) {
        const std::string path = folder + file;
        EXPECT_EQ(ErrorText([&] { Files().OpenRegularFile(path); }),
                  "cannot open file " + path + ": " + error);
    }
    EXPECT_EQ(Files().OpenRegularFile(folder + "photo.qzr")->Length(), 5);
}

// The first temporary file in a folder sweeps up what a killed run left there: its own
// pattern only, made before this run, and not held by a run still writing it.
TEST(Files, LeftoversOfAKilledRunGoTheNextTimeTheFolderIsWritten) {
    const std::string folder = test::TempFolder();
    const auto make = [&](const std::string& name, bool old) {
        Files().WriteAll(folder + name, Bytes{1});
        if (old) {
            const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
            ::utimensat(AT_FDCWD, (folder + name).c_str(), times, 0);
        }
        return folder + name;
    };
    const std::string killed = make(".kelvo-abcdef.tmp", true);
    const std::string fresh = make(".kelvo-ghijkl.tmp", false);
    const std::string other = make(".kelvo-photo.qzr", true);
    const std::string held = make(".kelvo-mnopqr.tmp", true);
    const int holder = ::open(held.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    auto temp = Files().OpenTempFile(folder, ".kelvo-");
    ::close(holder);
    EXPECT_FALSE(Files().FileExists(killed));
    for (const std::string& kept : {fresh, other, held}) EXPECT_TRUE(Files().FileExists(kept));
}

TEST(Files, ApplicationFolder) {
    {
        ScopedEnv data("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(AppPath(), "/srv/data/kelvophotos");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/ann");
        EXPECT_EQ(AppPath(), "/home/ann/.local/share/kelvophotos");
        SetAppPath("/opt/host/");
        EXPECT_EQ(AppPath(), "/opt/host");
        SetAppPath("");
        EXPECT_EQ(AppPath(), "/home/ann/.local/share/kelvophotos");
    }
}

TEST(Files, LeavesNoDescriptorOpen) {
    std::string folder = test::TempFolder();
    int before = OpenDescriptors();
    for (int i = 0; i < 20; ++i) {
        Files().WriteAll(folder + "f.bin", Bytes{1, 2});
        Files().ReadAll(folder + "f.bin");
        Files().Dir(folder + "*.bin");
        Files().CreateTempFile(folder, "Pix");
        Files().OpenTempFile(folder, "Pix")->MoveTo(folder + "moved.bin");
        Files().OpenScratchFile()->ReadBack();
        ErrorText([&] { Files().OpenRegularFile(folder); });
        { auto unclosed = Files().OpenWrite(folder + "g.bin"); }
        ErrorText([&] { Files().OpenRead(folder + "none"); });
        ErrorText([&] { Files().OpenRead(folder); });
        ErrorText([&] { Files().WriteAll("/dev/full", Bytes(100, 1)); });
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace kelvo
