#include "front/BaseFiles.h"

#include "base/BaseFileCodec.h"
#include "base/FileTableFiles.h"
#include "base/NativePath.h"
#include "base/SafeSave.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace {

// The file a name leads to, to tell whether two names are one file: its device and
// inode when it exists, else the real folder and the name in it.
QByteArray FileIdentity(const QString& path) {
    const QByteArray native = NativePath(path);
    struct stat status {};
    if (::stat(native.constData(), &status) == 0)
        return QByteArray::number(quint64(status.st_dev)) + ':' +
               QByteArray::number(quint64(status.st_ino));
    const qsizetype slash = native.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : native.left(slash + 1);
    char* resolved = ::realpath(folder.constData(), nullptr);
    if (!resolved)
        return {};
    const QByteArray identity = QByteArray(resolved) + '/' + native.mid(slash + 1);
    std::free(resolved);
    return identity;
}

QString RunFileRefusal(const QString& path, const QList<RunFile>& runFiles) {
    const QByteArray identity = FileIdentity(path);
    for (const RunFile& runFile : runFiles) {
        if (!identity.isEmpty() && identity == FileIdentity(runFile.path))
            return QStringLiteral("It is the %1 file of this run").arg(runFile.role);
    }
    return {};
}

} // namespace

QList<RunFile> RunFilesOf(const QString& logFilePath, const QString& traceFilePath) {
    QList<RunFile> files;
    if (!logFilePath.isEmpty())
        files.append({logFilePath, QStringLiteral("log")});
    if (!traceFilePath.isEmpty())
        files.append({traceFilePath, QStringLiteral("trace")});
    return files;
}

QString OpenRefusal(const QString& path, const QList<RunFile>& runFiles) {
    const QString refusal = RunFileRefusal(path, runFiles);
    return refusal.isEmpty() ? RefusalForOpening(path) : refusal;
}

QString SaveRefusal(const QString& path, bool replace, const QList<RunFile>& runFiles) {
    QString refusal = RunFileRefusal(path, runFiles);
    if (refusal.isEmpty())
        refusal = RefusalForSaving(path);
    struct stat status {};
    if (refusal.isEmpty() && !replace && ::lstat(NativePath(path).constData(), &status) == 0)
        refusal = QStringLiteral("It exists; --force replaces it");
    return refusal;
}

bool LoadBaseFile(const QString& path, const QList<RunFile>& runFiles, ObjectTable& table,
                  QString& error) {
    error = RunFileRefusal(path, runFiles);
    QByteArray data;
    // One byte more than a base file tells a longer file from a base file.
    if (!error.isEmpty() || !ReadFileStart(path, qsizetype(baseFileSize) + 1, &data, &error))
        return false;
    if (data.size() > qsizetype(baseFileSize)) {
        error = QStringLiteral("Not a base file (longer than %1 bytes)").arg(baseFileSize);
        return false;
    }
    if (data.size() < qsizetype(baseFileSize)) {
        error = QStringLiteral("Not a base file (%1 bytes, a base file has %2)")
                    .arg(data.size())
                    .arg(baseFileSize);
        return false;
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    return DecodeBaseFile({bytes, baseFileSize}, table);
}

bool SaveBaseFile(const QString& path, const CObjectBase& objectBase, bool replace,
                  const QList<RunFile>& runFiles, QString& error) {
    error = CKelvarinDoc::IncompleteBaseRefusal(objectBase);
    if (error.isEmpty())
        error = SaveRefusal(path, replace, runFiles);
    return error.isEmpty() &&
           SaveBaseFileBytes(path, EncodeBaseFile(objectBase.deviceTable), error);
}

bool SaveFileTableFile(const QString& path, const ObjectTable& fileTable, bool replace,
                       const QList<RunFile>& runFiles, QString& error) {
    error = SaveRefusal(path, replace, runFiles);
    return error.isEmpty() && SaveFileTable(path, fileTable, error);
}

CKelvarinDoc::OpenResult OpenDocumentFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles) {
    const QString refusal = RunFileRefusal(path, runFiles);
    if (refusal.isEmpty())
        return doc.OpenDocument(path);
    doc.ReportFileError(CKelvarinDoc::Report::CannotRead, path, refusal);
    return CKelvarinDoc::OpenResult::Failed;
}

CKelvarinDoc::SaveResult SaveDocumentFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles) {
    const QString refusal = RunFileRefusal(path, runFiles);
    if (refusal.isEmpty())
        return doc.SaveDocument(path);
    doc.ReportFileError(CKelvarinDoc::Report::CannotWrite, path, refusal);
    return CKelvarinDoc::SaveResult::Failed;
}

CKelvarinDoc::SaveResult SaveFileBaseFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles) {
    const QString refusal = RunFileRefusal(path, runFiles);
    if (refusal.isEmpty())
        return doc.SaveFileBase(path);
    doc.ReportFileError(CKelvarinDoc::Report::CannotWrite, path, refusal);
    return CKelvarinDoc::SaveResult::Failed;
}

QString MakeFolder(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("No folder name");
    if (::mkdir(NativePath(path).constData(), 0777) == 0 || errno == EEXIST)
        return {};
    return QString::fromLocal8Bit(std::strerror(errno));
}
