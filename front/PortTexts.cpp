#include "front/PortTexts.h"

#include "link/CPortMapping.h"

QString PortAssignment(const QString& portName, const QString& devicePath) {
    if (devicePath.isEmpty())
        return QStringLiteral("none");
    if (portName.isEmpty() || portName == devicePath)
        return devicePath;
    return portName + QLatin1Char('=') + devicePath;
}

QString NoAnswerText(const QString& portName, const QString& devicePath,
                     const CPortMapping& mapping) {
    if (devicePath.isEmpty())
        return QStringLiteral("the console did not answer: no port is open");
    if (portName.isEmpty() || portName == devicePath)
        return QStringLiteral("the console did not answer on %1").arg(devicePath);
    if (!mapping.IsDefault(portName))
        return QStringLiteral("the console did not answer on %1 (%2)").arg(portName, devicePath);
    return QStringLiteral("the console did not answer on %1 (%2, only its default device: no "
                          "Ports/%1 in the profile, no --port %1=DEVICE)")
        .arg(portName, devicePath);
}
