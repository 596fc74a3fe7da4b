#include "base/SafeSave.h"

#include "base/NativePath.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(QString* errorText, const QString& why) {
    if (errorText)
        *errorText = why;
    return false;
}

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why a file of this kind is no base file; empty for a regular file.
QString RefusalForKind(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("It is a folder, not a regular file");
    if (S_ISFIFO(mode))
        return QStringLiteral("It is a named pipe (FIFO), not a regular file");
    if (S_ISCHR(mode))
        return QStringLiteral("It is a character device, not a regular file");
    if (S_ISBLK(mode))
        return QStringLiteral("It is a block device, not a regular file");
    if (S_ISSOCK(mode))
        return QStringLiteral("It is a socket, not a regular file");
    return QStringLiteral("It is not a regular file");
}

// Callers check the kind before opening, since opening a device may already act on
// it. Should something else be put at the path after that check, O_NONBLOCK keeps a
// named pipe from waiting for its other end, and the handle is refused here.
int OpenRegularFile(const QByteArray& path, int flags, QString* errorText) {
    const int handle = ::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (handle < 0) {
        Fail(errorText, SystemError(errno));
        return -1;
    }
    struct stat status {};
    const bool statted = ::fstat(handle, &status) == 0;
    const QString refusal = statted ? RefusalForKind(status.st_mode) : SystemError(errno);
    if (refusal.isEmpty())
        return handle;
    ::close(handle);
    Fail(errorText, refusal);
    return -1;
}

bool WriteAll(int handle, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(handle, bytes.constData() + done, bytes.size() - done);
        if (written < 0 && errno != EINTR)
            return false;
        done += std::max<ssize_t>(written, 0);
    }
    return true;
}

// Writes from the start, cuts off what an older and longer content left behind,
// flushes to the disk and closes. errno says why when it fails.
bool WriteAndClose(int handle, const QByteArray& bytes) {
    const bool written =
        WriteAll(handle, bytes) && ::ftruncate(handle, bytes.size()) == 0 && ::fsync(handle) == 0;
    const int writeError = errno;
    const bool closed = ::close(handle) == 0;
    if (!written)
        errno = writeError;
    return written && closed;
}

// A new file beside target, with a name of its own that nobody else uses.
int CreateBeside(const QByteArray& target, QByteArray* temporary) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray prefix = target.left(slash + 1) + '.' + target.mid(slash + 1) + '.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = prefix + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int handle =
            ::open(temporary->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (handle >= 0 || errno != EEXIST)
            return handle;
    }
    return -1;
}

} // namespace

namespace {

// What a save would find at a path: whether something is there, and what.
struct SaveTarget {
    QByteArray native;
    bool exists = false;
    struct stat status {};
};

// Why nothing can be saved at target, or empty. Checked without writing anything.
QString Refusal(SaveTarget& target) {
    const QByteArray& native = target.native;
    if (native.isEmpty())
        return QStringLiteral("No file name was given");
    target.exists = ::stat(native.constData(), &target.status) == 0;
    if (!target.exists && errno != ENOENT)
        return SystemError(errno);
    if (target.exists && !S_ISREG(target.status.st_mode))
        return RefusalForKind(target.status.st_mode);
    struct stat linkStatus {};
    if (!target.exists && ::lstat(native.constData(), &linkStatus) == 0)
        return QStringLiteral("It is a link to a file that does not exist");
    // A file the user may not write is kept, as the user meant it to be. A new file
    // needs a folder that takes one. Checked as the file system checks the writer.
    if (target.exists) {
        if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) != 0)
            return SystemError(errno);
        return {};
    }
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder =
        slash < 0 ? QByteArray(".") : native.left(std::max<qsizetype>(slash, 1));
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return SystemError(errno);
    return {};
}

} // namespace

QString RefusalForSaving(const QString& path) {
    SaveTarget target{NativePath(path)};
    return Refusal(target);
}

bool SaveFileSafely(const QString& path, const QByteArray& bytes, QString* errorText) {
    SaveTarget examined{NativePath(path)};
    const QString refusal = Refusal(examined);
    if (!refusal.isEmpty())
        return Fail(errorText, refusal);
    const bool exists = examined.exists;

    // Through a link the file it leads to is replaced, and the link stays a link.
    QByteArray target = examined.native;
    if (exists) {
        char* resolved = ::realpath(target.constData(), nullptr);
        if (!resolved)
            return Fail(errorText, SystemError(errno));
        target = resolved;
        std::free(resolved);
    }

    QByteArray temporary;
    const int handle = CreateBeside(target, &temporary);
    if (handle < 0) {
        // A file the user may write in a folder that takes no new files: it can only
        // be rewritten where it stands, without the guard against a write cut short.
        if (!exists || (errno != EACCES && errno != EPERM))
            return Fail(errorText, SystemError(errno));
        const int inPlace = OpenRegularFile(target, O_WRONLY, errorText);
        if (inPlace < 0)
            return false;
        return WriteAndClose(inPlace, bytes) || Fail(errorText, SystemError(errno));
    }
    // The new file takes the permissions of the one it replaces.
    if (exists)
        ::fchmod(handle, examined.status.st_mode & 07777);
    if (WriteAndClose(handle, bytes) && ::rename(temporary.constData(), target.constData()) == 0)
        return true;
    const int saveError = errno;
    ::unlink(temporary.constData());
    return Fail(errorText, SystemError(saveError));
}

QString RefusalForOpening(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("No file name was given");
    struct stat status {};
    if (::stat(NativePath(path).constData(), &status) != 0)
        return {};
    return RefusalForKind(status.st_mode);
}

bool ReadFileStart(const QString& path, qsizetype maxBytes, QByteArray* bytes, QString* errorText) {
    const QString refusal = RefusalForOpening(path);
    if (!refusal.isEmpty())
        return Fail(errorText, refusal);
    const int handle = OpenRegularFile(NativePath(path), O_RDONLY, errorText);
    if (handle < 0)
        return false;
    QFile file;
    file.open(handle, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    *bytes = file.read(maxBytes);
    return file.error() == QFileDevice::NoError || Fail(errorText, file.errorString());
}
