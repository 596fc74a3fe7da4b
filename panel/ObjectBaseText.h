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

// The lines of an object list that could not be read, one a line ("line 5: 7;34,12:
// why"), the first maxLines of them and then how many more there are.
QString ObjectListFaultText(const std::vector<ObjectListFault>& faults, qsizetype maxLines);

// The question before an import: what it sets, clears and leaves, and how many lines
// it leaves out.
QString ImportQuestion(const QString& fileName, const AssignmentSummary& summary,
                       qsizetype faultCount);
