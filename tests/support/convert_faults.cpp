// The fault-injecting file layer of the conversions' tests.
#include "support/convert_faults.h"

namespace kelvo::test {
namespace {

// An output file whose writes fail while its file layer refuses writes.
class FaultyOutput : public OutputFile {
  public:
    FaultyOutput(std::unique_ptr<OutputFile> real, const bool& fail)
        : real_(std::move(real)), fail_(fail) {}
    void Write(const std::uint8_t* data, std::size_t size) override {
        if (fail_) throw Error("No space left on device");
        real_->Write(data, size);
    }
    void Close() override {
        if (fail_) throw Error("No space left on device");
        real_->Close();
    }

  private:
    std::unique_ptr<OutputFile> real_;
    const bool& fail_;
};

}  // namespace

void FaultyFiles::refuseWrite(const std::string& path) const {
    if (failWrites) throw Error("cannot write " + path + ": No space left on device");
}

void FaultyFiles::DeleteFile(const std::string& path) {
    if (failDeletes) throw Error("cannot delete " + path + ": Permission denied");
    real_.DeleteFile(path);
}

void FaultyFiles::CreateFolder(const std::string& path) {
    refuseWrite(path);
    real_.CreateFolder(path);
}

void FaultyFiles::Rename(const std::string& from, const std::string& to) {
    refuseWrite(to);
    real_.Rename(from, to);
}

std::unique_ptr<OutputFile> FaultyFiles::OpenWrite(const std::string& path) {
    refuseWrite(path);
    return std::make_unique<FaultyOutput>(real_.OpenWrite(path), failWrites);
}

std::string FaultyFiles::CreateTempFile(const std::string& folder, const std::string& prefix) {
    refuseWrite(folder + prefix);
    return real_.CreateTempFile(folder, prefix);
}

}  // namespace kelvo::test
