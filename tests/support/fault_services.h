// File and picture services that fail on cue, over the real ones: writes refused under a
// folder or at the Nth write, as on a read-only folder or a full disk.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/files/files.h"
#include "platform/ui/interaction.h"

namespace kelvo::test {

class FaultFileSystem : public FileSystem {
  public:
    explicit FaultFileSystem(FileSystem& real = LocalFileSystem()) : real_(real) {}

    // Creating, writing, closing, renaming onto and creating folders under `folder` throw;
    // files already open there fail from then on too. "/" refuses every write.
    void FailWritesUnder(const std::string& folder) { failFolder_ = folder; }
    // The `n`th file opened for writing from now on (1 = the next) fails on its first write.
    void FailNthWrite(int n) { writesUntilFailure_ = n; }
    // The `n`th temporary file opened from now on silently drops the last byte of each
    // write: no error anywhere, the file just ends up short.
    void ShortenNthWrite(int n) { writesUntilShort_ = n; }
    // Scratch files opened from now on read back as `length` bytes: what was written, then
    // zeros, like a huge file that takes no room.
    void PadScratchFilesTo(std::int64_t length) { scratchLength_ = length; }
    // DeleteFile throws for paths under `folder` ("/" for every path).
    void FailDeletesUnder(const std::string& folder) { failDeleteFolder_ = folder; }
    // FolderExists answers "no" for a missing folder and makes it, as another process would
    // between a check and a create.
    void MakeFoldersBehindTheCheck() { raceFolders_ = true; }
    void Heal();

    // Runs inside the store's steps, where a hostile neighbour would act: after a file is
    // deleted, and before a temporary file is renamed into place (temporary name, target).
    std::function<void(const std::string&)> afterDelete;
    std::function<void(const std::string&, const std::string&)> beforeMove;

    bool FileExists(const std::string& path) override { return real_.FileExists(path); }
    bool FolderExists(const std::string& path) override;
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
    std::unique_ptr<InputFile> OpenRegularFile(const std::string& path) override {
        return real_.OpenRegularFile(path);
    }
    std::unique_ptr<OutputFile> OpenWrite(const std::string& path) override;
    std::string TempFolder() override { return real_.TempFolder(); }
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override;
    std::unique_ptr<TempFile> OpenTempFile(const std::string& folder,
                                           const std::string& prefix) override;
    std::unique_ptr<TempFile> OpenScratchFile() override;

  private:
    bool under(const std::string& path, const std::string& folder) const;
    void refuseUnder(const std::string& path) const;
    // Whether a file opened now for writing at `path` fails: as the Nth write, or under a
    // folder that refuses writes.
    std::function<bool()> failingOn(const std::string& path);
    std::unique_ptr<TempFile> failing(std::unique_ptr<TempFile> real, const std::string& path,
                                      std::int64_t paddedLength = 0);

    FileSystem& real_;
    std::string failFolder_, failDeleteFolder_;
    int writesUntilFailure_ = 0;
    int writesUntilShort_ = 0;
    std::int64_t scratchLength_ = 0;
    bool raceFolders_ = false;
};

// Pictures through a real service, counting the decodes.
class CountingPictures : public PictureService {
  public:
    explicit CountingPictures(PictureService& real) : real_(real) {}

    int loads = 0;

    PicturePtr LoadPicture(const std::string& path) override;
    PicturePtr LoadPictureData(const Bytes& bytes, const std::string& source) override;
    void SavePicture(const Picture& picture, const std::string& path) override {
        real_.SavePicture(picture, path);
    }
    void WritePicture(const Picture& picture, OutputFile& file, const std::string& name) override {
        real_.WritePicture(picture, file, name);
    }
    bool ReadsBackAsItself(const Picture& picture) override {
        return real_.ReadsBackAsItself(picture);
    }
    std::int64_t SavedLength(const Picture& picture) override { return real_.SavedLength(picture); }

  private:
    PictureService& real_;
};

}  // namespace kelvo::test
