#include "cli/FileCommands.h"

#include "cli/BaseFiles.h"
#include "cli/ResultText.h"

namespace {

CliResult FileError(const QString& error) {
    return {exitFileError, {}, QStringLiteral("kelvarin-cli: %1\n").arg(error)};
}

} // namespace

CliResult RunShow(const CliOptions& options) {
    const QString& path = options.files.at(0);
    ObjectTable table{};
    QString error;
    if (!LoadBaseFile(path, table, error))
        return FileError(error);
    if (!options.json)
        return {exitDone, LearnedLines(table), {}};
    return {exitDone,
            JsonLine({{QStringLiteral("command"), QStringLiteral("show")},
                      {QStringLiteral("file"), path},
                      {QStringLiteral("learned"), LearnedCount(table)},
                      {QStringLiteral("objects"), LearnedJson(table)}}),
            {}};
}

CliResult RunDiff(const CliOptions& options) {
    ObjectTable first{};
    ObjectTable second{};
    QString error;
    if (!LoadBaseFile(options.files.at(0), first, error) ||
        !LoadBaseFile(options.files.at(1), second, error))
        return FileError(error);
    const std::vector<int> objects = DifferingObjects(first, second);
    const int exitCode = objects.empty() ? exitDone : exitDifferences;
    if (!options.json)
        return {exitCode, DifferenceLines(objects, first, second), {}};
    return {exitCode,
            JsonLine({{QStringLiteral("command"), QStringLiteral("diff")},
                      {QStringLiteral("files"), QJsonArray{options.files[0], options.files[1]}},
                      {QStringLiteral("differences"),
                       DifferencesJson(objects, first, QStringLiteral("first"), second,
                                       QStringLiteral("second"))}}),
            {}};
}
