// Strings between the logic's std::string and Qt's QString, for the editor window's files.
#pragma once

#include <QString>
#include <string>

namespace kelvo {

inline QString toQString(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string fromQString(const QString& text) {
    return text.toStdString();
}

}  // namespace kelvo
