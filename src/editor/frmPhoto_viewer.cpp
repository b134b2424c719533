// frmPhoto's viewer: the photo fitted into the viewing area or at actual size with scroll
// bars, its size in the frame caption, and the check against the store's maximum size.
#include <cmath>

#include "editor/form_support.h"
#include "editor/frmPhoto.h"
#include "platform/error.h"
#include "platform/text.h"

namespace kelvo {

using enum Ctl;

void frmPhoto::ResetPhotoArea() {
    ctl_.Left(imgMainPhoto, 0);
    ctl_.Top(imgMainPhoto, 0);
    ctl_.Width(imgMainPhoto, ctl_.Width(picPhotoFrame));
    ctl_.Height(imgMainPhoto, ctl_.Height(picPhotoFrame));
    ctl_.BorderStyle(imgMainPhoto, 0);
    ctl_.Visible(fraHideBackGround0, false);
    ctl_.Visible(fraHideBackGround1, false);
}

void frmPhoto::MeasurePhoto() {
    ctl_.Visible(imgMainPhoto, false);
    ctl_.Stretch(imgMainPhoto, false);
    ctl_.ScaleMode(picPhotoFrame, vbPixels);
    dPixelWidth = ctl_.Width(imgMainPhoto);
    dPixelHeight = ctl_.Height(imgMainPhoto);
    ctl_.ScaleMode(picPhotoFrame, vbTwips);
    dPhotoWidth = ctl_.Width(imgMainPhoto);
    dPhotoHeight = ctl_.Height(imgMainPhoto);
}

void frmPhoto::LayoutPhoto() {
    bool fitted = true;
    Quietly([&] { fitted = ctl_.Value(optFit) == 1; });
    if (fitted)
        layoutFitted();
    else
        layoutActualSize();
    applyPhotoInfoAndLimit();
}

namespace {

double divided(double numerator, double denominator) {
    if (denominator == 0) throw Error("Division by zero");
    return numerator / denominator;
}

}  // namespace

void frmPhoto::layoutFitted() {
    for (Ctl hidden : {VSctopSet, HScLeftSet, fraHideBackGround0, fraHideBackGround1, imgMainPhoto})
        Quietly([&] { ctl_.Visible(hidden, false); });
    Quietly([&] { ctl_.Stretch(imgMainPhoto, true); });
    Quietly([&] {
        double W = ctl_.Width(imgMainPhoto), H = ctl_.Height(imgMainPhoto);
        if (W > ctl_.ScaleWidth(picPhotoFrame) || H > ctl_.ScaleHeight(picPhotoFrame)) {
            if (W > H) {
                ctl_.Width(imgMainPhoto, Single(ctl_.ScaleWidth(picPhotoFrame) - 200));
                double fittedW = ctl_.Width(imgMainPhoto);
                ctl_.Height(imgMainPhoto,
                            Single(dPhotoHeight -
                                   divided(dPhotoWidth - fittedW, dPhotoWidth) * dPhotoHeight));
            } else {
                ctl_.Height(imgMainPhoto, Single(ctl_.ScaleHeight(picPhotoFrame) - 200));
                double fittedH = ctl_.Height(imgMainPhoto);
                ctl_.Width(imgMainPhoto,
                           Single(dPhotoWidth -
                                  divided(dPhotoHeight - fittedH, dPhotoHeight) * dPhotoWidth));
            }
        }
    });
    Quietly([&] {
        ctl_.Left(imgMainPhoto, Single((ctl_.Width(picPhotoFrame) - ctl_.Width(imgMainPhoto)) / 2));
    });
    Quietly([&] {
        ctl_.Top(imgMainPhoto,
                 Single((ctl_.Height(picPhotoFrame) - ctl_.Height(imgMainPhoto)) / 2));
    });
}

void frmPhoto::layoutActualSize() {
    Quietly([&] { ctl_.Stretch(imgMainPhoto, false); });
    layoutActualSizeAlong({Dim::Height, Dim::Top, fraHideBackGround0, VSctopSet, HScLeftSet});
    layoutActualSizeAlong({Dim::Width, Dim::Left, fraHideBackGround1, HScLeftSet, VSctopSet});
}

// A photo larger than the frame along the axis starts at its edge with the axis's scroll bar
// shown; a smaller one is centred.
void frmPhoto::layoutActualSizeAlong(const ViewAxis& axis) {
    auto extent = [&](Ctl c) { return ctl_.Get(c, axis.extent); };
    bool overflows = false;
    // An empty picture keeps the frame's size but has nothing to scroll.
    Quietly([&] { overflows = photoShown() && extent(imgMainPhoto) >= extent(picPhotoFrame); });
    if (overflows) {
        Quietly([&] { ctl_.Set(imgMainPhoto, axis.position, 0); });
        Quietly([&] { ctl_.Visible(axis.cover, true); });
        Quietly([&] { ctl_.Visible(axis.bar, true); });
        Quietly([&] {
            setMax(axis.bar, CInt(extent(imgMainPhoto) - extent(picPhotoFrame) +
                                  extent(axis.otherBar) + 100));
        });
        Quietly([&] { ctl_.SmallChange(axis.bar, 200); });
        Quietly([&] { ctl_.LargeChange(axis.bar, 200); });
        Quietly([&] { setValue(axis.otherBar, 0); });
    } else {
        Quietly([&] { ctl_.Visible(axis.cover, false); });
        Quietly([&] { ctl_.Visible(axis.bar, false); });
        Quietly([&] {
            ctl_.Set(imgMainPhoto, axis.position,
                     Single((extent(picPhotoFrame) - extent(imgMainPhoto)) / 2));
        });
    }
}

void frmPhoto::applyPhotoInfoAndLimit() {
    Quietly([&] { ctl_.Visible(imgMainPhoto, true); });
    double kb = 0;
    bool bSizeOver = false;
    Quietly([&] {
        bool over = false;
        std::string size = store().VerifyPhotoSize(*ctl_.Picture(imgMainPhoto), &over);
        bSizeOver = over;
        kb = CDbl(size);
    });
    Quietly([&] {
        ctl_.Caption(fraDetails, "Photo - " + NumberText(std::nearbyint(dPixelWidth)) + " x " +
                                     NumberText(std::nearbyint(dPixelHeight)) + " Pixels (" +
                                     NumberText(kb) + " KB)");
    });
    Quietly([&] {
        double maxSize = store().PhotosMaxSize;
        if (maxSize > 0 && kb > maxSize) {
            ctl_.Enabled(cmdSave, !bSizeOver);
            bPhotoTooBig = bSizeOver;
            MsgBox("This Photo is bigger than the maximum photo size: " + NumberText(maxSize) +
                       "KB, Photo size: " + NumberText(kb) + "KB (Bitmap Format)",
                   vbExclamation);
        } else {
            ctl_.Enabled(cmdSave, true);
            bPhotoTooBig = false;
        }
    });
}

void frmPhoto::HScLeftSet_Change() {
    ctl_.Left(imgMainPhoto, -ctl_.Value(HScLeftSet));
}

void frmPhoto::VSctopSet_Change() {
    ctl_.Top(imgMainPhoto, -ctl_.Value(VSctopSet));
}

}  // namespace kelvo
