#include "link/CLogFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

CLogFile::~CLogFile() {
    if (fd < 0)
        return;
    // A last try for what still waits; nobody is left to hear how it went.
    WriteOut();
    ::close(fd);
}

bool CLogFile::Open(const QString& path) {
    // Not blocking: neither the open (a FIFO without a reader) nor a write (a pipe
    // whose reader has stopped) may hold up the program.
    fd = ::open(QFile::encodeName(path).constData(),
                O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        errorString = SystemError(errno);
        return false;
    }
    this->path = path;
    return true;
}

void CLogFile::Append(const QString& line) {
    if (fd < 0)
        return;
    Keep(line.toUtf8() + '\n');
    const int error = WriteOut();
    if (error != 0) {
        NoteFailure(error);
    } else if (failing) {
        failing = false;
        QString text = tr("log file %1 is written again").arg(path);
        if (lostInOutage > 0)
            text += tr("; %1 lines could not be kept and are missing from it").arg(lostInOutage);
        lostInOutage = 0;
        emit writeResumed(text);
    }
}

// Lines wait in order; once one has not fit, every later one is only counted,
// so that the file never shows a line after a gap without the marker first.
void CLogFile::Keep(const QByteArray& bytes) {
    if (lostLines == 0 && kept.size() + bytes.size() <= backlogLimit)
        kept += bytes;
    else
        ++lostLines;
}

int CLogFile::WriteOut() {
    while (!kept.isEmpty()) {
        const ssize_t written = ::write(fd, kept.constData(), std::size_t(kept.size()));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        kept.remove(0, written);
        if (kept.isEmpty() && lostLines > 0) {
            kept = QStringLiteral("kelvarin: %1 lines of the log are missing here: the log "
                                  "file could not be written\n")
                       .arg(lostLines)
                       .toUtf8();
            lostInOutage += lostLines;
            lostLines = 0;
        }
    }
    return 0;
}

void CLogFile::NoteFailure(int error) {
    if (failing)
        return;
    failing = true;
    failureText = tr("log file %1 cannot be written: %2 (lines wait for it, up to %3 KiB)")
                      .arg(path, SystemError(error))
                      .arg(backlogLimit / 1024);
    emit writeFailed(failureText);
}
