#pragma once

#include "cli/CliOptions.h"
#include "front/SerialPortList.h"

#include <QJsonObject>
#include <QList>
#include <QString>

class CFrontEndStart;

// kelvarin-cli ports: the serial devices, the COM names that lead to them and
// whether each can be opened now; with --probe, which one answers as a console
// (status 2 when none does).
CliResult RunPorts(const CliOptions& options, CFrontEndStart& start);

// A block of lines for each device, and with a probe a last line for each console found.
QString PortLines(const QList<SerialPortEntry>& entries, bool probed);
QJsonObject PortsJson(const QList<SerialPortEntry>& entries, bool probed);
