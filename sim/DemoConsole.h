#pragma once

#include "sim/CSimPty.h"

#include <QString>

#include <memory>

class CPortMapping;

// --demo: the program brings its own simulated console, so that every operation
// can be tried without the hardware. It answers on this port, for the one run.
inline const QString demoPortName = QStringLiteral("COM1");
// A base with nothing learned shows little; these objects carry sample numbers.
constexpr int demoLearnedObjects = 25;

// Starts the simulated console on a new pseudo-terminal and leads demoPortName to
// it in mapping (an override, so the profile is not touched). Null, with error
// set, when the pseudo-terminal cannot be made.
std::unique_ptr<CSimPty> StartDemoConsole(CPortMapping& mapping, QString& error);
