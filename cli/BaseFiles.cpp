#include "cli/BaseFiles.h"

#include "base/BaseFileCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool LoadBaseFile(const QString& path, ObjectTable& table, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    // One byte more than a base file tells a longer file from a base file.
    const QByteArray data = file.read(qint64(baseFileSize) + 1);
    if (file.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (data.size() > qsizetype(baseFileSize)) {
        error = QStringLiteral("%1: not a base file (longer than %2 bytes)")
                    .arg(path)
                    .arg(baseFileSize);
        return false;
    }
    if (data.size() < qsizetype(baseFileSize)) {
        error = QStringLiteral("%1: not a base file (%2 bytes, a base file has %3)")
                    .arg(path)
                    .arg(data.size())
                    .arg(baseFileSize);
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    return DecodeBaseFile({bytes, baseFileSize}, table);
}

bool CheckSaveTarget(const QString& path, bool overwrite, QString& error) {
    const QFileInfo target(path);
    if (target.exists() && !overwrite) {
        error = QStringLiteral("%1 exists; --force replaces it").arg(path);
        return false;
    }
    if (target.isDir()) {
        error = QStringLiteral("%1 is a folder").arg(path);
        return false;
    }
    if (!target.absoluteDir().exists()) {
        error = QStringLiteral("%1: the folder %2 does not exist")
                    .arg(path, QDir::toNativeSeparators(target.absolutePath()));
        return false;
    }
    return true;
}

bool SaveBaseFile(const QString& path, const CObjectBase& objectBase, bool overwrite,
                  QString& error) {
    if (objectBase.deviceBaseComplete != 1) {
        error = QStringLiteral("Невозможно сохранить файл, загрузите базу из ПЦН");
        return false;
    }
    if (!CheckSaveTarget(path, overwrite, error))
        return false;
    const BaseFileBytes bytes = EncodeBaseFile(objectBase.deviceTable);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()) !=
            qint64(bytes.size()) ||
        !file.commit()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

std::vector<int> DifferingObjects(const ObjectTable& first, const ObjectTable& second) {
    std::vector<int> objects;
    for (int k = 1; k <= objectCount; ++k) {
        if (LineByte(first[k].byte1) != LineByte(second[k].byte1) ||
            LineByte(first[k].byte2) != LineByte(second[k].byte2))
            objects.push_back(k);
    }
    return objects;
}
