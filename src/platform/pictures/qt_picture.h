// The Qt side of picture objects: the image a Picture holds and the Qt picture service. Only
// platform and editor Qt code include this.
#pragma once

#include <QImage>
#include <memory>

#include "platform/pictures/picture.h"
#include "platform/pictures/picture_service.h"

namespace kelvo {

class FileSystem;

struct PictureImage {
    QImage image;
};

// A new picture holding `image`; the empty picture when `image` is null.
PicturePtr PictureFromImage(QImage image);

// The image of a picture; a null image for the empty picture.
const QImage& ImageOf(const Picture& picture);

// Pictures read and written through `files`; `files` must outlive the service.
std::unique_ptr<PictureService> MakeQtPictures(FileSystem& files);

// The Qt picture service behind DefaultServices(), on LocalFileSystem().
PictureService& QtPictures();

}  // namespace kelvo
