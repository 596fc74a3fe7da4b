#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes to path so that the file is either the old one or the new one
// whole, never a torn mix: the bytes go beside it and replace it only once they
// are all out. False, with the reason in *errorText (when given), if not.
bool SaveFileSafely(const QString& path, const QByteArray& bytes, QString* errorText);
