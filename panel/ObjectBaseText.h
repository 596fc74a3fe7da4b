#pragma once

#include "base/ObjectCsv.h"

#include <QByteArray>
#include <QList>
#include <QString>

class CObjectBaseModel;

// The rows of these objects as CSV: the header line "object,console,file,differs",
// then one line each, UTF-8 with CR LF line ends. The texts never hold a comma
// or a quote, so nothing is quoted.
QByteArray ObjectBaseCsv(const CObjectBaseModel& model, const QList<int>& objectNumbers);

// The same rows as tab-separated lines, without the header, for the clipboard.
QString ObjectBaseTabText(const CObjectBaseModel& model, const QList<int>& objectNumbers);

// The question before an import: what it sets, clears and leaves, and how many lines
// it leaves out.
QString ImportQuestion(const QString& fileName, const AssignmentSummary& summary,
                       qsizetype faultCount);
