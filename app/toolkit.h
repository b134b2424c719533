// The window toolkit's application object for kelvophotos, and whether a display exists.
#pragma once

#include <memory>

namespace kelvo::cli {

// True when a window can be shown: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool HasDisplay();

class Toolkit {
  public:
    virtual ~Toolkit() = default;
};

// `windows`: a widgets application for the editor (REQUIRES: HasDisplay()); otherwise a GUI
// application without a screen, enough for pictures and their captions.
std::unique_ptr<Toolkit> StartToolkit(int& argc, char** argv, bool windows);

}  // namespace kelvo::cli
