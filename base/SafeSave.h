#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes to path as one whole: beside it and renamed over it where a file can be
// made there, else in place. Refuses (false, errorText says why) what RefusalForSaving
// refuses. errorText does not repeat the path: the caller names the file.
bool SaveFileSafely(const QString& path, const QByteArray& bytes, QString* errorText);

// Why nothing can be saved at path, or empty when a save may go ahead; nothing is
// written to find out. Refused: no name, anything that exists and is not a regular
// file (a link to one is followed and kept), a link that leads nowhere, a file the
// user may not write, and for a new file a folder that is missing or takes no file.
QString RefusalForSaving(const QString& path);

// Why path cannot be opened as a base file (no name, not a regular file), or empty when
// it can. A missing file is not refused here: opening it says so.
QString RefusalForOpening(const QString& path);

// The first maxBytes of path (all of it when shorter), refused as RefusalForOpening
// says. Nothing that is put there after the check can block it (a named pipe).
bool ReadFileStart(const QString& path, qsizetype maxBytes, QByteArray* bytes, QString* errorText);
