#pragma once

#include <QString>

// The per-user profile: HKEY_CURRENT_USER\Software\Merovane_Kelvar_VX-418K\Kelvarin
// on Windows, $XDG_CONFIG_HOME/Merovane_Kelvar_VX-418K/Kelvarin.conf on Linux.
inline const QString profileOrganization = QStringLiteral("Merovane_Kelvar_VX-418K");
inline const QString profileApplication = QStringLiteral("Kelvarin");

// The chosen port: 0..3 for COM1..COM4, 4 for none.
inline const QString numComPortKey = QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort");
