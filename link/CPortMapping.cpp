#include "link/CPortMapping.h"

#include "link/ProfileNames.h"

#include <QRegularExpression>
#include <QSettings>

void CPortMapping::SetOverride(const QString& portName, const QString& devicePath) {
    overrides.insert(portName, devicePath);
}

bool CPortMapping::AddOverride(const QString& assignment) {
    static const QRegularExpression form(QStringLiteral("^(COM[1-4])=(.+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(assignment);
    if (!match.hasMatch())
        return false;
    SetOverride(match.captured(1).toUpper(), match.captured(2));
    return true;
}

namespace {

QString StoredDevicePath(const QString& portName) {
    QSettings profile(profileOrganization, profileApplication);
    return profile.value(QStringLiteral("Ports/") + portName).toString();
}

} // namespace

bool CPortMapping::IsDefault(const QString& portName) const {
    return !overrides.contains(portName) && StoredDevicePath(portName).isEmpty();
}

QString CPortMapping::DevicePath(const QString& portName) const {
    const auto found = overrides.constFind(portName);
    if (found != overrides.constEnd())
        return *found;

    const QString stored = StoredDevicePath(portName);
    if (!stored.isEmpty())
        return stored;

#ifdef Q_OS_WIN
    return portName;
#else
    // COM1 is the first serial port, /dev/ttyS0.
    static const QRegularExpression comNumber(QStringLiteral("^COM([1-4])$"));
    const QRegularExpressionMatch match = comNumber.match(portName);
    if (!match.hasMatch())
        return portName;
    return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
#endif
}
