#include "cli/PortChoice.h"

#include <QSettings>

namespace {

constexpr int offItem = 4; // NumComPort's "no port", the window's "OFF"

QString StoredPortName(bool& off) {
    const QSettings profile(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
    const int stored =
        profile.value(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 0).toInt();
    off = stored == offItem;
    return QStringLiteral("COM%1").arg(stored >= 0 && stored < offItem ? stored + 1 : 1);
}

} // namespace

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
    bool off = false;
    choice.portName = StoredPortName(off);
    if (off) {
        error = QStringLiteral("no port chosen: the window's port list stands at OFF; "
                               "give --port");
        return false;
    }
    choice.devicePath = choice.mapping.DevicePath(choice.portName);
    return true;
}
