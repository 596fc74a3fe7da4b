#pragma once

#include "link/ProfileNames.h"

#include <QSettings>
#include <QString>

// An integer value, or defaultValue when it is missing or does not read as one.
int ReadProfileInt(QSettings& profile, const QString& key, int defaultValue);
