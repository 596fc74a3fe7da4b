#include "base/FileTableFiles.h"

#include "base/FileTableEdit.h"
#include "base/SafeSave.h"

#include <QStringDecoder>
#include <QStringList>

QString DecodeSpreadsheetText(const QByteArray& bytes) {
    // Only a byte order mark tells UTF-16; the decoder leaves the mark out.
    if (const std::optional<QStringConverter::Encoding> marked =
            QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*marked);
        return decoder(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    // Windows-1251 text is almost never valid UTF-8: its letters are bytes of 0xC0 and
    // up, which UTF-8 never puts side by side. Qt decodes it through ICU; a Qt without
    // ICU keeps the UTF-8 reading, where only letters suffer and never the digits.
    QStringDecoder cyrillic("windows-1251");
    return cyrillic.isValid() ? cyrillic(bytes) : text;
}

ObjectList ReadObjectCsv(const QByteArray& bytes) {
    return ParseObjectList(DecodeSpreadsheetText(bytes).toStdString());
}

bool ReadObjectCsvFile(const QString& path, ObjectList& list, QString& error) {
    QByteArray bytes;
    if (!ReadFileStart(path, objectCsvMaxBytes + 1, &bytes, &error))
        return false;
    if (bytes.size() > objectCsvMaxBytes) {
        error = QStringLiteral("It is larger than %1 KiB, too large for a list of objects")
                    .arg(objectCsvMaxBytes / 1024);
        return false;
    }
    list = ReadObjectCsv(bytes);
    return true;
}

QString ObjectListFaultText(const std::vector<ObjectListFault>& faults, qsizetype maxLines) {
    QStringList lines;
    for (const ObjectListFault& fault : faults) {
        if (lines.size() == maxLines) {
            lines << QStringLiteral("... and %1 more").arg(qsizetype(faults.size()) - maxLines);
            break;
        }
        lines << QStringLiteral("line %1: %2: %3")
                     .arg(fault.line)
                     .arg(QString::fromStdString(fault.text).trimmed(),
                          QString::fromStdString(fault.reason));
    }
    return lines.join(QLatin1Char('\n'));
}

bool SaveBaseFileBytes(const QString& path, const BaseFileBytes& bytes, QString& error) {
    return SaveFileSafely(
        path, QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &error);
}

bool SaveFileTable(const QString& path, const ObjectTable& fileTable, QString& error) {
    return SaveBaseFileBytes(path, FileTableBaseFile(fileTable), error);
}
