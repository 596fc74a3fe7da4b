#include "cli/FileCommands.h"

#include "cli/ResultText.h"
#include "front/BaseFiles.h"

namespace {

// Reads one base file of the command, or says why not.
bool Load(const CliOptions& options, const QString& path, ObjectTable& table, CliResult& failure) {
    QString error;
    if (LoadBaseFile(path, RunFilesOf(options.logFilePath, options.traceFilePath), table, error))
        return true;
    failure = CommandFailure(options, exitFileError, QStringLiteral("%1: %2").arg(path, error));
    return false;
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
