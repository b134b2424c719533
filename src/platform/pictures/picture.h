// Picture objects: an immutable image shared by reference. Handle() is 0 for the empty
// picture, and a number unique to the loaded image otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"

namespace kelvo {

struct PictureImage;  // toolkit image, defined in platform/pictures/qt_picture.h

class KELVO_API Picture {
  public:
    Picture() = default;  // the empty picture
    explicit Picture(std::shared_ptr<const PictureImage> image);

    std::int64_t Handle() const { return handle_; }
    bool IsEmpty() const { return handle_ == 0; }
    int PixelWidth() const;   // 0 when empty
    int PixelHeight() const;  // 0 when empty

    const std::shared_ptr<const PictureImage>& image() const { return image_; }

  private:
    std::shared_ptr<const PictureImage> image_;
    std::int64_t handle_ = 0;
};

using PicturePtr = std::shared_ptr<Picture>;

// A new empty picture (LoadPicture without a path).
KELVO_API PicturePtr EmptyPicture();

}  // namespace kelvo
