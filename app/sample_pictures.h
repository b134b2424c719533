// Generated sample photos for demonstrations: a coloured picture with a caption.
#pragma once

#include <string>

#include "platform/pictures/picture.h"

namespace kelvo {

// A width x height picture with a gradient chosen from `label` and, when a GUI application
// is running to render text, the label written across it. REQUIRES: width, height > 0.
PicturePtr MakeSamplePicture(int width, int height, const std::string& label);

}  // namespace kelvo
