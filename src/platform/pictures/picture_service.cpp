// What every picture service shares: reading a picture in pieces and from an open file.
#include "platform/pictures/picture_service.h"

#include "platform/error.h"
#include "platform/files/files.h"

namespace kelvo {

namespace {

class GatheringPictureReader : public PictureReader {
  public:
    GatheringPictureReader(PictureService& pictures, std::string source)
        : pictures_(pictures), source_(std::move(source)) {}

    void Add(const std::uint8_t* data, std::size_t size) override {
        bytes_.insert(bytes_.end(), data, data + size);
    }
    PicturePtr Finish() override { return pictures_.LoadPictureData(bytes_, source_); }

  private:
    PictureService& pictures_;
    std::string source_;
    Bytes bytes_;
};

}  // namespace

std::unique_ptr<PictureReader> PictureService::ReadPicture(const std::string& source) {
    return std::make_unique<GatheringPictureReader>(*this, source);
}

PicturePtr PictureService::LoadPictureFrom(InputFile& file, const std::string& source) {
    constexpr std::int64_t kMaxFileBytes = std::int64_t{1} << 30;
    const auto refuse = [&](const std::string& reason) {
        throw Error("cannot read picture " + source + ": " + reason);
    };
    std::unique_ptr<PictureReader> reader = ReadPicture(source);
    bool tooLarge = false;
    try {
        tooLarge = file.Length() > kMaxFileBytes;
        Bytes piece(65536);
        std::int64_t total = 0;
        while (!tooLarge) {
            const std::size_t got = file.Read(piece.data(), piece.size());
            if (got == 0) break;
            total += static_cast<std::int64_t>(got);
            tooLarge = total > kMaxFileBytes;  // it grew while being read
            if (!tooLarge) reader->Add(piece.data(), got);
        }
    } catch (const Error& error) {
        refuse(error.what());
    }
    if (tooLarge) refuse("the file is too large");
    return reader->Finish();
}

}  // namespace kelvo
