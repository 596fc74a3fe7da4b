#include "panel/ObjectBaseText.h"

#include "panel/CObjectBaseModel.h"

QByteArray ObjectBaseCsv(const CObjectBaseModel& model, const QList<int>& objectNumbers) {
    QString text = QStringLiteral("object,console,file,differs\r\n");
    for (int objectNumber : objectNumbers)
        text += model.RowFields(objectNumber).join(QLatin1Char(',')) + QStringLiteral("\r\n");
    return text.toUtf8();
}

QString ObjectBaseTabText(const CObjectBaseModel& model, const QList<int>& objectNumbers) {
    QString text;
    for (int objectNumber : objectNumbers)
        text += model.RowFields(objectNumber).join(QLatin1Char('\t')) + QLatin1Char('\n');
    return text;
}
