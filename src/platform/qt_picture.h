// The Qt side of picture objects: the image a Picture holds, and the Qt services of the
// platform layer. Only platform and editor Qt code include this.
#pragma once

#include <QImage>
#include <memory>

#include "platform/interaction.h"
#include "platform/picture.h"

namespace kelvo {

struct PictureImage {
    QImage image;
};

// A new picture holding `image`; the empty picture when `image` is null.
PicturePtr PictureFromImage(QImage image);

// The image of a picture; a null image for the empty picture.
const QImage& ImageOf(const Picture& picture);

// Pictures read and written through `files`; `files` must outlive the service.
std::unique_ptr<PictureService> MakeQtPictures(FileSystem& files);

// The Qt implementations behind DefaultServices().
PictureService& QtPictures();  // on LocalFileSystem()
Interaction& QtInteraction();
Clipboard& QtClipboard();

}  // namespace kelvo
