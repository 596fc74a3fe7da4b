#pragma once

#include <QFile>
#include <QString>

// A text file that lines are appended to (--log-file, --trace-file): UTF-8, one
// line each, flushed at once so that a watching script or a crash loses nothing.
class CLineFile {
public:
    // Opens path for appending; false (with the reason in ErrorString) when it cannot.
    bool Open(const QString& path);
    void Append(const QString& line);
    QString ErrorString() const { return file.errorString(); }

private:
    QFile file;
};
