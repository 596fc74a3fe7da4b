#pragma once

#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"

#include <QList>
#include <QString>

// Base files as both front ends reach them: the same refusals, the same reading that
// nothing can block and the same safe save (base/SafeSave), and names kept as the
// bytes they are (base/NativePath). What a refusal says does not repeat the path:
// the caller names the file.

// A file this run writes of its own (--log-file, --trace-file): never a base file,
// or the run would write its lines into the base or replace the file it writes them to.
struct RunFile {
    QString path;
    QString role; // "log", "trace"
};
// The files of --log-file and --trace-file; an empty path names none.
QList<RunFile> RunFilesOf(const QString& logFilePath, const QString& traceFilePath);

// Why path cannot be opened as a base file, or empty: anything that is not a
// regular file, or a file of this run. A missing file is left to the reading.
QString OpenRefusal(const QString& path, const QList<RunFile>& runFiles);

// Why no base file can be saved at path, or empty; nothing is written to find out, so
// it can be asked before the console is read: a file of this run, an existing file
// unless replace, and whatever the save itself would refuse (RefusalForSaving).
QString SaveRefusal(const QString& path, bool replace, const QList<RunFile>& runFiles);

// The command line's reading: only a file of exactly the base-file size, since a
// longer one is more likely something else than a base with bytes after it. False,
// with why in error, when it is refused or cannot be read; table is then untouched.
bool LoadBaseFile(const QString& path, const QList<RunFile>& runFiles, ObjectTable& table,
                  QString& error);

// Saves the device table as the window saves it: only a base read completely from
// the console, refused as SaveRefusal says (asked again, as the target may have
// changed during the read), written beside path and renamed over it, or rewritten in
// place where the folder takes no new file.
bool SaveBaseFile(const QString& path, const CObjectBase& objectBase, bool replace,
                  const QList<RunFile>& runFiles, QString& error);

// Saves a file table, prepared by hand, from a list or taken from a file, as the base
// file FileTableBaseFile makes of it: refused as SaveRefusal says, then written
// beside path and renamed over it. The one way both front ends save a file table.
bool SaveFileTableFile(const QString& path, const ObjectTable& fileTable, bool replace,
                       const QList<RunFile>& runFiles, QString& error);

// Makes the folder at path unless one is there already: why not, or empty.
QString MakeFolder(const QString& path);

// The window's file commands once a name is chosen: refused as above (the file
// dialog has already asked about replacing), else through the document, which says
// what became of it.
CKelvarinDoc::OpenResult OpenDocumentFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles);
CKelvarinDoc::SaveResult SaveDocumentFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles);
// "Save file base as...": the file table through SaveFileTableFile.
CKelvarinDoc::SaveResult SaveFileBaseFile(CKelvarinDoc& doc, const QString& path,
                                          const QList<RunFile>& runFiles);
