#include "base/CKelvarinDoc.h"

#include "base/BaseFileCodec.h"
#include "base/FileTableFiles.h"
#include "base/NativePath.h"
#include "base/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString loadedText = QStringLiteral("Загружен файл базы объектов ПЦН VX-418");
const QString refusedText = QStringLiteral("Невозможно сохранить файл, загрузите базу из ПЦН");
const QString noFileBaseText = QStringLiteral("The file column holds no base to save.");
const QString formatText = QStringLiteral("Unexpected file format.");

// By string work alone: QFileInfo would turn a byte kept from a name that is not
// UTF-8 into U+FFFD.
QString AbsolutePath(const QString& path) {
    return QDir::cleanPath(
        QDir::isAbsolutePath(path) ? path : QDir::currentPath() + QLatin1Char('/') + path);
}

// A byte of a name that is not UTF-8 is shown as U+FFFD, the way Qt shows it elsewhere.
QString Shown(const QString& path) {
    return QFile::decodeName(NativePath(path));
}

} // namespace

CKelvarinDoc::CKelvarinDoc(CObjectBase& objectBase, QObject* parent)
    : QObject(parent), objectBase(objectBase) {}

void CKelvarinDoc::OnNewDocument() {
    SetPathName({});
}

QString CKelvarinDoc::Title() const {
    return pathName.isEmpty() ? QStringLiteral("Untitled") : Shown(QFileInfo(pathName).fileName());
}

CKelvarinDoc::OpenResult CKelvarinDoc::OpenDocument(const QString& path) {
    const QString absolutePath = AbsolutePath(path);
    if (IsCurrentPath(absolutePath))
        return OpenResult::AlreadyOpen;

    // Only the first baseFileSize bytes count; whatever follows them is ignored. When
    // nothing can be read, the document stays as it was, name included.
    QByteArray data;
    QString error;
    if (!ReadFileStart(path, qsizetype(baseFileSize), &data, &error)) {
        ReportFileError(Report::CannotRead, path, error);
        return OpenResult::Failed;
    }

    // An empty file is a document with no base in it yet: it takes the name only.
    if (!data.isEmpty() && !LoadBase(data)) {
        SetPathName({});
        return OpenResult::Failed;
    }
    SetPathName(absolutePath);
    if (!data.isEmpty())
        Tell(Report::Loaded, loadedText);
    return OpenResult::Opened;
}

CKelvarinDoc::SaveResult CKelvarinDoc::SaveDocument(const QString& path) {
    // Refused before the file is touched, so an existing base file survives it.
    const QString refusal = IncompleteBaseRefusal(objectBase);
    if (!refusal.isEmpty()) {
        Tell(Report::SaveRefused, refusal);
        return SaveResult::Refused;
    }
    if (!StoreBase(path))
        return SaveResult::Failed;

    std::copy_n(objectBase.deviceTable.begin(), baseRecordCount, objectBase.fileTable.begin());
    objectBase.fileBaseLoaded = 1;
    SetPathName(AbsolutePath(path));
    Tell(Report::Saved, loadedText);
    return SaveResult::Saved;
}

CKelvarinDoc::SaveResult CKelvarinDoc::SaveFileBase(const QString& path) {
    if (objectBase.fileBaseLoaded != 1) {
        Tell(Report::SaveRefused, noFileBaseText);
        return SaveResult::Refused;
    }
    QString error;
    if (!SaveFileTable(path, objectBase.fileTable, error)) {
        ReportFileError(Report::CannotWrite, path, error);
        return SaveResult::Failed;
    }
    SetPathName(AbsolutePath(path));
    Tell(Report::Saved, loadedText);
    return SaveResult::Saved;
}

bool CKelvarinDoc::IsOpen(const QString& path) const {
    return IsCurrentPath(AbsolutePath(path));
}

bool CKelvarinDoc::LoadBase(const QByteArray& data) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.constData());
    // The decoder checks the length before it writes, so a short file leaves the
    // file table exactly as it was.
    if (!DecodeBaseFile({bytes, size_t(data.size())}, objectBase.fileTable)) {
        Tell(Report::FormatError, formatText);
        return false;
    }
    objectBase.fileBaseLoaded = 1;
    return true;
}

bool CKelvarinDoc::StoreBase(const QString& path) {
    // Written beside the target and renamed over it, so a failed save never leaves a
    // truncated base file behind.
    QString error;
    if (!SaveBaseFileBytes(path, EncodeBaseFile(objectBase.deviceTable), error)) {
        ReportFileError(Report::CannotWrite, path, error);
        return false;
    }
    return true;
}

bool CKelvarinDoc::IsCurrentPath(const QString& absolutePath) const {
    if (pathName.isEmpty())
        return false;
    if (absolutePath == pathName)
        return true;
    // The same file reached through a link or another spelling of its folder.
    const QString canonical = QFileInfo(absolutePath).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(pathName).canonicalFilePath();
}

void CKelvarinDoc::SetPathName(const QString& path) {
    if (path == pathName)
        return;
    pathName = path;
    emit titleChanged(Title());
}

// Told at the point where it happens, so a front end that shows a modal box shows
// it before the document goes on (a failed load turns untitled only after it).
void CKelvarinDoc::Tell(Report report, const QString& text) {
    emit reported(report, text);
}

QString CKelvarinDoc::IncompleteBaseRefusal(const CObjectBase& objectBase) {
    return objectBase.deviceBaseComplete == 1 ? QString() : refusedText;
}

void CKelvarinDoc::ReportFileError(Report report, const QString& path, const QString& reason) {
    const QString format = report == Report::CannotRead ? tr("Cannot read file %1:\n%2")
                                                        : tr("Cannot write file %1:\n%2");
    Tell(report, format.arg(QDir::toNativeSeparators(Shown(path)), reason));
}
