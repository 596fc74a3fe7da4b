#include "base/SafeSave.h"

#include <QSaveFile>

bool SaveFileSafely(const QString& path, const QByteArray& bytes, QString* errorText) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (errorText)
        *errorText = file.errorString();
    return false;
}
