#pragma once

#include <QByteArray>
#include <QString>

// File names here are the platform's bytes, and Qt turns a byte that is not UTF-8
// into U+FFFD, so such a name can no longer be opened. These two keep each such
// byte as the lone surrogate U+DC80..U+DCFF, which no decoded name contains, and
// give back the very bytes. For a name that is valid UTF-8 they are exactly Qt's
// QFile::decodeName and QFile::encodeName.
QString PathFromNative(const QByteArray& bytes);
QByteArray NativePath(const QString& path);

// True when Qt's own file functions and the profile, which store names as text,
// reach the same file as NativePath(path).
bool IsTextPath(const QString& path);
