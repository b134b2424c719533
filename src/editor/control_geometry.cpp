// The editor window's design layout in twips and the conversions between scale modes.
#include "editor/control_geometry.h"

namespace kelvo {

ControlGeometry::ControlGeometry(double twipsPerPixelX, double twipsPerPixelY)
    : twipsPerPixelX_(twipsPerPixelX), twipsPerPixelY_(twipsPerPixelY) {
    for (int i = 0; i < kControlCount; ++i) {
        rects_[i] = DesignRect(static_cast<Ctl>(i));
        scaleMode_[i] = vbTwips;
    }
}

TwipsRect ControlGeometry::DesignRect(Ctl c) {
    switch (c) {
        case Ctl::frmPhoto:
            return {0, 0, kFormWidth, kFormHeight};
        case Ctl::fraDetails:
            return {180, 180, 7290, 4905};
        case Ctl::txtDescription:
            return {90, 450, 2800, 300};
        case Ctl::txtComments:
            return {90, 1080, 2800, 915};
        case Ctl::lvwPicDescription:
            return {60, 2280, 2865, 2115};
        case Ctl::picPhotoFrame:
            return {3200, 360, 3955, 3975};
        case Ctl::imgMainPhoto:
            return {1530, 1440, 705, 525};
        case Ctl::HScLeftSet:
            return {0, 3630, 3615, 250};
        case Ctl::VSctopSet:
            return {3630, 0, 250, 3615};
        case Ctl::fraHideBackGround0:
            return {3600, -180, 465, 4245};
        case Ctl::fraHideBackGround1:
            return {-810, 3600, 5625, 735};
        case Ctl::chkDefault:
            return {150, 150, 975, 225};
        case Ctl::optActualsize:
            return {1410, 150, 1245, 255};
        case Ctl::optFit:
            return {2790, 150, 1125, 255};
        case Ctl::chkAction:
            return {90, 5340, 1200, 300};
        case Ctl::cmdSave:
            return {5070, 5340, 1200, 315};
        case Ctl::cmdClose:
            return {6390, 5340, 1200, 315};
    }
    return {};
}

Ctl ControlGeometry::ContainerOf(Ctl c) {
    switch (c) {
        case Ctl::imgMainPhoto:
        case Ctl::HScLeftSet:
        case Ctl::VSctopSet:
        case Ctl::fraHideBackGround0:
        case Ctl::fraHideBackGround1:
            return Ctl::picPhotoFrame;
        default:
            return Ctl::frmPhoto;
    }
}

double ControlGeometry::unitsPerTwip(Ctl container, Dim d) const {
    if (scaleMode_[index(container)] != vbPixels) return 1.0;
    bool horizontal = d == Dim::Left || d == Dim::Width;
    return 1.0 / (horizontal ? twipsPerPixelX_ : twipsPerPixelY_);
}

double ControlGeometry::Get(Ctl c, Dim d) const {
    const TwipsRect& r = rects_[index(c)];
    double twips = d == Dim::Left    ? r.Left
                   : d == Dim::Top   ? r.Top
                   : d == Dim::Width ? r.Width
                                     : r.Height;
    return twips * unitsPerTwip(ContainerOf(c), d);
}

void ControlGeometry::Set(Ctl c, Dim d, double value) {
    TwipsRect& r = rects_[index(c)];
    double twips = value / unitsPerTwip(ContainerOf(c), d);
    switch (d) {
        case Dim::Left:
            r.Left = twips;
            break;
        case Dim::Top:
            r.Top = twips;
            break;
        case Dim::Width:
            r.Width = twips;
            break;
        case Dim::Height:
            r.Height = twips;
            break;
    }
}

double ControlGeometry::ScaleWidth(Ctl c) const {
    double border = c == Ctl::picPhotoFrame ? 2 * kPhotoFrameBorderPixels * twipsPerPixelX_ : 0;
    return (rects_[index(c)].Width - border) * unitsPerTwip(c, Dim::Width);
}

double ControlGeometry::ScaleHeight(Ctl c) const {
    double border = c == Ctl::picPhotoFrame ? 2 * kPhotoFrameBorderPixels * twipsPerPixelY_ : 0;
    return (rects_[index(c)].Height - border) * unitsPerTwip(c, Dim::Height);
}

void ControlGeometry::SizeToPixels(Ctl c, int width, int height) {
    rects_[index(c)].Width = width * twipsPerPixelX_;
    rects_[index(c)].Height = height * twipsPerPixelY_;
}

}  // namespace kelvo
