// The real file layer on POSIX: files, folders, wildcard look-ups, temporary names and the
// application folder. Every failure carries the system's own error text.
#include "platform/files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <vector>

namespace kelvo {

std::string WithTrailingSeparator(std::string folder) {
    if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
    return folder;
}

std::string WithoutTrailingSeparators(std::string folder) {
    while (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
    return folder;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error) {
    throw Error(what + " " + path + ": " + std::strerror(error));
}

// `*` matches any run of characters, `?` any one; everything else matches itself.
bool matchesWildcards(const char* pattern, const char* name) {
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

bool statIs(const std::string& path, mode_t type) {
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
            ssize_t got = ::pread(fd_.get(), out, size, offset_);
            if (got < 0 && errno == ESPIPE) got = ::read(fd_.get(), out, size);  // a pipe
            if (got >= 0) {
                offset_ += got;
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) ThrowSystemError("cannot read file", path_, errno);
        }
    }

  private:
    FileDescriptor fd_;
    std::string path_;
    off_t offset_ = 0;  // its own, so a descriptor shared with a writer reads from the start
};

void writeAllTo(int fd, const std::uint8_t* data, std::size_t size, const std::string& path) {
    while (size > 0) {
        ssize_t put = ::write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            ThrowSystemError("cannot write file", path, errno);
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
}

// fsync's error, except where a file system cannot sync (pipes, /dev/null): no lost write.
int syncFailure(int fd) {
    if (::fsync(fd) == 0) return 0;
    return errno == EINVAL || errno == EROFS ? 0 : errno;
}

class LocalOutputFile : public OutputFile {
  public:
    LocalOutputFile(int fd, std::string path, bool durable)
        : fd_(fd), path_(std::move(path)), durable_(durable) {}

    void Write(const std::uint8_t* data, std::size_t size) override {
        if (fd_.get() < 0) throw Error("cannot write file " + path_ + ": already closed");
        writeAllTo(fd_.get(), data, size, path_);
    }

    void Close() override {
        if (fd_.get() < 0) return;
        int syncError = durable_ ? syncFailure(fd_.get()) : 0;
        int closeError = fd_.Release();
        if (syncError != 0) ThrowSystemError("cannot write file", path_, syncError);
        if (closeError != 0) ThrowSystemError("cannot write file", path_, closeError);
    }

  private:
    FileDescriptor fd_;
    std::string path_;
    bool durable_;  // synced on Close; scratch files in the temporary folder are not
};

// Temporary names are "<prefix>XXXXXX.tmp": made here, recognised again by the leftover sweep.
constexpr std::size_t kUniqueSuffixLength = 6;
constexpr std::string_view kTempExtension = ".tmp";

// Six letters or digits that no other call in any process is likely to draw.
std::string uniqueSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string suffix(kUniqueSuffixLength, ' ');
    for (char& c : suffix) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
    return suffix;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `path` is, without following a link, the very file open as `fd`.
bool nameLeadsTo(const std::string& path, int fd) {
    struct stat named, open;
    return ::lstat(path.c_str(), &named) == 0 && S_ISREG(named.st_mode) &&
           ::fstat(fd, &open) == 0 && sameFile(named, open);
}

// 0666 less the umask: a photo file must be readable by the other users of a shared folder.
mode_t sharedFileMode() {
    static const mode_t mode = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        mode_t mask = 022;
        while (std::getline(status, line))
            if (line.compare(0, 6, "Umask:") == 0)
                mask = std::strtoul(line.c_str() + 6, nullptr, 8);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

// Opens a new file of a unique name in `base` for reading and writing, mode 0600, never
// through a link; it is locked while open so that no other run takes it for a leftover.
int createUniqueFile(const std::string& base, const std::string& prefix, std::string& name) {
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        name = base + prefix + uniqueSuffix() + std::string(kTempExtension);
        const int fd =
            ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        error = errno;
    }
    ThrowSystemError("cannot create a temporary file in", base, error);
}

class LocalTempFile : public TempFile {
  public:
    LocalTempFile(int fd, std::string name, bool durable)
        : fd_(fd),
          name_(std::move(name)),
          shownName_(name_.empty() ? "(scratch)" : name_),
          durable_(durable) {}

    ~LocalTempFile() override {
        if (!moved_ && !name_.empty() && fd_.get() >= 0 && nameLeadsTo(name_, fd_.get()))
            ::unlink(name_.c_str());
    }

    const std::string& Name() const override { return name_; }

    void Write(const std::uint8_t* data, std::size_t size) override {
        writeAllTo(open(), data, size, shownName_);
    }

    void Close() override {}  // closed by MoveTo or when dropped

    std::int64_t Length() override {
        struct stat info;
        if (::fstat(open(), &info) != 0) ThrowSystemError("cannot read file", shownName_, errno);
        return info.st_size;
    }

    std::unique_ptr<InputFile> ReadBack() override {
        const int copy = ::fcntl(open(), F_DUPFD_CLOEXEC, 0);
        if (copy < 0) ThrowSystemError("cannot read file", shownName_, errno);
        return std::make_unique<LocalInputFile>(copy, shownName_);
    }

    void MoveTo(const std::string& path) override {
        const int fd = open();
        if (name_.empty()) throw Error("cannot rename a scratch file to " + path);
        if (int error = durable_ ? syncFailure(fd) : 0)
            ThrowSystemError("cannot write file", path, error);
        if (::fchmod(fd, sharedFileMode()) != 0) ThrowSystemError("cannot write file", path, errno);
        struct stat target;
        if (::lstat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
            throw Error(
                "cannot replace " + path + ": " +
                (S_ISLNK(target.st_mode) ? "it is a symbolic link" : "it is not a regular file"));
        if (!nameLeadsTo(name_, fd))
            throw Error("cannot write file " + path + ": its temporary file " + name_ +
                        " was replaced by another");
        if (std::rename(name_.c_str(), path.c_str()) != 0)
            ThrowSystemError("cannot rename file " + name_ + " to", path, errno);
        moved_ = true;
        if (!nameLeadsTo(path, fd))
            throw Error("cannot write file " + path + ": it was replaced while being put in place");
        if (int error = fd_.Release()) ThrowSystemError("cannot write file", path, error);
    }

  private:
    int open() const {
        if (fd_.get() < 0) throw Error("cannot use file " + shownName_ + ": already closed");
        return fd_.get();
    }

    FileDescriptor fd_;
    std::string name_;
    std::string shownName_;
    bool durable_;
    bool moved_ = false;
};

const time_t kRunStarted = std::time(nullptr);

// Removes `folder`'s files "<prefix>XXXXXX.tmp" that a killed run left: this user's, made
// before this run began, and not locked by a run still writing them.
void removeLeftovers(const std::string& folder, const std::string& prefix) {
    DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!listing) return;
    const std::size_t nameLength = prefix.size() + kUniqueSuffixLength + kTempExtension.size();
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() != nameLength || name.compare(0, prefix.size(), prefix) != 0 ||
            !name.ends_with(kTempExtension))
            continue;
        const std::string path = folder + name;
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid() || info.st_mtime >= kRunStarted)
            continue;
        FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
            nameLeadsTo(path, fd.get()))
            ::unlink(path.c_str());
    }
    ::closedir(listing);
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
    bool FileExists(const std::string& path) override { return statIs(path, S_IFREG); }

    bool FolderExists(const std::string& path) override { return statIs(path, S_IFDIR); }

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
            if (!matchesWildcards(namePattern.c_str(), it->c_str())) continue;
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

    std::unique_ptr<InputFile> OpenRegularFile(const std::string& path) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && errno == ELOOP)
            throw Error("cannot open file " + path + ": it is a symbolic link");
        if (fd < 0) ThrowSystemError("cannot open file", path, errno);
        auto file = std::make_unique<LocalInputFile>(fd, path);
        struct stat info;
        if (::fstat(fd, &info) != 0) ThrowSystemError("cannot open file", path, errno);
        if (!S_ISREG(info.st_mode))
            throw Error("cannot open file " + path + ": " +
                        (S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"));
        return file;
    }

    std::unique_ptr<OutputFile> OpenWrite(const std::string& path) override {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) ThrowSystemError("cannot open file", path, errno);
        // Scratch files die with the operation that made them: a sync buys nothing there
        // and costs most of the time of a photo round trip.
        return std::make_unique<LocalOutputFile>(fd, path, !isScratch(path));
    }

    std::string TempFolder() override {
        const char* tmpdir = std::getenv("TMPDIR");
        return WithTrailingSeparator(tmpdir && *tmpdir ? tmpdir : "/tmp");
    }

    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override {
        std::string name;
        ::close(
            createUniqueFile(folder.empty() ? "" : WithTrailingSeparator(folder), prefix, name));
        return name;
    }

    std::unique_ptr<TempFile> OpenTempFile(const std::string& folder,
                                           const std::string& prefix) override {
        const std::string base = folder.empty() ? "" : WithTrailingSeparator(folder);
        removeLeftoversOnce(base, prefix);
        std::string name;
        const int fd = createUniqueFile(base, prefix, name);
        return std::make_unique<LocalTempFile>(fd, name, !isScratch(name));
    }

    // O_TMPFILE where the file system has it, else a named file removed at once.
    std::unique_ptr<TempFile> OpenScratchFile() override {
        const std::string folder = TempFolder();
        removeLeftoversOnce(folder, "Pix");
        int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string name;
            fd = createUniqueFile(folder, "Pix", name);
            ::unlink(name.c_str());
        }
        return std::make_unique<LocalTempFile>(fd, "", false);
    }

  private:
    bool isScratch(const std::string& path) {
        const std::string temp = TempFolder();
        return path.compare(0, temp.size(), temp) == 0;
    }

    void removeLeftoversOnce(const std::string& folder, const std::string& prefix) {
        std::lock_guard lock(sweptMutex_);
        if (swept_.insert(folder + '\0' + prefix).second) removeLeftovers(folder, prefix);
    }

    FolderListings listings_;
    std::mutex sweptMutex_;
    std::set<std::string> swept_;
};

std::mutex appPathMutex;
std::string appPathOverride;

std::string homeFolder() {
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
    std::string base = dataHome && dataHome[0] == '/' ? dataHome : homeFolder() + "/.local/share";
    return WithoutTrailingSeparators(base) + "/kelvophotos";
}

void SetAppPath(const std::string& folder) {
    std::lock_guard lock(appPathMutex);
    appPathOverride = WithoutTrailingSeparators(folder);
}

}  // namespace kelvo
