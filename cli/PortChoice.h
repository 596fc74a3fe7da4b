#pragma once

#include "link/CPortMapping.h"

#include <QString>

// The port a console command opens.
struct PortChoice {
    QString portName;     // "COM1".."COM4"; empty for a device given by its path
    QString devicePath;   // the device behind it
    CPortMapping mapping; // the profile's, with a COMn=DEVICE of --port applied
};

// From --port (COMn, COMn=DEVICE or a device path, checked by the argument
// parser), or without it the port the window chose last (NumComPort; a value
// outside 0..4 means COM1, as in the window). The profile is only read. False,
// with why, when the window's port list stands at "OFF".
bool ChoosePort(const QString& portOption, PortChoice& choice, QString& error);
