// The fault-injecting file and picture services of the store's tests.
#include "support/fault_services.h"

#include <algorithm>
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

    void refuse() const {
        if (failing_()) throw Error("cannot write " + path_ + ": No space left on device");
    }

  private:
    std::unique_ptr<OutputFile> real_;
    std::string path_;
    std::function<bool()> failing_;
};

// A file read as `length` bytes: its own, then zeros.
class PaddedInput : public InputFile {
  public:
    PaddedInput(std::unique_ptr<InputFile> real, std::int64_t length)
        : real_(std::move(real)), length_(length) {}
    std::int64_t Length() override { return length_; }
    std::size_t Read(std::uint8_t* out, std::size_t size) override {
        size = static_cast<std::size_t>(std::min<std::int64_t>(length_ - read_, size));
        std::size_t n = real_->Read(out, size);
        if (n == 0) std::fill(out, out + (n = size), 0);
        read_ += static_cast<std::int64_t>(n);
        return n;
    }

  private:
    std::unique_ptr<InputFile> real_;
    std::int64_t length_, read_ = 0;
};

// A temporary file that fails as FailingOutput does, or silently drops the last byte of
// each write when `shortened`, or reads back padded to `paddedLength` bytes; `beforeMove`
// runs before its rename.
class FailingTempFile : public TempFile {
  public:
    using MoveCheck = std::function<void(const std::string& from, const std::string& to)>;
    FailingTempFile(std::unique_ptr<TempFile> real, FailingOutput output, MoveCheck beforeMove,
                    bool shortened, std::int64_t paddedLength)
        : real_(std::move(real)),
          output_(std::move(output)),
          beforeMove_(std::move(beforeMove)),
          shortened_(shortened),
          paddedLength_(paddedLength) {}
    const std::string& Name() const override { return real_->Name(); }
    void Write(const std::uint8_t* data, std::size_t size) override {
        output_.refuse();
        real_->Write(data, shortened_ && size > 0 ? size - 1 : size);
    }
    void Close() override { output_.refuse(); }
    std::int64_t Length() override { return std::max(real_->Length(), paddedLength_); }
    std::unique_ptr<InputFile> ReadBack() override {
        if (paddedLength_ == 0) return real_->ReadBack();
        return std::make_unique<PaddedInput>(real_->ReadBack(), paddedLength_);
    }
    void MoveTo(const std::string& path) override {
        output_.refuse();
        beforeMove_(real_->Name(), path);
        real_->MoveTo(path);
    }

  private:
    std::unique_ptr<TempFile> real_;
    FailingOutput output_;
    MoveCheck beforeMove_;
    bool shortened_;
    std::int64_t paddedLength_;
};

}  // namespace

void FaultFileSystem::Heal() {
    failFolder_.clear();
    failDeleteFolder_.clear();
    writesUntilFailure_ = 0;
    writesUntilShort_ = 0;
    scratchLength_ = 0;
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
    if (afterDelete) afterDelete(path);
}

void FaultFileSystem::CreateFolder(const std::string& path) {
    refuseUnder(path);
    real_.CreateFolder(path);
}

void FaultFileSystem::Rename(const std::string& from, const std::string& to) {
    refuseUnder(to);
    if (beforeMove) beforeMove(from, to);
    real_.Rename(from, to);
}

std::function<bool()> FaultFileSystem::failingOn(const std::string& path) {
    if (writesUntilFailure_ > 0 && --writesUntilFailure_ == 0) return [] { return true; };
    return [this, path] { return under(path, failFolder_); };
}

std::unique_ptr<OutputFile> FaultFileSystem::OpenWrite(const std::string& path) {
    refuseUnder(path);
    std::unique_ptr<OutputFile> file = real_.OpenWrite(path);
    return std::make_unique<FailingOutput>(std::move(file), path, failingOn(path));
}

std::string FaultFileSystem::CreateTempFile(const std::string& folder, const std::string& prefix) {
    refuseUnder(folder + prefix);
    return real_.CreateTempFile(folder, prefix);
}

std::unique_ptr<TempFile> FaultFileSystem::failing(std::unique_ptr<TempFile> real,
                                                   const std::string& path,
                                                   std::int64_t paddedLength) {
    FailingOutput output(nullptr, path, failingOn(path));
    const bool shortened = writesUntilShort_ > 0 && --writesUntilShort_ == 0;
    return std::make_unique<FailingTempFile>(
        std::move(real), std::move(output),
        [this](const std::string& from, const std::string& to) {
            refuseUnder(to);
            if (beforeMove) beforeMove(from, to);
        },
        shortened, paddedLength);
}

std::unique_ptr<TempFile> FaultFileSystem::OpenTempFile(const std::string& folder,
                                                        const std::string& prefix) {
    refuseUnder(folder + prefix);
    return failing(real_.OpenTempFile(folder, prefix), folder + prefix);
}

std::unique_ptr<TempFile> FaultFileSystem::OpenScratchFile() {
    const std::string folder = TempFolder();
    refuseUnder(folder);
    return failing(real_.OpenScratchFile(), folder, scratchLength_);
}

PicturePtr CountingPictures::LoadPicture(const std::string& path) {
    ++loads;
    return real_.LoadPicture(path);
}

PicturePtr CountingPictures::LoadPictureData(const Bytes& bytes, const std::string& source) {
    ++loads;
    return real_.LoadPictureData(bytes, source);
}

}  // namespace kelvo::test
