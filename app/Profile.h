#pragma once

#include <QSettings>
#include <QString>

// The per-user profile: HKEY_CURRENT_USER\Software\Merovane_Kelvar_VX-418K\Kelvarin
// on Windows, $XDG_CONFIG_HOME/Merovane_Kelvar_VX-418K/Kelvarin.conf on Linux.
inline const QString profileOrganization = QStringLiteral("Merovane_Kelvar_VX-418K");
inline const QString profileApplication = QStringLiteral("Kelvarin");

// An integer value, or defaultValue when it is missing or does not read as one.
int ReadProfileInt(QSettings& profile, const QString& key, int defaultValue);
