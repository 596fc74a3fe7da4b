#include "panel/ObjectBaseText.h"

#include "base/ObjectCsv.h"
#include "panel/CObjectBaseModel.h"

#include <QStringList>

QByteArray ObjectBaseCsv(const CObjectBaseModel& model, const QList<int>& objectNumbers) {
    return QByteArray::fromStdString(ObjectRowsCsv(
        model.ObjectBase(), std::vector<int>(objectNumbers.begin(), objectNumbers.end())));
}

QString ObjectBaseTabText(const CObjectBaseModel& model, const QList<int>& objectNumbers) {
    QString text;
    for (int objectNumber : objectNumbers)
        text += model.RowFields(objectNumber).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}

QString ImportQuestion(const QString& fileName, const AssignmentSummary& summary,
                       qsizetype faultCount) {
    QString text = QStringLiteral("Import %1 into the file column?\n\n"
                                  "Objects set: %2\nObjects cleared: %3\nObjects unchanged: %4")
                       .arg(fileName)
                       .arg(summary.set)
                       .arg(summary.cleared)
                       .arg(summary.unchanged);
    if (faultCount > 0)
        text += QStringLiteral("\n\nLines that cannot be read, left out: %1").arg(faultCount);
    return text;
}
