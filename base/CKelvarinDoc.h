#pragma once

#include "base/ObjectBase.h"

#include <QObject>
#include <QString>

class QWidget;

// The document: the bridge between the object tables and base files. It keeps
// only its path; all base data lives in CObjectBase.
class CKelvarinDoc : public QObject {
    Q_OBJECT
public:
    enum class OpenResult { Opened, AlreadyOpen, Failed };
    enum class SaveResult { Saved, Refused, Failed };

    explicit CKelvarinDoc(CObjectBase& objectBase, QObject* parent = nullptr);

    // Message boxes are shown over this window (none: no parent).
    void SetDialogParent(QWidget* parent);

    // File New: untitled again; tables and flags untouched.
    void OnNewDocument();
    // Opening a base file as File > Open does after its dialog. The same path as
    // the current document loads nothing and says nothing (AlreadyOpen).
    OpenResult OpenDocument(const QString& path);
    // Saving the device table as File > Save / Save As do after their dialogs.
    SaveResult SaveDocument(const QString& path);

    QString PathName() const { return pathName; } // empty while untitled
    QString Title() const;                        // "Untitled" or the file's name

signals:
    void titleChanged(const QString& title);

private:
    bool LoadBase(const QByteArray& data);
    bool StoreBase(const QString& path);
    bool IsCurrentPath(const QString& absolutePath) const;
    void SetPathName(const QString& path);
    void ShowMessage(const QString& text);
    void ShowFileError(const QString& format, const QString& path, const QString& reason);

    CObjectBase& objectBase;
    QWidget* dialogParent = nullptr;
    QString pathName;
};
