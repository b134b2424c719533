// Where the editor window's controls are, in twips: the design layout, the containers'
// scale modes and the pixel conversion, shared by every FormControls implementation.
#pragma once

#include <array>

#include "editor/form_controls.h"

namespace kelvo {

struct TwipsRect {
    double Left = 0, Top = 0, Width = 0, Height = 0;
};

inline constexpr int kControlCount = static_cast<int>(Ctl::cmdClose) + 1;

// The window's client area.
inline constexpr double kFormWidth = 7635, kFormHeight = 5730;
// picPhotoFrame's sunken border, in pixels on each side.
inline constexpr int kPhotoFrameBorderPixels = 2;

class ControlGeometry {
  public:
    // Every control starts at its design position.
    ControlGeometry(double twipsPerPixelX, double twipsPerPixelY);

    static TwipsRect DesignRect(Ctl c);
    // picPhotoFrame for the viewer's parts; frmPhoto (always twips) for everything else.
    static Ctl ContainerOf(Ctl c);

    double Get(Ctl c, Dim d) const;  // in the container's scale mode
    void Set(Ctl c, Dim d, double value);
    double ScaleWidth(Ctl c) const;
    double ScaleHeight(Ctl c) const;
    void ScaleMode(Ctl c, int mode) { scaleMode_[index(c)] = mode; }

    const TwipsRect& Twips(Ctl c) const { return rects_[index(c)]; }
    // Gives a control the natural size of a picture of width x height pixels.
    void SizeToPixels(Ctl c, int width, int height);

    double TwipsPerPixelX() const { return twipsPerPixelX_; }
    double TwipsPerPixelY() const { return twipsPerPixelY_; }

  private:
    static int index(Ctl c) { return static_cast<int>(c); }
    double unitsPerTwip(Ctl container, Dim d) const;

    double twipsPerPixelX_, twipsPerPixelY_;
    std::array<TwipsRect, kControlCount> rects_{};
    std::array<int, kControlCount> scaleMode_{};
};

}  // namespace kelvo
