#pragma once

#include "link/CPortMapping.h"

#include <QString>
#include <QStringList>

// The window's port list: COM1..COM4, then "OFF". An item's index is the number
// the profile's NumComPort keeps for it.
inline constexpr int offPortIndex = 4;
QStringList PortListTexts();
// "COM1".."COM4" for the items 0..3.
QString PortNameAt(int index);

// NumComPort as it stands in the profile (0 when absent). 0..3 name a port, 4 is
// "OFF"; anything else stands for COM1 and stays stored as it is.
int StoredPortIndex();
void StorePortIndex(int index);
// The item a stored value stands for: itself for 0..4, else COM1's.
int PortIndexFor(int stored);

// The port a command-line run opens.
struct PortChoice {
    QString portName;     // "COM1".."COM4"; empty for a device given by its path
    QString devicePath;   // the device behind it
    CPortMapping mapping; // the profile's, with a COMn=DEVICE of --port applied
};

// From --port (COMn, COMn=DEVICE or a device path, checked by the argument
// parser), or without it the port the window chose last. The profile is only
// read. False, with why, when the window's port list stands at "OFF".
bool ChoosePort(const QString& portOption, PortChoice& choice, QString& error);
