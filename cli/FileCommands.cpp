#include "cli/FileCommands.h"

#include "base/FileTableEdit.h"
#include "base/FileTableFiles.h"
#include "base/ObjectCsv.h"
#include "base/SafeSave.h"
#include "cli/ResultText.h"
#include "front/BaseFiles.h"

#include <memory>

namespace {

QList<RunFile> RunFiles(const CliOptions& options) {
    return RunFilesOf(options.logFilePath, options.traceFilePath);
}

// Reads one base file of the command, or says why not.
bool Load(const CliOptions& options, const QString& path, ObjectTable& table, CliResult& failure) {
    QString error;
    if (LoadBaseFile(path, RunFiles(options), table, error))
        return true;
    failure = CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(path, error));
    return false;
}

// Saves a prepared table as the base file at path, as the window's "Save file base
// as..." does, or says why not.
bool Save(const CliOptions& options, const QString& path, const ObjectTable& table, bool replace,
          const QList<RunFile>& runFiles, CliResult& failure) {
    QString error;
    if (SaveFileTableFile(path, table, replace, runFiles, error))
        return true;
    failure = CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(path, error));
    return false;
}

// set and clear: the objects given, changed in FILE, which must be a base file already.
CliResult EditFile(const CliOptions& options, const std::vector<ObjectAssignment>& assignments) {
    const QString& path = options.files.at(0);
    auto table = std::make_unique<ObjectTable>();
    CliResult failure;
    if (!Load(options, path, *table, failure))
        return failure;
    ApplyAssignments(*table, assignments);
    if (!Save(options, path, *table, true, RunFiles(options), failure))
        return failure;
    QString lines;
    QJsonArray objects;
    for (const ObjectAssignment& assignment : assignments) {
        const ObjectRecord& record = (*table)[assignment.objectNumber];
        lines +=
            ObjectLine(assignment.objectNumber, LineByte(record.byte1), LineByte(record.byte2)) +
            '\n';
        objects.append(
            ObjectJson(assignment.objectNumber, LineByte(record.byte1), LineByte(record.byte2)));
    }
    return CommandOutcome(options, exitDone, lines,
                          {{QStringLiteral("file"), path}, {QStringLiteral("objects"), objects}});
}

QJsonArray FaultsJson(const std::vector<ObjectListFault>& faults) {
    QJsonArray lines;
    for (const ObjectListFault& fault : faults)
        lines.append(QJsonObject{{QStringLiteral("line"), fault.line},
                                 {QStringLiteral("text"), QString::fromStdString(fault.text)},
                                 {QStringLiteral("reason"), QString::fromStdString(fault.reason)}});
    return lines;
}

} // namespace

CliResult RunShow(const CliOptions& options) {
    const QString& path = options.files.at(0);
    ObjectTable table{};
    CliResult failure;
    if (!Load(options, path, table, failure))
        return failure;
    return CommandOutcome(options, exitDone, LearnedLines(table),
                          {{QStringLiteral("file"), path},
                           {QStringLiteral("learned"), LearnedCount(table)},
                           {QStringLiteral("objects"), LearnedJson(table)}});
}

CliResult RunDiff(const CliOptions& options) {
    ObjectTable first{};
    ObjectTable second{};
    CliResult failure;
    if (!Load(options, options.files.at(0), first, failure) ||
        !Load(options, options.files.at(1), second, failure))
        return failure;
    const std::vector<int> objects = DifferingObjects(first, second);
    return CommandOutcome(
        options, objects.empty() ? exitDone : exitDifferences,
        DifferenceLines(objects, first, second),
        {{QStringLiteral("files"), QJsonArray{options.files[0], options.files[1]}},
         {QStringLiteral("differences"), DifferencesJson(objects, first, QStringLiteral("first"),
                                                         second, QStringLiteral("second"))}});
}

CliResult RunNew(const CliOptions& options) {
    const QString& path = options.files.at(0);
    CliResult failure;
    if (!Save(options, path, EmptyFileTable(), options.force, RunFiles(options), failure))
        return failure;
    return CommandOutcome(
        options, exitDone,
        QStringLiteral("made %1: %2 objects, none learned\n").arg(path).arg(objectCount),
        {{QStringLiteral("file"), path},
         {QStringLiteral("objects"), objectCount},
         {QStringLiteral("learned"), 0}});
}

CliResult RunSet(const CliOptions& options) {
    return EditFile(options, {{options.objectNumber, TransmitterNumber{options.transmitterByte1,
                                                                       options.transmitterByte2}}});
}

CliResult RunClear(const CliOptions& options) {
    std::vector<ObjectAssignment> assignments;
    for (const int objectNumber : options.objectsToClear)
        assignments.push_back({objectNumber, TransmitterNumber{}});
    return EditFile(options, assignments);
}

CliResult RunImportCsv(const CliOptions& options) {
    const QString& csv = options.files.at(0);
    const QString& path = options.files.at(1);
    // The list is never the file made of it.
    const QList<RunFile> runFiles =
        RunFiles(options) + QList<RunFile>{{csv, QStringLiteral("CSV")}};
    // Refused before the list is read, as the window's dialog asks before it imports.
    QString error = SaveRefusal(path, options.force, runFiles);
    if (!error.isEmpty())
        return CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(path, error));
    ObjectList list;
    error = OpenRefusal(csv, RunFiles(options));
    if (!error.isEmpty() || !ReadObjectCsvFile(csv, list, error))
        return CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(csv, error));

    const qsizetype faultCount = qsizetype(list.faults.size());
    QString faultLines;
    for (const QString& line :
         ObjectListFaultText(list.faults, faultCount).split('\n', Qt::SkipEmptyParts))
        faultLines += QStringLiteral("kelvarin-cli: %1: %2\n").arg(csv, line);
    QJsonObject fields{{QStringLiteral("csv"), csv},
                       {QStringLiteral("file"), path},
                       {QStringLiteral("unreadable"), FaultsJson(list.faults)}};
    QString why;
    if (faultCount > 0 && !options.skipBad)
        why = QStringLiteral("%1: %2 line(s) cannot be read, so nothing is written (--skip-bad "
                             "leaves them out)")
                  .arg(csv)
                  .arg(faultCount);
    else if (list.assignments.empty())
        why = QStringLiteral("%1: no object can be read from it").arg(csv);
    if (!why.isEmpty()) {
        CliResult failure = CommandOutcome(options, exitFileError, {}, fields, why);
        failure.err.prepend(faultLines);
        return failure;
    }

    // The whole site: objects the list does not name are not learned.
    auto table = std::make_unique<ObjectTable>(EmptyFileTable());
    const AssignmentSummary summary = SummariseAssignments(*table, list.assignments);
    ApplyAssignments(*table, list.assignments);
    CliResult failure;
    if (!Save(options, path, *table, options.force, runFiles, failure))
        return failure;
    fields[QStringLiteral("set")] = summary.set;
    fields[QStringLiteral("cleared")] = summary.cleared;
    fields[QStringLiteral("unchanged")] = summary.unchanged;
    CliResult result = CommandOutcome(
        options, exitDone,
        QStringLiteral(
            "%1 from %2: %3 objects set, %4 cleared, %5 unchanged, %6 lines unreadable\n")
            .arg(path, csv)
            .arg(summary.set)
            .arg(summary.cleared)
            .arg(summary.unchanged)
            .arg(faultCount),
        fields);
    result.err = faultLines;
    return result;
}

CliResult RunExportCsv(const CliOptions& options) {
    const QString& path = options.files.at(0);
    auto objectBase = std::make_unique<CObjectBase>();
    CliResult failure;
    if (!Load(options, path, objectBase->fileTable, failure))
        return failure;
    objectBase->fileBaseLoaded = 1;
    std::vector<int> objects;
    for (int k = 1; k <= objectCount; ++k)
        objects.push_back(k);
    const QByteArray rows = QByteArray::fromStdString(ObjectRowsCsv(*objectBase, objects));
    if (options.files.size() < 2)
        return {exitDone, QString::fromUtf8(rows), {}};

    const QString& csv = options.files.at(1);
    // The CSV never replaces the base file it is made of.
    QString error =
        SaveRefusal(csv, true, RunFiles(options) + QList<RunFile>{{path, QStringLiteral("base")}});
    if (!error.isEmpty() || !SaveFileSafely(csv, rows, &error))
        return CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(csv, error));
    const int learned = LearnedCount(objectBase->fileTable);
    return CommandOutcome(options, exitDone,
                          QStringLiteral("wrote %1 objects (%2 learned) of %3 to %4\n")
                              .arg(objectCount)
                              .arg(learned)
                              .arg(path, csv),
                          {{QStringLiteral("file"), path},
                           {QStringLiteral("csv"), csv},
                           {QStringLiteral("objects"), objectCount},
                           {QStringLiteral("learned"), learned}});
}

CliResult RunFileCommand(const CliOptions& options) {
    switch (options.command) {
    case CliCommand::Show:
        return RunShow(options);
    case CliCommand::Diff:
        return RunDiff(options);
    case CliCommand::New:
        return RunNew(options);
    case CliCommand::Set:
        return RunSet(options);
    case CliCommand::Clear:
        return RunClear(options);
    case CliCommand::ImportCsv:
        return RunImportCsv(options);
    case CliCommand::ExportCsv:
        return RunExportCsv(options);
    default:
        return {};
    }
}
