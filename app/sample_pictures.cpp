// Sample photos drawn with Qt for the demo database.
#include "sample_pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <functional>

#include "platform/error.h"
#include "platform/pictures/qt_picture.h"

namespace kelvo {

PicturePtr MakeSamplePicture(int width, int height, const std::string& label) {
    if (width <= 0 || height <= 0) throw Error("a sample picture needs a positive size");
    QImage image(width, height, QImage::Format_RGB32);
    const int hue = static_cast<int>(std::hash<std::string>{}(label) % 360);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor::fromHsv(hue, 160, 230));
    gradient.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 200, 120));
    QPainter painter(&image);
    painter.fillRect(image.rect(), gradient);
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        painter.setPen(Qt::white);
        QFont font = painter.font();
        font.setPixelSize(std::max(10, height / 8));
        painter.setFont(font);
        painter.drawText(image.rect(), Qt::AlignCenter, QString::fromStdString(label));
    }
    painter.end();
    return PictureFromImage(std::move(image));
}

}  // namespace kelvo
