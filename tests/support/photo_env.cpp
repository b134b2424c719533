// The photo store tests' set-up: folders, services, databases, the event log and the row
// reader.
#include "support/photo_env.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "platform/pictures/qt_picture.h"
#include "support/test_images.h"

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
// each write when `shortened`, or reads back padded to `paddedLength` bytes; `checkTarget`
// may refuse its rename.
class FailingTempFile : public TempFile {
  public:
    using TargetCheck = std::function<void(const std::string& target)>;
    FailingTempFile(std::unique_ptr<TempFile> real, FailingOutput output, TargetCheck checkTarget,
                    bool shortened, std::int64_t paddedLength)
        : real_(std::move(real)),
          output_(std::move(output)),
          checkTarget_(std::move(checkTarget)),
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
        checkTarget_(path);
        real_->MoveTo(path);
    }

  private:
    std::unique_ptr<TempFile> real_;
    FailingOutput output_;
    TargetCheck checkTarget_;
    bool shortened_;
    std::int64_t paddedLength_;
};

}  // namespace

bool FaultFileSystem::FolderExists(const std::string& path) {
    if (!faults_.raceFolders || real_.FolderExists(path)) return real_.FolderExists(path);
    real_.CreateFolder(path);
    return false;
}

std::function<bool()> FaultFileSystem::failingOn(const std::string& path) {
    if (faults_.writesUntilFailure > 0 && --faults_.writesUntilFailure == 0)
        return [] { return true; };
    return [this, path] { return under(path, faults_.failFolder); };
}

std::unique_ptr<OutputFile> FaultFileSystem::OpenWrite(const std::string& path) {
    refuseUnder(path);
    return std::make_unique<FailingOutput>(real_.OpenWrite(path), path, failingOn(path));
}

std::string FaultFileSystem::CreateTempFile(const std::string& folder, const std::string& prefix) {
    refuseUnder(folder + prefix);
    return real_.CreateTempFile(folder, prefix);
}

std::unique_ptr<TempFile> FaultFileSystem::failing(std::unique_ptr<TempFile> real,
                                                   const std::string& path,
                                                   std::int64_t paddedLength) {
    FailingOutput output(nullptr, path, failingOn(path));
    const bool shortened = faults_.writesUntilShort > 0 && --faults_.writesUntilShort == 0;
    return std::make_unique<FailingTempFile>(
        std::move(real), std::move(output),
        [this](const std::string& target) { refuseUnder(target); }, shortened, paddedLength);
}

std::unique_ptr<TempFile> FaultFileSystem::OpenTempFile(const std::string& folder,
                                                        const std::string& prefix) {
    refuseUnder(folder + prefix);
    return failing(real_.OpenTempFile(folder, prefix), folder + prefix);
}

std::unique_ptr<TempFile> FaultFileSystem::OpenScratchFile() {
    const std::string folder = TempFolder();
    refuseUnder(folder);
    return failing(real_.OpenScratchFile(), folder, faults_.scratchLength);
}

Lines EventLog::matching(const std::string& prefix) const {
    Lines found;
    for (const auto& line : lines)
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

Lines EventLog::errors() const {
    Lines found;
    for (const auto& line : lines)
        for (const char* prefix : {"TableError: ", "ErrorDescrption: ", "ErrorSavingPhoto: "})
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

std::string EventLog::text() const {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
}

Bytes PatternPictures::PatternOf(std::size_t length) {
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

PicturePtr PatternPictures::LoadPicture(const std::string& path) {
    return LoadPictureData(LocalFileSystem().ReadAll(path), "file " + path);
}

PicturePtr PatternPictures::LoadPictureData(const Bytes& bytes, const std::string& source) {
    if (bytes.empty() || bytes != PatternOf(bytes.size()))
        throw Error("cannot read picture " + source + ": not a pattern picture");
    return MakePicture(static_cast<int>(bytes.size()), 1);
}

void PatternPictures::SavePicture(const Picture& picture, const std::string& path) {
    if (picture.IsEmpty()) throw Error("cannot write picture file " + path + ": no picture");
    auto file = LocalFileSystem().OpenWrite(path);
    WritePicture(picture, *file, path);
    file->Close();
}

void PatternPictures::WritePicture(const Picture& picture, OutputFile& file,
                                   const std::string& name) {
    if (picture.IsEmpty()) throw Error("cannot write picture file " + name + ": no picture");
    const Bytes pattern = PatternOf(static_cast<std::size_t>(picture.PixelWidth()));
    file.Write(pattern.data(), pattern.size());
}

std::shared_ptr<Recordset> OpenRows(const std::shared_ptr<Connection>& connection,
                                    const std::vector<Condition>& where, const std::string& order,
                                    const std::string& table) {
    auto rs = std::make_shared<Recordset>();
    rs->ActiveConnection(connection);
    rs->Source(Selection{table, where, order});
    rs->Open();
    return rs;
}

std::vector<StoredRow> ReadPhotoRows(const std::shared_ptr<Connection>& connection,
                                     const std::vector<Condition>& where, const std::string& order,
                                     const std::string& table) {
    std::vector<StoredRow> rows;
    for (auto rs = OpenRows(connection, where, order, table); !rs->EOF(); rs->MoveNext()) {
        const auto text = [&](const char* column) {
            const Variant v = rs->Fields(column).Value();
            return v.isNull() ? std::string() : v.toText();
        };
        const Variant isDefault = rs->Fields("DEF").Value();
        rows.push_back({text("CODE"), text("DESCR"), text("GRP"), text("COMMENTS"),
                        !isDefault.isNull() && isDefault.toBool(), rs->Fields("PIC").Value()});
    }
    return rows;
}

PhotoEnv::PhotoEnv()
    : app(TempFolder()),
      scratch(TempFolder()),
      qtPictures(MakeQtPictures(files)),
      pictures(*qtPictures),
      services{&files, &pictures, &interaction, &clipboard} {
    SetAppPath(app.substr(0, app.size() - 1));
}

std::unique_ptr<CPicture> PhotoEnv::newStore(bool saveAsFile) {
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    store->SaveAsFile = saveAsFile;
    store->AddListener(&events);
    return store;
}

Bytes PhotoEnv::bitmapOf(const Picture& picture) {
    const std::string path = scratch + "bitmap.bmp";
    QtPictures().SavePicture(picture, path);
    Bytes bytes = LocalFileSystem().ReadAll(path);
    LocalFileSystem().DeleteFile(path);
    return bytes;
}

Lines PhotoEnv::filesIn(const std::string& folder) {
    Lines names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void PhotoTest::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam());
    db->CreatePhotoTable();
    db->connection();
    useFreshTmpdir();
}

void PhotoTest::TearDown() {
    for (const std::string& name : filesIn(tmp))  // Qt's runtime folder is not the store's
        EXPECT_EQ(name.rfind("runtime-", 0), 0u) << "temporary file left behind: " << name;
    for (const std::string& name : filesIn(photosFolder()))
        EXPECT_NE(name.rfind(".kelvo-", 0), 0u) << "temporary photo file left: " << name;
    db.reset();
}

std::vector<StoredPhoto> PhotoTest::stored() {
    std::vector<StoredPhoto> photos;
    for (StoredRow& row : ReadPhotoRows(db->connection(), {{"CODE", "A1"}}, "DESCR")) {
        StoredPhoto photo;
        static_cast<StoredRow&>(photo) = std::move(row);
        QImage image;
        if (photo.pic.type() == Variant::Type::Bytes &&
            image.loadFromData(photo.pic.bytes().data(),
                               static_cast<int>(photo.pic.bytes().size()))) {
            photo.width = image.width();
            photo.height = image.height();
            photo.centre = image.pixel(image.width() / 2, image.height() / 2) & 0xFFFFFF;
        }
        photos.push_back(std::move(photo));
    }
    return photos;
}

}  // namespace kelvo::test
