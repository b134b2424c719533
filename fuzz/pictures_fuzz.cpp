// Picture bytes of any kind through the real loader, whole and in pieces: it gives a
// picture or an Error, never a crash, and both ways give the same picture.
#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "platform/error.h"
#include "platform/pictures/qt_picture.h"
#include "platform/ui/interaction.h"

namespace {

struct Loaded {
    bool ok = false;
    int width = 0, height = 0;
};

template <typename Load>
Loaded loaded(Load&& load) {
    try {
        kelvo::PicturePtr picture = load();
        return {true, picture->PixelWidth(), picture->PixelHeight()};
    } catch (const kelvo::Error&) {
        return {};
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication application(*argc, *argv);  // metafile text needs fonts
    // Qt's readers warn about every malformed input; the fuzzer wants speed, not those lines.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvo::PictureService& pictures = kelvo::QtPictures();
    const kelvo::Bytes bytes(data, data + size);
    const Loaded whole = loaded([&] { return pictures.LoadPictureData(bytes, "fuzz"); });
    const Loaded pieces = loaded([&] {
        auto reader = pictures.ReadPicture("fuzz");
        // Cut where the bytes say, so the fuzzer explores piece boundaries too.
        const std::size_t step = size > 0 ? 1 + data[size - 1] % 97 : 1;
        for (std::size_t at = 0; at < size; at += step)
            reader->Add(data + at, std::min(step, size - at));
        return reader->Finish();
    });
    kelvo::fuzz::Check(
        whole.ok == pieces.ok && whole.width == pieces.width && whole.height == pieces.height,
        "a picture read in pieces is the picture read whole");
    return 0;
}
