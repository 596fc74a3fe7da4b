#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <QStringList>

#include <memory>

class CComPort;
class CPortMapping;

// A port name of the window's list that leads to a device.
struct ComNameOnDevice {
    QString portName; // "COM1".."COM4"
    bool isDefault;   // by the platform's default, not by the profile or --port
};

// What asking a port for the console's settings showed.
struct ProbeResult {
    enum Verdict {
        NotProbed,   // it could not be opened, or no probe was made
        Console,     // a valid "U" telegram came back in time
        NoAnswer,    // nothing came back in time
        NotAConsole, // bytes came back, none of them a valid "U" telegram
    };
    Verdict verdict = NotProbed;
    int versionMajor = 0; // the console's, from its "U" telegram
    int versionMinor = 0;
    qint64 bytesReceived = 0;
};

// A serial device as the engineer looks for it: where it is, what the system
// says of it, which port names lead to it, and whether it can be opened now.
struct SerialPortEntry {
    QString devicePath;    // the device itself, links resolved
    QStringList byIdPaths; // /dev/serial/by-id/... names of it
    QString description;   // empty where the system knows nothing
    QString manufacturer;
    QString serialNumber;
    QList<ComNameOnDevice> comNames;
    bool free = false; // the program could open it a moment ago
    QString access;    // "free", "not checked", or why it cannot be opened
    ProbeResult probe;
};

// Where the listing finds devices besides the port names' mapping.
struct SerialPortSources {
    QList<QSerialPortInfo> systemPorts;
    QString byIdFolder; // a folder of links named after the device

    // The system's serial ports and /dev/serial/by-id.
    static SerialPortSources System();
};

// The serial devices, touching none of them: those the system knows, those the
// by-id links lead to, those COM1..COM4 lead to through mapping (so a device the
// system does not list as a serial port, a pseudo-terminal say, is there once a
// port name leads to it) and extraDevices. When `only` names ports ("COM2" or a
// device path), just the devices they lead to. The ones a port name leads to come
// first, in its order, then the others by name.
QList<SerialPortEntry> ListSerialPorts(const CPortMapping& mapping, const QStringList& extraDevices,
                                       const QStringList& only, const SerialPortSources& sources);

// Opens entry's device as the program opens a port to the console, and notes
// whether that could be done and why not. The open port, or null.
std::unique_ptr<CComPort> OpenForCheck(SerialPortEntry& entry);

// Whether each device can be opened now: opened and released at once, without
// the break that tells a console the program lets go, for none was asked.
void CheckAccess(QList<SerialPortEntry>& entries);
