#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class CObjectBaseModel;
class QPagedPaintDevice;

// Prints the learned objects (learned in the console or in the file) as a table:
// the first page starts with a heading (sourceName, the date and time, the
// counts), every page with the column titles, and every page ends with
// "Page n of m". sourceName is the file's name, or "Console" without one.
void PrintObjectBase(QPagedPaintDevice& device, const CObjectBaseModel& model,
                     const QString& sourceName, const QDateTime& printedAt);

// The same print as a PDF document, A4, made in memory.
QByteArray ObjectBasePdf(const CObjectBaseModel& model, const QString& sourceName,
                         const QDateTime& printedAt);

// The counts as the window and the print state them.
QString CountsText(const CObjectBaseModel& model);
