// Drawing the editor's photo: the exposed part at natural size, or a cached scaled copy.
#include "editor/qt/photo_view.h"

#include <QPaintEvent>
#include <QPainter>

#include "platform/pictures/qt_picture.h"

namespace kelvo {

PhotoView::PhotoView(QWidget* parent) : QWidget(parent), picture_(EmptyPicture()) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void PhotoView::setPicture(PicturePtr picture) {
    picture_ = picture ? std::move(picture) : EmptyPicture();
    scaled_ = QImage();
    update();
}

void PhotoView::setStretch(bool stretch) {
    stretch_ = stretch;
    update();
}

void PhotoView::setBorderStyle(int style) {
    borderStyle_ = style;
    update();
}

// Scaled to the screen's own pixels, so that a high-resolution screen shows the photo sharp.
const QImage& PhotoView::scaledToSize() {
    const qreal ratio = devicePixelRatioF();
    const QSize target = (QSizeF(size()) * ratio).toSize();
    if (scaled_.size() == target && scaled_.devicePixelRatio() == ratio) return scaled_;
    const QImage& image = ImageOf(*picture_);
    QImage source = image;
    // A fast halving pass first keeps smooth scaling of a very large photo short.
    if (image.width() > 2 * target.width() && image.height() > 2 * target.height())
        source = image.scaled(target * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    scaled_ = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    scaled_.setDevicePixelRatio(ratio);
    return scaled_;
}

void PhotoView::paintEvent(QPaintEvent* event) {
    if (picture_->IsEmpty() || width() <= 0 || height() <= 0) return;
    QPainter painter(this);
    if (stretch_) {
        painter.drawImage(0, 0, scaledToSize());
    } else {
        QRect exposed = event->rect() & ImageOf(*picture_).rect();
        painter.drawImage(exposed.topLeft(), ImageOf(*picture_), exposed);
    }
    if (borderStyle_ != 0) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

}  // namespace kelvo
