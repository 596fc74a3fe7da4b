#include "link/CLineFile.h"

bool CLineFile::Open(const QString& path) {
    file.setFileName(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void CLineFile::Append(const QString& line) {
    if (!file.isOpen())
        return;
    file.write(line.toUtf8() + '\n');
    file.flush();
}
