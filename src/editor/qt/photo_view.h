// The image control of the editor window on Qt: draws its picture at natural size, or
// stretched to its size from a copy scaled once per size, so large photos stay responsive.
#pragma once

#include <QImage>
#include <QWidget>

#include "platform/pictures/picture.h"

namespace kelvo {

class PhotoView : public QWidget {
    Q_OBJECT
  public:
    explicit PhotoView(QWidget* parent = nullptr);

    PicturePtr picture() const { return picture_; }
    void setPicture(PicturePtr picture);
    bool stretch() const { return stretch_; }
    void setStretch(bool stretch);
    void setBorderStyle(int style);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const QImage& scaledToSize();

    PicturePtr picture_;
    bool stretch_ = false;
    int borderStyle_ = 0;
    QImage scaled_;  // the picture scaled to the widget, made when first drawn at that size
};

}  // namespace kelvo
