// Loading and saving pictures with Qt's image readers: every raster kind the editor offers,
// read through the file layer, refused early when the declared size is absurd.
#include <algorithm>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include "platform/files/files.h"
#include "platform/pictures/metafiles.h"
#include "platform/pictures/picture_checks.h"
#include "platform/pictures/plain_bitmap.h"
#include "platform/pictures/qt_picture.h"

namespace kelvo {

namespace {

// `source` is "file <path>" or another phrase naming where the bytes came from.
[[noreturn]] void CannotRead(const std::string& source, const std::string& reason) {
    throw Error("cannot read picture " + source + ": " + reason);
}

// An icon or cursor file holds one image per size: the picture is the largest of them.
// Only the directory entries its `fileBytes` can hold are looked at: a header may claim
// 65535 images, and each jump reads the directory again.
void jumpToLargestImage(QImageReader& reader, std::size_t fileBytes) {
    if (reader.format() != "ico" && reader.format() != "cur") return;
    constexpr std::size_t kHeaderBytes = 6, kEntryBytes = 16;
    const auto entries = static_cast<int>(
        std::min<std::size_t>((std::max(fileBytes, kHeaderBytes) - kHeaderBytes) / kEntryBytes,
                              static_cast<std::size_t>(reader.imageCount())));
    int largest = 0;
    qint64 largestArea = -1;
    for (int i = 0; i < entries && reader.jumpToImage(i); ++i) {
        const QSize size = reader.size();
        const qint64 area = qint64{size.width()} * size.height();
        if (size.isValid() && area > largestArea) {
            largest = i;
            largestArea = area;
        }
    }
    reader.jumpToImage(largest);
}

QImage readRaster(const Bytes& bytes, const std::string& source) {
    // The limit applies to every reader at once; it bounds one decoded image.
    if (std::string problem = PictureBytesProblem(bytes); !problem.empty())
        CannotRead(source, problem);
    if (std::optional<QImage> plain = DecodePlainBitmap(bytes)) return *std::move(plain);
    QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)));
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead()) CannotRead(source, "unsupported picture format");
    jumpToLargestImage(reader, bytes.size());
    QSize declared = reader.size();
    if (declared.isValid() && !SanePictureSize(declared.width(), declared.height()))
        CannotRead(source, "declared size " + std::to_string(declared.width()) + "x" +
                               std::to_string(declared.height()) + " is too large");
    QImage image = reader.read();
    if (image.isNull()) CannotRead(source, reader.errorString().toStdString());
    if (!SanePictureSize(image.width(), image.height())) CannotRead(source, "picture is too large");
    return image;
}

// Streams a plain bitmap straight into its image; bytes of any other kind are gathered and
// read whole.
class QtPictureReader : public PictureReader {
  public:
    QtPictureReader(PictureService& pictures, std::string source)
        : pictures_(pictures), source_(std::move(source)) {}

    void Add(const std::uint8_t* data, std::size_t size) override {
        if (plain_) return plain_->Add(data, size);
        const bool headerSeen = held_.size() >= kPlainBitmapHeaderBytes;
        held_.insert(held_.end(), data, data + size);
        if (headerSeen || held_.size() < kPlainBitmapHeaderBytes) return;
        plain_ = PlainBitmapReader::Start(held_.data(), held_.size());
        if (!plain_) return;
        plain_->Add(held_.data() + kPlainBitmapHeaderBytes, held_.size() - kPlainBitmapHeaderBytes);
        Bytes().swap(held_);
    }

    PicturePtr Finish() override {
        if (!plain_) return pictures_.LoadPictureData(held_, source_);
        if (!plain_->Complete()) CannotRead(source_, kTruncatedPicture);
        return PictureFromImage(plain_->Take());
    }

  private:
    PictureService& pictures_;
    std::string source_;
    Bytes held_;
    std::optional<PlainBitmapReader> plain_;
};

class QtPictureService : public PictureService {
  public:
    explicit QtPictureService(FileSystem& files) : files_(files) {}

    PicturePtr LoadPicture(const std::string& path) override {
        if (path.empty()) return EmptyPicture();
        const std::string source = "file " + path;
        if (!files_.FileExists(path))
            CannotRead(source, files_.FolderExists(path) ? "it is a folder" : "file not found");
        std::unique_ptr<InputFile> file;
        try {
            file = files_.OpenRead(path);
        } catch (const Error& error) {
            CannotRead(source, error.what());
        }
        return LoadPictureFrom(*file, source);
    }

    std::unique_ptr<PictureReader> ReadPicture(const std::string& source) override {
        return std::make_unique<QtPictureReader>(*this, source);
    }

    PicturePtr LoadPictureData(const Bytes& bytes, const std::string& source) override {
        if (bytes.empty()) CannotRead(source, "it holds no bytes");
        if (MetafileKind kind = MetafileKindOf(bytes); kind != MetafileKind::None) {
            try {
                return PictureFromImage(RenderMetafile(kind, bytes));
            } catch (const Error& error) {
                CannotRead(source, error.what());
            }
        }
        return PictureFromImage(readRaster(bytes, source));
    }

    void SavePicture(const Picture& picture, const std::string& path) override {
        const QByteArray encoded = encode(picture, path);
        writeQuoting(path, [&] {
            auto file = files_.OpenWrite(path);
            write(encoded, *file);
            file->Close();
        });
    }

    void WritePicture(const Picture& picture, OutputFile& file, const std::string& path) override {
        const QByteArray encoded = encode(picture, path);
        writeQuoting(path, [&] { write(encoded, file); });
    }

    // Opaque 32-bit images take the plain bitmap path both ways, losing nothing.
    bool ReadsBackAsItself(const Picture& picture) override {
        return ImageOf(picture).format() == QImage::Format_RGB32;
    }

    std::int64_t SavedLength(const Picture& picture) override {
        return PlainBitmapLength(ImageOf(picture)).value_or(-1);
    }

  private:
    static QByteArray encode(const Picture& picture, const std::string& path) {
        if (picture.IsEmpty()) throw Error("cannot write picture file " + path + ": no picture");
        QByteArray encoded = EncodePlainBitmap(ImageOf(picture)).value_or(QByteArray());
        if (encoded.isEmpty()) {
            QBuffer buffer(&encoded);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "bmp");
            if (!writer.write(ImageOf(picture)))
                throw Error("cannot write picture file " + path + ": " +
                            writer.errorString().toStdString());
        }
        return encoded;
    }

    static void write(const QByteArray& encoded, OutputFile& file) {
        file.Write(reinterpret_cast<const std::uint8_t*>(encoded.constData()),
                   static_cast<std::size_t>(encoded.size()));
    }

    template <typename Step>
    static void writeQuoting(const std::string& path, Step&& step) {
        try {
            step();
        } catch (const Error& error) {
            throw Error("cannot write picture file " + path + ": " + error.what());
        }
    }

    FileSystem& files_;
};

}  // namespace

std::unique_ptr<PictureService> MakeQtPictures(FileSystem& files) {
    return std::make_unique<QtPictureService>(files);
}

PictureService& QtPictures() {
    static auto pictures = MakeQtPictures(LocalFileSystem());
    return *pictures;
}

}  // namespace kelvo
