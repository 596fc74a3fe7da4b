#pragma once

#include "base/ObjectBase.h"
#include "cli/CliOptions.h"
#include "exchange/ExchangeOperands.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

// How kelvarin-cli shows its results: lines for a person on standard output, or
// with --json one JSON object per command, whatever its outcome.

// Every JSON object kelvarin-cli prints carries this; it grows when a key changes
// its meaning or goes away.
inline constexpr int jsonSchema = 1;

// The one JSON object of a command's outcome: fields, with "schema", "command" (null
// when none was given), "exit" (the exit status) and, when error is given, "error".
QJsonObject OutcomeJson(const QString& command, int exitCode, QJsonObject fields,
                        const QString& error = {});

// What a command prints for its outcome: text on standard output, or with --json the
// outcome's JSON object; why it failed, if it did, on standard error.
CliResult CommandOutcome(const CliOptions& options, int exitCode, const QString& text,
                         const QJsonObject& fields, const QString& why = {});
// A failure before anything is printed: why, and the JSON object saying so.
CliResult CommandFailure(const CliOptions& options, int exitCode, const QString& why);
// A failure at start (a log or trace file, the demo console) whose message names the
// program already ("kelvarin-cli: ..."): standard error gets it as it is, the JSON
// object only why.
CliResult StartFailure(const CliOptions& options, int exitCode, const QString& message);

// "007  034.012  learned" (or "not learned").
QString ObjectLine(int objectNumber, uint8_t byte1, uint8_t byte2);
// {"object": 7, "transmitter": "034.012", "learned": true}
QJsonObject ObjectJson(int objectNumber, uint8_t byte1, uint8_t byte2);

// The settings as the console reported them, one line a setting: "mode
// РУЧНОЙ (manual)", ..., "version    1.05". A code the window's list has no item for
// is shown as the code itself.
QString SetupLines(const SetupShown& settings);
// Each setting's code, its ASCII name and the window's text (null for a code the
// list has no item for), the period's minutes, and the version.
QJsonObject SetupJson(const SetupShown& settings);
// The console's version as its settings reply carries it: "1.05".
QString VersionText(int versionMajor, int versionMinor);

// The learned objects of a table, one a line: "007  034.012".
QString LearnedLines(const ObjectTable& table);
QJsonArray LearnedJson(const ObjectTable& table);
int LearnedCount(const ObjectTable& table);

// Objects 1..objectCount whose transmitter numbers differ between the tables; only the
// low 8 bits of each field count, as only they reach the console.
std::vector<int> DifferingObjects(const ObjectTable& first, const ObjectTable& second);

// Objects that differ, one a line: "007  034.012  255.255" (the number, then the
// first table's transmitter number, then the second's).
QString DifferenceLines(const std::vector<int>& objects, const ObjectTable& first,
                        const ObjectTable& second);
// [{"object": 7, firstKey: "034.012", secondKey: "255.255"}, ...]
QJsonArray DifferencesJson(const std::vector<int>& objects, const ObjectTable& first,
                           const QString& firstKey, const ObjectTable& second,
                           const QString& secondKey);

// A JSON object as one line of output.
QString JsonLine(const QJsonObject& object);

// The progress of a base read or write: blocks done of blockCount, a bar and the
// time the remaining blocks take at 2400 baud (a request and its reply, 26 bytes
// each, for every block), in whole seconds rounded up.
QString ProgressLine(int blocksDone);
