// ResizePhoto: shrinks an image control to fit a frame, keeping the picture's proportions,
// and centres it. Every step that fails is passed over and the next one runs.
#include "store/CPicture.h"
#include "store/store_internal.h"

namespace kelvo {
namespace {

// The frame's usable box is this much smaller than the frame in each direction.
constexpr double kFrameMargin = 50;

double number(ImageControl& control, const char* name) {
    return control.GetProperty(name).toDouble();
}

// part - ((whole - fitted) / whole) * part: the other side, shrunk in proportion.
double shrunk(double part, double whole, double fitted) {
    if (whole == 0) throw Error("the picture has no size");
    return part - ((whole - fitted) / whole) * part;
}

}  // namespace

void CPicture::ResizePhoto(ImageControl& imgCtrl, double MaxWidth, double MaxHeight) {
    const double boxWidth = MaxWidth - kFrameMargin;
    const double boxHeight = MaxHeight - kFrameMargin;
    double naturalWidth = 0, naturalHeight = 0;

    Quietly([&] { imgCtrl.SetProperty("Visible", Variant(false)); });
    Quietly([&] { imgCtrl.SetProperty("Stretch", Variant(false)); });
    Quietly([&] { naturalWidth = number(imgCtrl, "Width"); });
    Quietly([&] { naturalHeight = number(imgCtrl, "Height"); });
    Quietly([&] { imgCtrl.SetProperty("Stretch", Variant(true)); });

    bool tooLarge = false;
    Quietly([&] {
        tooLarge = number(imgCtrl, "Width") > boxWidth || number(imgCtrl, "Height") > boxHeight;
    });
    if (tooLarge) {
        bool wider = false;
        Quietly([&] { wider = number(imgCtrl, "Width") > number(imgCtrl, "Height"); });
        if (wider) {
            Quietly([&] { imgCtrl.SetProperty("Width", Variant(boxWidth)); });
            Quietly([&] {
                const double height = shrunk(naturalHeight, naturalWidth, number(imgCtrl, "Width"));
                imgCtrl.SetProperty("Height", Variant(height));
            });
        } else {
            Quietly([&] { imgCtrl.SetProperty("Height", Variant(boxHeight)); });
            Quietly([&] {
                const double width = shrunk(naturalWidth, naturalHeight, number(imgCtrl, "Height"));
                imgCtrl.SetProperty("Width", Variant(width));
            });
        }
    } else {
        Quietly([&] { imgCtrl.SetProperty("Stretch", Variant(false)); });
    }

    Quietly(
        [&] { imgCtrl.SetProperty("Left", Variant((boxWidth - number(imgCtrl, "Width")) / 2)); });
    Quietly(
        [&] { imgCtrl.SetProperty("Top", Variant((boxHeight - number(imgCtrl, "Height")) / 2)); });
    Quietly([&] { imgCtrl.SetProperty("Visible", Variant(true)); });
    Quietly([&] { imgCtrl.SetProperty("BorderStyle", Variant(0)); });
}

}  // namespace kelvo
