#pragma once

#include <QString>

class CPortMapping;

// How both front ends name a port in what they tell the engineer.

// "COM1=/dev/ttyUSB0"; the device alone for a device opened by its path; "none"
// when no port is open.
QString PortAssignment(const QString& portName, const QString& devicePath);

// Why an operation gave up, for the command line's standard error and the
// window's status bar: the device that was asked, and when it is only COMn's
// default device, that nothing named another one, for an adapter is rarely
// there. The log keeps its own text ("Нет связи с ПЦН").
QString NoAnswerText(const QString& portName, const QString& devicePath,
                     const CPortMapping& mapping);
