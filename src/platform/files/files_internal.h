// What the POSIX file layer's units share: owned descriptors, a file read through one, and
// writes and syncs that report the system's error.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "platform/files/files.h"

namespace kelvo::posix {

[[noreturn]] void ThrowSystemError(const std::string& what, const std::string& path, int error);

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

void writeAllTo(int fd, const std::uint8_t* data, std::size_t size, const std::string& path);

// fsync's error, except where a file system cannot sync (pipes, /dev/null): no lost write.
int syncFailure(int fd);

}  // namespace kelvo::posix
