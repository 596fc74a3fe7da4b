#include "panel/CLogFile.h"

bool CLogFile::Open(const QString& path) {
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void CLogFile::Append(const QString& line) {
    if (!file.isOpen())
        return;
    file.write(line.toUtf8() + '\n');
    file.flush();
}
