// Picture objects: shared immutable images, each loaded image numbered by its own handle.
#include "platform/pictures/picture.h"

#include <atomic>

#include "platform/pictures/qt_picture.h"

namespace kelvo {

namespace {

std::int64_t nextHandle() {
    static std::atomic<std::int64_t> counter{0};
    return ++counter;
}

const QImage& nullImage() {
    static const QImage null;
    return null;
}

}  // namespace

Picture::Picture(std::shared_ptr<const PictureImage> image) : image_(std::move(image)) {
    if (image_ && !image_->image.isNull()) {
        handle_ = nextHandle();
    } else {
        image_.reset();
    }
}

int Picture::PixelWidth() const {
    return image_ ? image_->image.width() : 0;
}

int Picture::PixelHeight() const {
    return image_ ? image_->image.height() : 0;
}

PicturePtr EmptyPicture() {
    return std::make_shared<Picture>();
}

PicturePtr PictureFromImage(QImage image) {
    if (image.isNull()) return EmptyPicture();
    auto held = std::make_shared<PictureImage>();
    held->image = std::move(image);
    return std::make_shared<Picture>(std::move(held));
}

const QImage& ImageOf(const Picture& picture) {
    return picture.image() ? picture.image()->image : nullImage();
}

}  // namespace kelvo
