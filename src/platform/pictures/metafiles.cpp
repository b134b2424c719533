// Metafile rendering: once their records are checked, Windows metafiles are
// played by libwmf onto a bitmap and enhanced metafiles go through libemf2svg and QtSvg.
#include "platform/pictures/metafiles.h"

#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <libwmf/ipa.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "platform/error.h"
#include "platform/pictures/byte_order.h"
#include "platform/pictures/metafile_records.h"
#include "platform/pictures/picture_checks.h"

namespace kelvo {

namespace {

constexpr double kScreenDpi = 96.0;
constexpr std::uint32_t kEmfHeader = 1;
constexpr std::uint32_t kEmfSignature = 0x464D4520;  // " EMF"

std::int32_t leInt32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(Le32(b, at));
}

// Played through libwmf's bitmap device and a PNG in memory, a Windows metafile costs several
// times more per pixel than other pictures: 4096 x 4096 takes about a second.
constexpr double kMaxWindowsMetafilePixels = 4096.0 * 4096.0;

void requireSaneSize(double width, double height, double maxPixels = kMaxPicturePixels) {
    if (!(width >= 1 && height >= 1) || width * height > maxPixels ||
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
EmfSize enhancedSize(const Bytes& b) {
    double frameWidth = (static_cast<double>(leInt32(b, 32)) - leInt32(b, 24)) * kScreenDpi / 2540;
    double frameHeight = (static_cast<double>(leInt32(b, 36)) - leInt32(b, 28)) * kScreenDpi / 2540;
    double width = std::round(frameWidth), height = std::round(frameHeight);
    if (width < 1 || height < 1) {
        width = static_cast<double>(leInt32(b, 16)) - leInt32(b, 8) + 1;
        height = static_cast<double>(leInt32(b, 20)) - leInt32(b, 12) + 1;
    }
    requireSaneSize(width, height);
    return {static_cast<int>(width), static_cast<int>(height)};
}

QImage renderSvg(const QByteArray& svg, int width, int height) {
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

QImage renderEnhanced(const Bytes& b) {
    if (b.size() < 88 || Le32(b, 0) != kEmfHeader || Le32(b, 40) != kEmfSignature)
        throw Error("the file is truncated");
    CheckEnhancedRecords(b);
    EmfSize size = enhancedSize(b);

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
    return renderSvg(QByteArray(svg, static_cast<qsizetype>(svgLength)), size.width, size.height);
}

// --- Windows metafiles ---

struct WmfApiDeleter {
    void operator()(wmfAPI* api) const { wmf_api_destroy(api); }
};

// libwmf's bitmap device strokes a thick pen by stamping the pen's rectangle at every pixel
// of a line, and its thickness is in drawing units: a tiny window stretched over a large
// picture makes each line cost billions of pixel writes. So every drawing call is
// costed, in pixels written, before libwmf gets it, and playback stops once the picture has
// cost more than a few coats of itself.
class DrawingBudget {
  public:
    DrawingBudget(const wmfD_Rect& bounds, unsigned width, unsigned height)
        : left_(bounds.TL.x),
          top_(bounds.TL.y),
          width_(width),
          height_(height),
          scaleX_(width / std::max(1e-9, std::abs(double{bounds.BR.x} - bounds.TL.x))),
          scaleY_(height / std::max(1e-9, std::abs(double{bounds.BR.y} - bounds.TL.y))),
          leftToSpend_(std::min(kMaxWork, kCoats * width * height + kAlwaysAllowed)) {}

    // Installs the costing in front of the device's drawing functions of `api`.
    void Guard(wmfAPI* api) {
        auto* device = static_cast<wmfFunctionReference*>(api->function_reference);
        if (!device) throw Error("the metafile player could not start");
        original_ = *device;
        active_ = this;
        device->flood_interior = &costed<&wmfFunctionReference::flood_interior, flood>;
        device->flood_exterior = &costed<&wmfFunctionReference::flood_exterior, flood>;
        device->draw_pixel = &costed<&wmfFunctionReference::draw_pixel, pixel>;
        device->draw_pie = &costed<&wmfFunctionReference::draw_pie, arc>;
        device->draw_chord = &costed<&wmfFunctionReference::draw_chord, arc>;
        device->draw_arc = &costed<&wmfFunctionReference::draw_arc, arc>;
        device->draw_ellipse = &costed<&wmfFunctionReference::draw_ellipse, arc>;
        device->draw_line = &costed<&wmfFunctionReference::draw_line, line>;
        device->poly_line = &costed<&wmfFunctionReference::poly_line, polyLine>;
        device->draw_polygon = &costed<&wmfFunctionReference::draw_polygon, polygon>;
        device->draw_polypolygon = &costed<&wmfFunctionReference::draw_polypolygon, polyPolygon>;
        device->draw_rectangle = &costed<&wmfFunctionReference::draw_rectangle, rectangle>;
        device->rop_draw = &costed<&wmfFunctionReference::rop_draw, rop>;
        device->bmp_draw = &costed<&wmfFunctionReference::bmp_draw, bitmap>;
        device->draw_text = &costed<&wmfFunctionReference::draw_text, text>;
        device->region_frame = &costed<&wmfFunctionReference::region_frame, regionFrame>;
        device->region_paint = &costed<&wmfFunctionReference::region_paint, regionPaint>;
    }
    ~DrawingBudget() { active_ = nullptr; }
    DrawingBudget(const DrawingBudget&) = delete;
    DrawingBudget& operator=(const DrawingBudget&) = delete;

    bool Exceeded() const { return leftToSpend_ < 0; }

  private:
    static constexpr double kCoats = 16;
    static constexpr double kAlwaysAllowed = 1e7;
    static constexpr double kMaxWork = 1e8;  // about a second

    // Passes the call on while the budget lasts; past it, ends playback with an error.
    template <auto Member, auto Cost, typename Data>
    static void costed(wmfAPI* api, Data* data) {
        DrawingBudget& budget = *active_;
        if (!budget.Exceeded()) {
            const double cost = Cost(budget, *data);
            // A cost that is not a number (from absurd coordinates) ends playback too.
            budget.leftToSpend_ = cost <= budget.leftToSpend_ ? budget.leftToSpend_ - cost : -1;
        }
        if (budget.Exceeded()) {
            api->err = wmf_E_UserExit;
            return;
        }
        (budget.original_.*Member)(api, data);
    }

    double pictureArea() const { return width_ * height_; }

    // The pixels of the picture inside the rectangle between two points, across and down.
    std::pair<double, double> span(const wmfD_Coord& a, const wmfD_Coord& b) const {
        auto within = [](double from, double to, double scale, double size) {
            return std::clamp(to * scale, 0.0, size) - std::clamp(from * scale, 0.0, size) + 1;
        };
        return {within(std::min(a.x, b.x) - left_, std::max(a.x, b.x) - left_, scaleX_, width_),
                within(std::min(a.y, b.y) - top_, std::max(a.y, b.y) - top_, scaleY_, height_)};
    }
    double area(const wmfD_Coord& a, const wmfD_Coord& b) const {
        const auto [across, down] = span(a, b);
        return across * down;
    }
    // Pixels written drawing the line from `a` to `b` with the current pen.
    double stroke(const wmfDC* dc, const wmfD_Coord& a, const wmfD_Coord& b) const {
        const double steps =
            std::min(std::max(std::abs(b.x - a.x) * scaleX_, std::abs(b.y - a.y) * scaleY_),
                     std::max(width_, height_)) +
            1;
        const wmfPen* pen = dc->pen;
        if (!pen) return steps;
        const double penWidth = std::clamp(std::ceil(std::abs(pen->width) * scaleX_), 1.0, 1e5);
        const double penHeight = std::clamp(std::ceil(std::abs(pen->height) * scaleY_), 1.0, 1e5);
        return steps * penWidth * penHeight;
    }
    double outline(const wmfDC* dc, const wmfD_Coord* points, std::size_t count) const {
        double cost = 0;
        for (std::size_t i = 0; i + 1 < count; ++i) cost += stroke(dc, points[i], points[i + 1]);
        if (count > 1) cost += stroke(dc, points[count - 1], points[0]);
        return cost;
    }
    double filledOutline(const wmfDC* dc, const wmfD_Coord* points, std::size_t count) const {
        if (count == 0) return 1;
        wmfD_Coord low = points[0], high = points[0];
        for (std::size_t i = 1; i < count; ++i) {
            low = {std::min(low.x, points[i].x), std::min(low.y, points[i].y)};
            high = {std::max(high.x, points[i].x), std::max(high.y, points[i].y)};
        }
        return area(low, high) + outline(dc, points, count);
    }
    double box(const wmfDC* dc, const wmfD_Coord& tl, const wmfD_Coord& br) const {
        const wmfD_Coord corners[] = {tl, {br.x, tl.y}, br, {tl.x, br.y}};
        return filledOutline(dc, corners, 4);
    }

    static double flood(const DrawingBudget& b, const wmfFlood_t&) { return b.pictureArea(); }
    static double pixel(const DrawingBudget& b, const wmfDrawPixel_t& d) {
        return b.area(d.pt, {static_cast<float>(d.pt.x + d.pixel_width),
                             static_cast<float>(d.pt.y + d.pixel_height)});
    }
    static double arc(const DrawingBudget& b, const wmfDrawArc_t& d) {
        return b.box(d.dc, d.TL, d.BR);
    }
    static double line(const DrawingBudget& b, const wmfDrawLine_t& d) {
        return b.stroke(d.dc, d.from, d.to);
    }
    static double polyLine(const DrawingBudget& b, const wmfPolyLine_t& d) {
        return b.outline(d.dc, d.pt, d.count);
    }
    static double polygon(const DrawingBudget& b, const wmfPolyLine_t& d) {
        return b.filledOutline(d.dc, d.pt, d.count);
    }
    static double polyPolygon(const DrawingBudget& b, const wmfPolyPoly_t& d) {
        double cost = 0;
        for (std::size_t i = 0; i < d.npoly; ++i)
            cost += b.filledOutline(d.dc, d.pt[i], d.count[i]);
        return cost;
    }
    static double rectangle(const DrawingBudget& b, const wmfDrawRectangle_t& d) {
        return b.box(d.dc, d.TL, d.BR);
    }
    static double rop(const DrawingBudget& b, const wmfROP_Draw_t& d) { return b.area(d.TL, d.BR); }
    static double bitmap(const DrawingBudget& b, const wmfBMP_Draw_t& d) {
        return b.area(d.pt, {static_cast<float>(d.pt.x + d.crop.w * d.pixel_width),
                             static_cast<float>(d.pt.y + d.crop.h * d.pixel_height)});
    }
    static double text(const DrawingBudget& b, const wmfDrawText_t& d) {
        const double glyphHeight = std::abs(d.font_height) * b.scaleY_;
        const double glyph = std::min(
            b.pictureArea(), (glyphHeight + 1) * (glyphHeight * std::abs(d.font_ratio) + 1));
        return (d.str ? static_cast<double>(std::strlen(d.str)) : 0) * glyph + 1;
    }
    static double regionFrame(const DrawingBudget& b, const wmfPolyRectangle_t& d) {
        const double border = std::max(1.0, std::ceil(std::abs(d.width) * b.scaleX_)) *
                              std::max(1.0, std::ceil(std::abs(d.height) * b.scaleY_));
        double cost = 1;
        for (unsigned i = 0; i < d.count; ++i) {
            const auto [across, down] = b.span(d.TL[i], d.BR[i]);
            cost += border * 2 * (across + down);
        }
        return cost;
    }
    static double regionPaint(const DrawingBudget& b, const wmfPolyRectangle_t& d) {
        double cost = 1;
        for (unsigned i = 0; i < d.count; ++i) cost += b.area(d.TL[i], d.BR[i]);
        return cost;
    }

    static inline thread_local DrawingBudget* active_ = nullptr;
    wmfFunctionReference original_{};
    double left_, top_;
    double width_, height_;
    double scaleX_, scaleY_;
    double leftToSpend_;
};

void requireWmf(wmf_error_t error, wmfAPI* api) {
    if (error != wmf_E_None || api->err != wmf_E_None) throw Error("the file is corrupt");
}

QImage renderWindows(const Bytes& b) {
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
    requireWmf(wmf_mem_open(api.get(), copy.data(), static_cast<long>(copy.size())), api.get());
    wmfD_Rect bounds;
    requireWmf(wmf_scan(api.get(), 0, &bounds), api.get());
    unsigned int width = 0, height = 0;
    requireWmf(wmf_display_size(api.get(), &width, &height, kScreenDpi, kScreenDpi), api.get());
    requireSaneSize(width, height, kMaxWindowsMetafilePixels);

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
    DrawingBudget budget(bounds, width, height);
    budget.Guard(api.get());
    wmf_error_t played = wmf_play(api.get(), 0, &bounds);
    std::fclose(pngStream);
    std::unique_ptr<char, decltype(&std::free)> ownedPng(png, &std::free);
    if (budget.Exceeded()) throw Error("the drawing is too complex to show");
    requireWmf(played, api.get());
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
            return renderWindows(bytes);
        case MetafileKind::Enhanced:
            return renderEnhanced(bytes);
        case MetafileKind::None:
            break;
    }
    throw Error("unsupported picture format");
}

}  // namespace kelvo
