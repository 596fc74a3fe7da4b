#include "front/RunHeader.h"

#include "front/PortTexts.h"

#include <QRegularExpression>

QString RunHeaderLine(const QDateTime& at, const QString& program, const QString& operation,
                      const QString& portName, const QString& devicePath) {
    return QStringLiteral("# %1 %2 %3, %4, port %5")
        .arg(LocalIsoTime(at, false), program, QStringLiteral(KELVARIN_VERSION), operation,
             PortAssignment(portName, devicePath));
}

QString LocalIsoTime(const QDateTime& at, bool withMilliseconds) {
    // A local time alone would not say which day it was at another site.
    return at.toOffsetFromUtc(at.offsetFromUtc())
        .toString(withMilliseconds ? Qt::ISODateWithMs : Qt::ISODate);
}

QString CommandText(const QStringList& arguments) {
    static const QRegularExpression needsQuotes(QStringLiteral("[\\s'\"\\\\$`]|^$"));
    QStringList words;
    for (const QString& argument : arguments) {
        if (!needsQuotes.match(argument).hasMatch())
            words << argument;
        else
            words << QLatin1Char('\'') +
                         QString(argument).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
                         QLatin1Char('\'');
    }
    return words.join(QLatin1Char(' '));
}
