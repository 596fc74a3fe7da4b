#pragma once

#include "base/ObjectBase.h"
#include "exchange/ExchangeOperands.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

// How kelvarin-cli shows its results: lines for a person on standard output, or
// with --json one JSON object per command.

// "007  034.012  learned" (or "not learned").
QString ObjectLine(int objectNumber, uint8_t byte1, uint8_t byte2);
QJsonObject ObjectJson(const QString& command, int objectNumber, uint8_t byte1, uint8_t byte2);

// The settings as the console reported them, one line a setting: "mode
// РУЧНОЙ", ..., "version    1.05". A code the window's list has no item for is
// shown as the code itself.
QString SetupLines(const SetupShown& settings);
QJsonObject SetupJson(const QString& command, const SetupShown& settings);
// The console's version as its settings reply carries it: "1.05".
QString VersionText(int versionMajor, int versionMinor);

// The learned objects of a table, one a line: "007  034.012".
QString LearnedLines(const ObjectTable& table);
QJsonArray LearnedJson(const ObjectTable& table);
int LearnedCount(const ObjectTable& table);

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
