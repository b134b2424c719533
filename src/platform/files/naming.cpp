// Unicode letter classes and digests for names built from values, on Qt's tables.
#include "platform/files/naming.h"

#include <QByteArray>
#include <QChar>
#include <QCryptographicHash>
#include <QList>
#include <QString>

namespace kelvo {

std::size_t LetterOrDigitAt(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size() || (lead >= 0x80 && lead < 0xC2) || lead > 0xF4) return 0;
    // Qt decodes strictly: an overlong form, a surrogate or a bad continuation byte turns
    // into more than one character or into U+FFFD, neither of which is kept.
    const QString decoded = QString::fromUtf8(text.data() + at, static_cast<qsizetype>(length));
    const QList<uint> points = decoded.toUcs4();
    if (points.size() != 1 || points[0] == QChar::ReplacementCharacter) return 0;
    return QChar::isLetterOrNumber(static_cast<char32_t>(points[0])) ? length : 0;
}

std::string DigestHex(const std::string& bytes, std::size_t digits) {
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                 QCryptographicHash::Sha256);
    return digest.toHex().left(static_cast<qsizetype>(digits)).toStdString();
}

}  // namespace kelvo
