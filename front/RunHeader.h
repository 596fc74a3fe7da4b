#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// The line each run writes first into its log file and its trace file, so that
// runs appended into one file (many sites, many days) can be told apart:
//
// # 2024-05-14T14:49:33+02:00 kelvarin-cli 1.0.0, read-base site-17.kvb, port COM1=/dev/ttyUSB0
//
// The "#" keeps it apart from the log's lines and the trace's timed lines.
QString RunHeaderLine(const QDateTime& at, const QString& program, const QString& operation,
                      const QString& portName, const QString& devicePath);

// The local date and time with its offset from UTC, "2024-05-14T14:49:33+02:00",
// or with milliseconds, "2024-05-14T14:49:33.120+02:00".
QString LocalIsoTime(const QDateTime& at, bool withMilliseconds);

// Arguments as a shell takes them back: one in single quotes where it holds a
// blank, a quote or nothing at all.
QString CommandText(const QStringList& arguments);
