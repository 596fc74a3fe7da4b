#include "cli/BackupCommand.h"

#include "base/NativePath.h"
#include "cli/CliOptions.h"
#include "cli/ResultText.h"

#include <QRegularExpression>

#include <dirent.h>
#include <memory>

QString BackupPath(const QString& dir, const QDateTime& time) {
    return dir + (dir.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) +
           time.toString(QStringLiteral("yyyy-MM-dd_HHmmss")) + QStringLiteral(".kvb");
}

QString EarlierBackup(const QString& dir, const QString& file) {
    static const QRegularExpression backupName(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\d_\\d{6}\\.kvb$"));
    const QString name = file.section(QLatin1Char('/'), -1);
    DIR* folder = ::opendir(NativePath(dir).constData());
    if (!folder)
        return {};
    QString newest;
    while (const dirent* entry = ::readdir(folder)) {
        const QString entryName = QString::fromLatin1(entry->d_name);
        if (backupName.match(entryName).hasMatch() && entryName < name && entryName > newest)
            newest = entryName;
    }
    ::closedir(folder);
    return newest.isEmpty() ? QString() : file.left(file.size() - name.size()) + newest;
}

BackupReport ReportBackup(const QString& dir, const QString& file, const ObjectTable& backup,
                          const QList<RunFile>& runFiles) {
    const int learned = LearnedCount(backup);
    BackupReport report{exitDone,
                        QStringLiteral("saved %1 objects (%2 learned) to %3\n")
                            .arg(objectCount)
                            .arg(learned)
                            .arg(file),
                        {{QStringLiteral("file"), file},
                         {QStringLiteral("objects"), objectCount},
                         {QStringLiteral("learned"), learned},
                         {QStringLiteral("previous"), QJsonValue(QJsonValue::Null)},
                         {QStringLiteral("differences"), QJsonArray()}},
                        {}};
    const QString earlier = EarlierBackup(dir, file);
    if (earlier.isEmpty()) {
        report.text += QStringLiteral("no earlier backup in %1 to compare with\n").arg(dir);
        return report;
    }
    report.fields[QStringLiteral("previous")] = earlier;
    auto previous = std::make_unique<ObjectTable>();
    QString error;
    if (!LoadBaseFile(earlier, runFiles, *previous, error)) {
        report.exitCode = exitFileError;
        report.why =
            QStringLiteral("%1: %2; the backup is saved, but not compared").arg(earlier, error);
        return report;
    }
    const std::vector<int> objects = DifferingObjects(*previous, backup);
    report.text +=
        objects.empty()
            ? QStringLiteral("no object differs from %1\n").arg(earlier)
            : QStringLiteral("%1 object(s) differ from %2:\n").arg(objects.size()).arg(earlier) +
                  DifferenceLines(objects, *previous, backup);
    report.fields[QStringLiteral("differences")] = DifferencesJson(
        objects, *previous, QStringLiteral("previous"), backup, QStringLiteral("backup"));
    return report;
}
