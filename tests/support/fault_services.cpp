// The fault-injecting file and picture services of the store's tests.
#include "support/fault_services.h"

#include <functional>

namespace kelvo::test {
namespace {

// An output file that fails with "No space left on device" whenever `failing` says so: from
// the start for the Nth write, or from the moment its folder starts refusing writes.
class FailingOutput : public OutputFile {
  public:
    FailingOutput(std::unique_ptr<OutputFile> real, std::string path, std::function<bool()> failing)
        : real_(std::move(real)), path_(std::move(path)), failing_(std::move(failing)) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        refuse();
        real_->Write(data, size);
    }
    void Close() override {
        if (!failing_()) return real_->Close();
        real_->Close();
        refuse();
    }

  private:
    void refuse() const {
        if (failing_()) throw Error("cannot write " + path_ + ": No space left on device");
    }
    std::unique_ptr<OutputFile> real_;
    std::string path_;
    std::function<bool()> failing_;
};

}  // namespace

void FaultFileSystem::Heal() {
    failFolder_.clear();
    failDeleteFolder_.clear();
    writesUntilFailure_ = 0;
    raceFolders_ = false;
}

bool FaultFileSystem::FolderExists(const std::string& path) {
    if (!raceFolders_ || real_.FolderExists(path)) return real_.FolderExists(path);
    real_.CreateFolder(path);
    return false;
}

bool FaultFileSystem::under(const std::string& path, const std::string& folder) const {
    return !folder.empty() && path.compare(0, folder.size(), folder) == 0;
}

void FaultFileSystem::refuseUnder(const std::string& path) const {
    if (under(path, failFolder_)) throw Error("cannot write " + path + ": Permission denied");
}

void FaultFileSystem::DeleteFile(const std::string& path) {
    if (under(path, failDeleteFolder_))
        throw Error("cannot delete " + path + ": Permission denied");
    real_.DeleteFile(path);
}

void FaultFileSystem::CreateFolder(const std::string& path) {
    refuseUnder(path);
    real_.CreateFolder(path);
}

void FaultFileSystem::Rename(const std::string& from, const std::string& to) {
    refuseUnder(to);
    real_.Rename(from, to);
}

std::unique_ptr<OutputFile> FaultFileSystem::OpenWrite(const std::string& path) {
    refuseUnder(path);
    ++writesOpened_;
    std::unique_ptr<OutputFile> file = real_.OpenWrite(path);
    if (writesUntilFailure_ > 0 && --writesUntilFailure_ == 0)
        return std::make_unique<FailingOutput>(std::move(file), path, [] { return true; });
    return std::make_unique<FailingOutput>(std::move(file), path,
                                           [this, path] { return under(path, failFolder_); });
}

std::string FaultFileSystem::CreateTempFile(const std::string& folder, const std::string& prefix) {
    refuseUnder(folder + prefix);
    return real_.CreateTempFile(folder, prefix);
}

PicturePtr FaultPictures::LoadPicture(const std::string& path) {
    ++loads;
    if (failLoads) throw Error("cannot read picture file " + path + ": unsupported format");
    return real_.LoadPicture(path);
}

PicturePtr FaultPictures::LoadPictureData(const Bytes& bytes, const std::string& source) {
    ++loads;
    if (failLoads) throw Error("cannot read picture " + source + ": unsupported format");
    return real_.LoadPictureData(bytes, source);
}

void FaultPictures::SavePicture(const Picture& picture, const std::string& path) {
    ++saves;
    if (failSaves) throw Error("cannot write picture file " + path + ": No space left on device");
    real_.SavePicture(picture, path);
}

}  // namespace kelvo::test
