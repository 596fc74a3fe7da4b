#pragma once

#include "base/BaseFileCodec.h"
#include "base/ObjectBase.h"
#include "base/ObjectCsv.h"

#include <QByteArray>
#include <QString>

// Files that a file table is prepared from and saved to: lists of objects as a
// spreadsheet or Export CSV writes them, and the base file itself. Errors do not
// repeat the path: the caller names the file.

// Text as a spreadsheet saves it: UTF-8 with or without a byte order mark, UTF-16 with
// one, and anything else as Windows-1251, the code page a Russian spreadsheet saves in.
QString DecodeSpreadsheetText(const QByteArray& bytes);

// The object list of CSV bytes, decoded as above.
ObjectList ReadObjectCsv(const QByteArray& bytes);

// The largest file taken as a list of objects: far more than 600 lines of any spreadsheet.
constexpr qsizetype objectCsvMaxBytes = 1024 * 1024;

// The object list in the file at path. False, with why, when it cannot be read, is no
// regular file or is larger than objectCsvMaxBytes.
bool ReadObjectCsvFile(const QString& path, ObjectList& list, QString& error);

// The lines of an object list that could not be read, one a line ("line 5: 7;34,12:
// why"), the first maxLines of them and then how many more there are.
QString ObjectListFaultText(const std::vector<ObjectListFault>& faults, qsizetype maxLines);

// A base file's bytes saved as every base file is: beside path and renamed over it.
bool SaveBaseFileBytes(const QString& path, const BaseFileBytes& bytes, QString& error);

// fileTable as the base file FileTableBaseFile makes of it, saved as above.
bool SaveFileTable(const QString& path, const ObjectTable& fileTable, QString& error);
