#pragma once

#include "base/ObjectBase.h"
#include "front/BaseFiles.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// backup DIR: the console's base read into DIR under the time the backup started, and
// what changed since the backup before it.

// DIR/2024-05-14_144933.kvb for a backup started at time (local time). The names sort
// as their times do.
QString BackupPath(const QString& dir, const QDateTime& time);

// The newest backup in dir whose name sorts before file's (a name BackupPath gives);
// empty when there is none. dir is taken as its bytes (base/NativePath).
QString EarlierBackup(const QString& dir, const QString& file);

// What backup prints once file is saved: the saved line, then the objects that
// differ from the earlier backup, as diff lists them (earlier first).
struct BackupReport {
    int exitCode = 0;
    QString text;
    QJsonObject fields;
    QString why; // when the earlier backup cannot be read
};
BackupReport ReportBackup(const QString& dir, const QString& file, const ObjectTable& backup,
                          const QList<RunFile>& runFiles);
