#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// The file a path (as its bytes) leads to, told apart from any other put there: kind,
// inode and time of the last change. Empty when there is none.
inline QString Identity(const QByteArray& path) {
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return {};
    return QStringLiteral("%1 %2 %3.%4")
        .arg(status.st_mode & S_IFMT)
        .arg(status.st_ino)
        .arg(status.st_mtim.tv_sec)
        .arg(status.st_mtim.tv_nsec);
}
