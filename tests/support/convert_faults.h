// A file layer that fails on cue, for the conversions' tests: writes refused as on a full
// disk, deletions refused as on a read-only file. Everything else goes to the real files.
#pragma once

#include "platform/files.h"

namespace kelvo::test {

class FaultyFiles : public FileSystem {
  public:
    explicit FaultyFiles(FileSystem& real = LocalFileSystem()) : real_(real) {}

    bool failWrites = false;   // creating, writing, closing and renaming files throw
    bool failDeletes = false;  // DeleteFile throws

    bool FileExists(const std::string& path) override { return real_.FileExists(path); }
    bool FolderExists(const std::string& path) override { return real_.FolderExists(path); }
    std::string Dir(const std::string& pattern, DirKind kind) override {
        return real_.Dir(pattern, kind);
    }
    void DeleteFile(const std::string& path) override;
    void CreateFolder(const std::string& path) override;
    std::int64_t FileLength(const std::string& path) override { return real_.FileLength(path); }
    void Rename(const std::string& from, const std::string& to) override;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        return real_.OpenRead(path);
    }
    std::unique_ptr<OutputFile> OpenWrite(const std::string& path) override;
    std::string TempFolder() override { return real_.TempFolder(); }
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override;

  private:
    void refuseWrite(const std::string& path) const;
    FileSystem& real_;
};

}  // namespace kelvo::test
