#include "app/Profile.h"

int ReadProfileInt(QSettings& profile, const QString& key, int defaultValue) {
    bool ok = false;
    const int value = profile.value(key).toInt(&ok);
    return ok ? value : defaultValue;
}
