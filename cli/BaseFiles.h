#pragma once

#include "base/ObjectBase.h"
#include "base/TransmitterNumber.h"

#include <QString>

#include <vector>

// Base files as the command line reads and writes them. Unlike the window, it
// takes only files of exactly the base-file size: a longer file is more likely
// something else than a base with bytes after it.

// Reads path into entries 0..objectCount of table. False, with why in error,
// when it cannot be read or is not of the base-file size; table is then untouched.
bool LoadBaseFile(const QString& path, ObjectTable& table, QString& error);

// Before read-base touches the port: may a base be saved to path? Not over an
// existing file unless overwrite, and not into a folder that does not exist.
bool CheckSaveTarget(const QString& path, bool overwrite, QString& error);

// Saves the device table as the window saves it: only a base read completely
// from the console, written beside path and renamed over it only when every byte
// is out. Checks the target again, as it may have appeared during the read.
bool SaveBaseFile(const QString& path, const CObjectBase& objectBase, bool overwrite,
                  QString& error);

// Objects 1..objectCount whose transmitter numbers differ between the tables.
std::vector<int> DifferingObjects(const ObjectTable& first, const ObjectTable& second);
