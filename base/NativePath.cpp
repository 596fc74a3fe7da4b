#include "base/NativePath.h"

#include <QByteArrayView>

namespace {

constexpr char16_t escapeBase = 0xDC00;

// The length of the UTF-8 sequence that a lead byte starts, or 0 for no lead byte.
qsizetype SequenceLength(uint8_t lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 0;
}

bool IsEscape(const QString& path, qsizetype i) {
    const char16_t c = path.at(i).unicode();
    return c >= escapeBase + 0x80 && c <= escapeBase + 0xFF &&
           (i == 0 || !path.at(i - 1).isHighSurrogate());
}

} // namespace

QString PathFromNative(const QByteArray& bytes) {
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    QString path;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype length = SequenceLength(uint8_t(bytes[i]));
        const QByteArrayView sequence(bytes.constData() + i, std::min(length, bytes.size() - i));
        if (length > 0 && sequence.size() == length && sequence.isValidUtf8()) {
            path += QString::fromUtf8(sequence);
            i += length;
        } else {
            path += QChar(escapeBase + uint8_t(bytes[i]));
            ++i;
        }
    }
    return path;
}

QByteArray NativePath(const QString& path) {
    QByteArray bytes;
    qsizetype textStart = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!IsEscape(path, i))
            continue;
        bytes += QStringView(path).sliced(textStart, i - textStart).toUtf8();
        bytes += char(path.at(i).unicode() - escapeBase);
        textStart = i + 1;
    }
    bytes += QStringView(path).sliced(textStart).toUtf8();
    return bytes;
}

bool IsTextPath(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i)
        if (IsEscape(path, i))
            return false;
    return true;
}
