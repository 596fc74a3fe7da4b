#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A text file that lines are appended to (--log-file, --trace-file), UTF-8, one
// line each, written at once so that a watching script or a crash loses nothing.
// It never makes the program or the line wait: a file that takes nothing now
// (a full disk, a removed stick, a pipe nobody reads) keeps the lines for a later
// try, the oldest backlogLimit bytes of them; lines past that are counted, and a
// marker line saying how many goes into the file where they are missing.
class CLogFile : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype backlogLimit = 1024 * 1024;

    CLogFile() = default;
    ~CLogFile() override;

    // Opens path for appending; false (with the reason in ErrorString) when it cannot.
    bool Open(const QString& path);
    void Append(const QString& line);
    QString ErrorString() const { return errorString; }

    // What waits for the file: kept bytes, and lines not kept.
    qsizetype KeptBytes() const { return kept.size(); }
    qint64 LostLines() const { return lostLines; }
    // Why the file takes nothing at the moment, for the status bar; empty while it does.
    QString Failure() const { return failing ? failureText : QString(); }

signals:
    // Once when the file stops taking lines, and once when it takes them again.
    void writeFailed(const QString& text);
    void writeResumed(const QString& text);

private:
    // Writes what waits, and the marker after it when lines were lost; 0, or the
    // system's error number when the file took no more.
    int WriteOut();
    void Keep(const QByteArray& bytes);
    void NoteFailure(int error);

    int fd = -1;
    QString path;
    QString errorString;
    QByteArray kept; // starts where the file stopped, maybe part-way through a line
    qint64 lostLines = 0;
    qint64 lostInOutage = 0;
    bool failing = false;
    QString failureText;
};
