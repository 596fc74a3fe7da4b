#include "front/SerialPortList.h"

#include "front/PortChoice.h"
#include "link/CComPort.h"
#include "link/CPortMapping.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString RealPath(const QString& path) {
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real;
}

int FirstComIndex(const SerialPortEntry& entry) {
    int first = offPortIndex;
    for (const ComNameOnDevice& com : entry.comNames)
        first = std::min(first, int(PortListTexts().indexOf(com.portName)));
    return first;
}

} // namespace

SerialPortSources SerialPortSources::System() {
    return {QSerialPortInfo::availablePorts(), QStringLiteral("/dev/serial/by-id")};
}

QList<SerialPortEntry> ListSerialPorts(const CPortMapping& mapping, const QStringList& extraDevices,
                                       const QStringList& only, const SerialPortSources& sources) {
    QList<SerialPortEntry> entries;
    auto entryFor = [&entries](const QString& path) -> SerialPortEntry& {
        const QString device = RealPath(path);
        for (SerialPortEntry& entry : entries) {
            if (entry.devicePath == device)
                return entry;
        }
        SerialPortEntry& added = entries.emplace_back();
        added.devicePath = device;
        added.access = QStringLiteral("not checked");
        return added;
    };

    for (const QSerialPortInfo& info : sources.systemPorts) {
        SerialPortEntry& entry = entryFor(info.systemLocation());
        entry.description = info.description();
        entry.manufacturer = info.manufacturer();
        entry.serialNumber = info.serialNumber();
    }
    const QDir byId(sources.byIdFolder);
    for (const QFileInfo& link :
         byId.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (link.isSymLink())
            entryFor(link.absoluteFilePath()).byIdPaths << link.absoluteFilePath();
    }
    for (int index = 0; index < offPortIndex; ++index) {
        const QString portName = PortNameAt(index);
        entryFor(mapping.DevicePath(portName))
            .comNames.append({portName, mapping.IsDefault(portName)});
    }
    for (const QString& device : extraDevices)
        entryFor(device);

    if (!only.isEmpty()) {
        QStringList wanted;
        for (const QString& name : only)
            wanted << entryFor(PortListTexts().contains(name) ? mapping.DevicePath(name) : name)
                          .devicePath;
        entries.removeIf(
            [&wanted](const SerialPortEntry& entry) { return !wanted.contains(entry.devicePath); });
    }

    QCollator byName;
    byName.setNumericMode(true);
    std::stable_sort(entries.begin(), entries.end(),
                     [&byName](const SerialPortEntry& a, const SerialPortEntry& b) {
                         const int comA = FirstComIndex(a);
                         const int comB = FirstComIndex(b);
                         if (comA != comB)
                             return comA < comB;
                         return byName.compare(a.devicePath, b.devicePath) < 0;
                     });
    return entries;
}

std::unique_ptr<CComPort> OpenForCheck(SerialPortEntry& entry) {
    // The device's own path: the mapping has done its work already.
    auto port = std::make_unique<CComPort>(CPortMapping());
    entry.free = port->Open(entry.devicePath) == 1;
    if (!entry.free) {
        entry.access = port->OpenError();
        return nullptr;
    }
    entry.access = QStringLiteral("free");
    return port;
}

void CheckAccess(QList<SerialPortEntry>& entries) {
    for (SerialPortEntry& entry : entries) {
        if (std::unique_ptr<CComPort> port = OpenForCheck(entry))
            port->Abandon();
    }
}
