// Metafile rendering: once their records are checked, Windows metafiles are
// played by libwmf onto a bitmap and enhanced metafiles go through libemf2svg and QtSvg.
#include "platform/metafiles.h"

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/byte_order.h"
#include "platform/error.h"
#include "platform/metafile_records.h"
#include "platform/picture_checks.h"

namespace kelvo {

namespace {

constexpr double kScreenDpi = 96.0;
constexpr std::uint32_t kEmfHeader = 1;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

std::int32_t LeInt32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(Le32(b, at));
}

void RequireSaneSize(double width, double height) {
    if (!(width >= 1 && height >= 1) ||
        !SanePictureSize(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height)))
        throw Error("declared size " + std::to_string(static_cast<long long>(width)) + "x" +
                    std::to_string(static_cast<long long>(height)) + " is out of range");
}

// --- Enhanced metafiles ---

struct EmfSize {
    int width;
    int height;
};

// The picture's own size: its frame (0.01 mm) at screen resolution, else its pixel bounds.
EmfSize EnhancedSize(const Bytes& b) {
    double frameWidth = (static_cast<double>(LeInt32(b, 32)) - LeInt32(b, 24)) * kScreenDpi / 2540;
    double frameHeight = (static_cast<double>(LeInt32(b, 36)) - LeInt32(b, 28)) * kScreenDpi / 2540;
    double width = std::round(frameWidth), height = std::round(frameHeight);
    if (width < 1 || height < 1) {
        width = static_cast<double>(LeInt32(b, 16)) - LeInt32(b, 8) + 1;
        height = static_cast<double>(LeInt32(b, 20)) - LeInt32(b, 12) + 1;
    }
    RequireSaneSize(width, height);
    return {static_cast<int>(width), static_cast<int>(height)};
}

QImage RenderSvg(const QByteArray& svg, int width, int height) {
    QByteArray drawable = svg;
    // Without a GUI application Qt has no font database; text is left out then.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        drawable = QString::fromUtf8(svg)
                       .remove(QRegularExpression("<(\\w+:)?text\\b.*?</(\\w+:)?text>",
                                                  QRegularExpression::DotMatchesEverythingOption))
                       .toUtf8();
    QSvgRenderer renderer(drawable);
    if (!renderer.isValid()) throw Error("the file is corrupt");
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, width, height));
    painter.end();
    return image;
}

QImage RenderEnhanced(const Bytes& b) {
    if (b.size() < 88 || Le32(b, 0) != kEmfHeader || Le32(b, 40) != kEmfSignature)
        throw Error("the file is truncated");
    CheckEnhancedRecords(b);
    EmfSize size = EnhancedSize(b);

    generatorOptions options{};
    options.nameSpace = nullptr;  // plain element names; a prefix costs a leaked copy per call
    options.svgDelimiter = true;
    options.imgWidth = size.width;
    options.imgHeight = size.height;
    char* svg = nullptr;
    std::size_t svgLength = 0;
    Bytes copy = b;  // the converter takes a writable buffer
    int ok = emf2svg(reinterpret_cast<char*>(copy.data()), copy.size(), &svg, &svgLength, &options);
    std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
    if (!ok || !svg) throw Error("the file is corrupt");
    return RenderSvg(QByteArray(svg, static_cast<qsizetype>(svgLength)), size.width, size.height);
}

// --- Windows metafiles ---

struct WmfApiDeleter {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};

void RequireWmf(wmf_error_t error, wmfAPI* api) {
    if (error != wmf_E_None || api->err != wmf_E_None) throw Error("the file is corrupt");
}

QImage RenderWindows(const Bytes& b) {
    CheckWindowsRecords(b);

    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* rawApi = nullptr;
    if (wmf_api_create(&rawApi, flags, &options) != wmf_E_None || !rawApi) {
        if (rawApi) wmf_api_destroy(rawApi);
        throw Error("the metafile player could not start");
    }
    std::unique_ptr<wmfAPI, WmfApiDeleter> api(rawApi);

    Bytes copy = b;  // libwmf reads through a non-const pointer
    RequireWmf(wmf_mem_open(api.get(), copy.data(), static_cast<long>(copy.size())), api.get());
    wmfD_Rect bounds;
    RequireWmf(wmf_scan(api.get(), 0, &bounds), api.get());
    unsigned int width = 0, height = 0;
    RequireWmf(wmf_display_size(api.get(), &width, &height, kScreenDpi, kScreenDpi), api.get());
    RequireSaneSize(width, height);

    // Played into a PNG in memory; libwmf then frees its own canvas.
    char* png = nullptr;
    std::size_t pngLength = 0;
    FILE* pngStream = open_memstream(&png, &pngLength);
    if (!pngStream) throw Error("out of memory");
    wmf_gd_t* device = WMF_GD_GetData(api.get());
    device->type = wmf_gd_png;
    device->flags |= WMF_GD_OUTPUT_FILE;
    device->file = pngStream;
    device->bbox = bounds;
    device->width = width;
    device->height = height;
    wmf_error_t played = wmf_play(api.get(), 0, &bounds);
    std::fclose(pngStream);
    std::unique_ptr<char, decltype(&std::free)> ownedPng(png, &std::free);
    RequireWmf(played, api.get());
    QImage image =
        QImage::fromData(reinterpret_cast<const uchar*>(png), static_cast<int>(pngLength), "PNG")
            .convertToFormat(QImage::Format_RGB32);
    if (image.isNull() || image.width() != static_cast<int>(width) ||
        image.height() != static_cast<int>(height))
        throw Error("the file is corrupt");
    wmf_mem_close(api.get());
    return image;
}

}  // namespace

MetafileKind MetafileKindOf(const Bytes& b) {
    if (b.size() >= 4 && Le32(b, 0) == 0x9AC6CDD7u) return MetafileKind::Windows;
    if (b.size() >= 44 && Le32(b, 0) == kEmfHeader && Le32(b, 40) == kEmfSignature)
        return MetafileKind::Enhanced;
    // A plain Windows metafile header: type 1 or 2, header size 9 words, version 1 or 3.
    if (b.size() >= 18 && (Le16(b, 0) == 1 || Le16(b, 0) == 2) && Le16(b, 2) == 9 &&
        (Le16(b, 4) == 0x0100 || Le16(b, 4) == 0x0300))
        return MetafileKind::Windows;
    return MetafileKind::None;
}

QImage RenderMetafile(MetafileKind kind, const Bytes& bytes) {
    switch (kind) {
        case MetafileKind::Windows:
            return RenderWindows(bytes);
        case MetafileKind::Enhanced:
            return RenderEnhanced(bytes);
        case MetafileKind::None:
            break;
    }
    throw Error("unsupported picture format");
}

}  // namespace kelvo
