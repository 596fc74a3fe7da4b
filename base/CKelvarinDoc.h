#pragma once

#include "base/ObjectBase.h"

#include <QObject>
#include <QString>

// The document: the bridge between the object tables and base files. It keeps
// only its path; all base data lives in CObjectBase. What an open or a save did
// is reported as it happens, for the front end to tell the operator.
class CKelvarinDoc : public QObject {
    Q_OBJECT
public:
    enum class OpenResult { Opened, AlreadyOpen, Failed };
    enum class SaveResult { Saved, Refused, Failed };
    enum class Report {
        Loaded,      // a base file was loaded
        Saved,       // the device table, or the file table, was saved
        FormatError, // the file is too short to be a base file
        SaveRefused, // no complete base has been read, or no file base to save
        CannotRead,  // the file cannot be read, or is no regular file
        CannotWrite, // the file cannot be written, or is no regular file
    };

    explicit CKelvarinDoc(CObjectBase& objectBase, QObject* parent = nullptr);

    // File New: untitled again; tables and flags untouched.
    void OnNewDocument();
    // Opening a base file as File > Open does after its dialog. The same path as
    // the current document loads nothing and says nothing (AlreadyOpen).
    OpenResult OpenDocument(const QString& path);
    // Saving the device table as File > Save / Save As do after their dialogs.
    SaveResult SaveDocument(const QString& path);
    // Saving the file table, as it has been loaded and edited, as a base file. The
    // document then names that file, as after any save.
    SaveResult SaveFileBase(const QString& path);
    // Whether path is the document's file, under any spelling of it.
    bool IsOpen(const QString& path) const;

    QString PathName() const { return pathName; } // empty while untitled
    QString Title() const;                        // "Untitled" or the file's name

    // Says that path could not be read or written (CannotRead, CannotWrite) and why,
    // as the document says it of its own files.
    void ReportFileError(Report report, const QString& path, const QString& reason);

    // Why the device table may not be saved yet, or empty: only a base read completely
    // from the console is ever saved, by any front end.
    static QString IncompleteBaseRefusal(const CObjectBase& objectBase);

signals:
    void titleChanged(const QString& title);
    // text is the message for the operator, as the program words it.
    void reported(CKelvarinDoc::Report report, const QString& text);

private:
    bool LoadBase(const QByteArray& data);
    bool StoreBase(const QString& path);
    bool IsCurrentPath(const QString& absolutePath) const;
    void SetPathName(const QString& path);
    void Tell(Report report, const QString& text);

    CObjectBase& objectBase;
    QString pathName;
};
