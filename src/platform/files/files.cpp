// The real file layer on POSIX: files, folders, reading and writing, and the application
// folder. Every failure carries the system's own error text.
#include "platform/files/files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "platform/files/files_internal.h"
#include "platform/files/folder_listings.h"
#include "platform/files/temp_files.h"

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

namespace posix {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error) {
    throw Error(what + " " + path + ": " + std::strerror(error));
}

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

int syncFailure(int fd) {
    if (::fsync(fd) == 0) return 0;
    return errno == EINVAL || errno == EROFS ? 0 : errno;
}

namespace {

bool statIs(const std::string& path, mode_t type) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == type;
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
        sweep_.removeLeftoversOnce(base, prefix);
        std::string name;
        const int fd = createUniqueFile(base, prefix, name);
        return makeLocalTempFile(fd, name, !isScratch(name));
    }

    // O_TMPFILE where the file system has it, else a named file removed at once.
    std::unique_ptr<TempFile> OpenScratchFile() override {
        const std::string folder = TempFolder();
        sweep_.removeLeftoversOnce(folder, "Pix");
        int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string name;
            fd = createUniqueFile(folder, "Pix", name);
            ::unlink(name.c_str());
        }
        return makeLocalTempFile(fd, "", false);
    }

  private:
    bool isScratch(const std::string& path) {
        const std::string temp = TempFolder();
        return path.compare(0, temp.size(), temp) == 0;
    }

    FolderListings listings_;
    LeftoverSweep sweep_;
};

}  // namespace

}  // namespace posix

namespace {

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
    static posix::PosixFileSystem files;
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
