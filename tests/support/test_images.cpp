// Real image files for the tests: Qt writes BMP, PNG and JPEG; the other kinds are kept as
// small files in tests/data.
#include "support/test_images.h"

#include <QColor>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "platform/error.h"
#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"

namespace kelvo::test {

namespace {

QImage FilledImage(int width, int height, std::uint32_t rgb) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(0xFF000000u | rgb));
    return image;
}

// Removes the folders handed out when the test program ends.
struct TempFolders {
    std::mutex mutex;
    std::vector<std::string> made;
    ~TempFolders() {
        for (const auto& folder : made) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
};

}  // namespace

std::string TempFolder() {
    static TempFolders folders;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string pattern = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/kelvo-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data())) throw std::runtime_error("cannot make a test folder");
    std::string folder = std::string(buffer.data()) + "/";
    std::lock_guard lock(folders.mutex);
    folders.made.push_back(folder);
    return folder;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name(name) {
    if (const char* was = std::getenv(name)) old = was;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    old ? ::setenv(name, old->c_str(), 1) : ::unsetenv(name);
}

std::string WriteImageFile(const std::string& folder, const std::string& name,
                           const std::string& format, int width, int height, std::uint32_t rgb) {
    const char* qtFormat = format == "bmp"   ? "BMP"
                           : format == "png" ? "PNG"
                           : format == "jpg" ? "JPEG"
                                             : nullptr;
    if (!qtFormat) throw std::invalid_argument("Qt writes no test image format " + format);
    const std::string path = folder + name;
    if (!FilledImage(width, height, rgb).save(QString::fromStdString(path), qtFormat, 95))
        throw std::runtime_error("cannot write test image " + path);
    return path;
}

std::string SampleFile(const std::string& name) {
    const std::string path = std::string(KELVO_SAMPLES) + name;
    if (!std::filesystem::is_regular_file(path))
        throw std::invalid_argument("no sample file " + path);
    return path;
}

PicturePtr MakePicture(int width, int height, std::uint32_t rgb) {
    return PictureFromImage(FilledImage(width, height, rgb));
}

std::uint32_t PixelAt(const Picture& picture, int x, int y) {
    const QImage& image = ImageOf(picture);
    if (!image.valid(x, y)) throw std::out_of_range("pixel outside the picture");
    return image.pixel(x, y) & 0xFFFFFFu;
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

testing::AssertionResult FailsSaying(const std::string& part, const std::function<void()>& action) {
    const std::string error = ErrorOf(action);
    if (error.empty()) return testing::AssertionFailure() << "no error";
    if (error.find(part) == std::string::npos)
        return testing::AssertionFailure() << "the error says: " << error;
    return testing::AssertionSuccess();
}

std::string PictureLoadError(const std::string& path) {
    return ErrorOf([&] { DefaultServices().pictures->LoadPicture(path); });
}

std::uint64_t PictureChecksum(const Picture& picture) {
    if (picture.IsEmpty()) return 0;
    const QImage image = ImageOf(picture).convertToFormat(QImage::Format_RGB32);
    std::uint64_t hash = 1469598103934665603ull;
    const auto mix = [&hash](std::uint8_t byte) { hash = (hash ^ byte) * 1099511628211ull; };
    mix(static_cast<std::uint8_t>(image.width() & 0xFF));
    mix(static_cast<std::uint8_t>(image.height() & 0xFF));
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = image.constScanLine(y);
        for (int x = 0; x < image.width() * 4; ++x)
            if (x % 4 != 3) mix(line[x]);
    }
    return hash;
}

}  // namespace kelvo::test
