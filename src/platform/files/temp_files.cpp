// Temporary files on POSIX: unique names "<prefix>XXXXXX.tmp", files moved into place once
// written, and the sweep of the leftovers of a killed run.
#include "platform/files/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "platform/files/files_internal.h"

namespace kelvo::posix {

namespace {

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

}  // namespace

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

std::unique_ptr<TempFile> makeLocalTempFile(int fd, std::string name, bool durable) {
    return std::make_unique<LocalTempFile>(fd, std::move(name), durable);
}

void LeftoverSweep::removeLeftoversOnce(const std::string& folder, const std::string& prefix) {
    std::lock_guard lock(sweptMutex_);
    if (swept_.insert(folder + '\0' + prefix).second) removeLeftovers(folder, prefix);
}

}  // namespace kelvo::posix
