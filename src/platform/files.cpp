// The real file layer on POSIX: files, folders, wildcard look-ups, temporary names and the
// application folder. Every failure carries the system's own error text.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace kelvo {

namespace {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error) {
    throw Error(what + " " + path + ": " + std::strerror(error));
}

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
    return folder;
}

std::string WithoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    return folder;
}

// `*` matches any run of characters, `?` any one; everything else matches itself.
bool MatchesWildcards(const char* pattern, const char* name) {
    const char* starPattern = nullptr;
    const char* starName = nullptr;
    while (*name) {
        if (*pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == '?' || *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

bool StatIs(const std::string& path, mode_t type) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
}

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Release(); }
    int get() const { return fd_; }
    // Closes now and returns close()'s error number (0 on success).
    int Release() {
        if (fd_ < 0) return 0;
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

class LocalInputFile : public InputFile {
  public:
    LocalInputFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

    std::int64_t Length() override {
        struct stat info;
        if (::fstat(fd_.get(), &info) != 0) ThrowSystemError("cannot read file", path_, errno);
        return info.st_size;
    }

    std::size_t Read(std::uint8_t* out, std::size_t size) override {
        for (;;) {
            ssize_t got = ::read(fd_.get(), out, size);
            if (got >= 0) return static_cast<std::size_t>(got);
            if (errno != EINTR) ThrowSystemError("cannot read file", path_, errno);
        }
    }

  private:
    FileDescriptor fd_;
    std::string path_;
};

class LocalOutputFile : public OutputFile {
  public:
    LocalOutputFile(int fd, std::string path, bool durable)
        : fd_(fd), path_(std::move(path)), durable_(durable) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (fd_.get() < 0) throw Error("cannot write file " + path_ + ": already closed");
        while (size > 0) {
            ssize_t put = ::write(fd_.get(), data, size);
            if (put < 0) {
                if (errno == EINTR) continue;
                ThrowSystemError("cannot write file", path_, errno);
            }
            data += put;
            size -= static_cast<std::size_t>(put);
        }
    }

    void Close() override {
        if (fd_.get() < 0) return;
        int syncError = !durable_ || ::fsync(fd_.get()) == 0 ? 0 : errno;
        int closeError = fd_.Release();
        // Some file systems (pipes, /dev/null) cannot sync; that is not a lost write.
        if (syncError != 0 && syncError != EINVAL && syncError != EROFS)
            ThrowSystemError("cannot write file", path_, syncError);
        if (closeError != 0) ThrowSystemError("cannot write file", path_, closeError);
    }

  private:
    FileDescriptor fd_;
    std::string path_;
    bool durable_;  // synced on Close; scratch files in the temporary folder are not
};

// Six letters or digits that no other call in any process is likely to draw.
std::string uniqueSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string suffix(6, ' ');
    for (char& c : suffix) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return suffix;
}

// A folder's names, sorted, kept while the folder is unchanged: showing each photo of a
// folder holding many thousands would otherwise list them all every time. A listing is
// trusted only while the folder's change times stay the same, and only once they are older
// than any file system's timestamp step, so a change made in the same step is never missed.
class FolderListings {
  public:
    using Names = std::shared_ptr<const std::vector<std::string>>;

    // Every name in `folder` but "." and ".."; nullptr when it cannot be listed.
    Names Of(const std::string& folder) {
        struct stat info;
        if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
        std::lock_guard lock(mutex_);
        auto known = listings_.find(folder);
        if (known != listings_.end() && known->second.SameFolder(info)) return known->second.names;

        Names names = Read(folder);
        if (names && Settled(info) && names->size() <= kMaxKeptNames) {
            if (listings_.size() >= kMaxKeptFolders) listings_.clear();
            listings_[folder] = Listing{info, names};
        } else {
            listings_.erase(folder);
        }
        return names;
    }

  private:
    static constexpr std::size_t kMaxKeptFolders = 16;
    static constexpr std::size_t kMaxKeptNames = 1000000;
    static constexpr time_t kTimestampStepSeconds = 2;  // FAT's; most are far finer

    struct Listing {
        struct stat info;
        Names names;
        bool SameFolder(const struct stat& now) const {
            auto same = [](const timespec& a, const timespec& b) {
                return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
            };
            return info.st_dev == now.st_dev && info.st_ino == now.st_ino &&
                   same(info.st_mtim, now.st_mtim) && same(info.st_ctim, now.st_ctim);
        }
    };

    static bool Settled(const struct stat& info) {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME, &now);
        const time_t changed = std::max(info.st_mtim.tv_sec, info.st_ctim.tv_sec);
        return now.tv_sec - changed > kTimestampStepSeconds;
    }

    static Names Read(const std::string& folder) {
        DIR* listing = ::opendir(folder.c_str());
        if (!listing) return nullptr;
        auto names = std::make_shared<std::vector<std::string>>();
        while (const dirent* entry = ::readdir(listing)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names->push_back(std::move(name));
        }
        ::closedir(listing);
        std::sort(names->begin(), names->end());
        return names;
    }

    std::mutex mutex_;
    std::map<std::string, Listing> listings_;
};

class PosixFileSystem : public FileSystem {
  public:
    bool FileExists(const std::string& path) override { return StatIs(path, S_IFREG); }

    bool FolderExists(const std::string& path) override { return StatIs(path, S_IFDIR); }

    std::string Dir(const std::string& pattern, DirKind kind) override {
        auto cut = pattern.rfind(kPathSeparator);
        std::string folder = cut == std::string::npos ? "." : pattern.substr(0, cut + 1);
        std::string namePattern = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
        if (namePattern.empty()) return "";

        FolderListings::Names names = listings_.Of(folder);
        if (!names) return "";
        // Names are sorted, so the matches start at the pattern's literal beginning and the
        // first one of the kind asked for is the answer.
        const std::string prefix = namePattern.substr(0, namePattern.find_first_of("*?"));
        for (auto it = std::lower_bound(names->begin(), names->end(), prefix);
             it != names->end() && it->compare(0, prefix.size(), prefix) == 0; ++it) {
            if (!MatchesWildcards(namePattern.c_str(), it->c_str())) continue;
            const std::string full = WithTrailingSeparator(folder) + *it;
            if (kind == DirKind::Files ? FileExists(full) : FolderExists(full)) return *it;
        }
        return "";
    }

    void DeleteFile(const std::string& path) override {
        if (FolderExists(path)) throw Error("cannot delete file " + path + ": it is a folder");
        if (::unlink(path.c_str()) != 0) ThrowSystemError("cannot delete file", path, errno);
    }

    void CreateFolder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) != 0) ThrowSystemError("cannot create folder", path, errno);
    }

    std::int64_t FileLength(const std::string& path) override {
        struct stat info;
        if (::stat(path.c_str(), &info) != 0) ThrowSystemError("cannot measure file", path, errno);
        if (!S_ISREG(info.st_mode)) throw Error("cannot measure file " + path + ": not a file");
        return info.st_size;
    }

    void Rename(const std::string& from, const std::string& to) override {
        if (std::rename(from.c_str(), to.c_str()) != 0)
            ThrowSystemError("cannot rename file " + from + " to", to, errno);
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) ThrowSystemError("cannot open file", path, errno);
        auto file = std::make_unique<LocalInputFile>(fd, path);
        struct stat info;
        if (::fstat(fd, &info) != 0) ThrowSystemError("cannot open file", path, errno);
        if (S_ISDIR(info.st_mode)) ThrowSystemError("cannot open file", path, EISDIR);
        return file;
    }

    std::unique_ptr<OutputFile> OpenWrite(const std::string& path) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) ThrowSystemError("cannot open file", path, errno);
        // Scratch files die with the operation that made them: a sync buys nothing there
        // and costs most of the time of a photo round trip.
        const std::string temp = TempFolder();
        const bool scratch = path.compare(0, temp.size(), temp) == 0;
        return std::make_unique<LocalOutputFile>(fd, path, !scratch);
    }

    std::string TempFolder() override {
        const char* tmpdir = std::getenv("TMPDIR");
        return WithTrailingSeparator(tmpdir && *tmpdir ? tmpdir : "/tmp");
    }

    // Made as any new file is, 0666 less the umask, rather than mkstemp's 0600: it is renamed
    // into place as a photo file that the other users of a shared photos folder must read.
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override {
        const std::string base = folder.empty() ? "" : WithTrailingSeparator(folder);
        int error = EEXIST;
        for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
            const std::string name = base + prefix + uniqueSuffix() + ".tmp";
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
                return name;
            }
            error = errno;
        }
        ThrowSystemError("cannot create a temporary file in", base, error);
    }

  private:
    FolderListings listings_;
};

std::mutex appPathMutex;
std::string appPathOverride;

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) return user->pw_dir;
    return "/tmp";
}

}  // namespace

Bytes FileSystem::ReadAll(const std::string& path) {
    auto file = OpenRead(path);
    Bytes bytes;
    bytes.reserve(static_cast<std::size_t>(std::max<std::int64_t>(file->Length(), 0)));
    std::uint8_t chunk[65536];
    while (std::size_t got = file->Read(chunk, sizeof chunk))
        bytes.insert(bytes.end(), chunk, chunk + got);
    return bytes;
}

void FileSystem::WriteAll(const std::string& path, const Bytes& bytes) {
    auto file = OpenWrite(path);
    file->Write(bytes.data(), bytes.size());
    file->Close();
}

FileSystem& LocalFileSystem() {
    static PosixFileSystem files;
    return files;
}

std::string AppPath() {
    std::lock_guard lock(appPathMutex);
    if (!appPathOverride.empty()) return appPathOverride;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    std::string base = dataHome && dataHome[0] == '/' ? dataHome : HomeFolder() + "/.local/share";
    return WithoutTrailingSeparators(base) + "/kelvophotos";
}

void SetAppPath(const std::string& folder) {
    std::lock_guard lock(appPathMutex);
    appPathOverride = WithoutTrailingSeparators(folder);
}

}  // namespace kelvo
