#include "front/PortChoice.h"

#include "link/ProfileNames.h"

#include <QSettings>

QStringList PortListTexts() {
    return {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
            QStringLiteral("COM4"), QStringLiteral("OFF")};
}

QString PortNameAt(int index) {
    return QStringLiteral("COM%1").arg(index + 1);
}

int StoredPortIndex() {
    return QSettings(profileOrganization, profileApplication).value(numComPortKey, 0).toInt();
}

void StorePortIndex(int index) {
    QSettings(profileOrganization, profileApplication).setValue(numComPortKey, index);
}

int PortIndexFor(int stored) {
    return stored >= 0 && stored <= offPortIndex ? stored : 0;
}

bool ChoosePort(const QString& portOption, PortChoice& choice, QString& error) {
    if (portOption.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) {
        const QString portName = portOption.left(4).toUpper();
        if (portOption.size() > 4)
            choice.mapping.AddOverride(portOption);
        choice.portName = portName;
        choice.devicePath = choice.mapping.DevicePath(portName);
        return true;
    }
    if (!portOption.isEmpty()) {
        choice.portName.clear();
        choice.devicePath = portOption;
        return true;
    }
    const int index = PortIndexFor(StoredPortIndex());
    if (index == offPortIndex) {
        error = QStringLiteral("no port chosen: the window's port list stands at OFF; "
                               "give --port");
        return false;
    }
    choice.portName = PortNameAt(index);
    choice.devicePath = choice.mapping.DevicePath(choice.portName);
    return true;
}
