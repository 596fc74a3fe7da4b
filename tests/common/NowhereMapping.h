#pragma once

#include "link/CPortMapping.h"

// Every port leads nowhere, so no test touches a real serial device.
inline CPortMapping NowhereMapping() {
    CPortMapping mapping;
    for (int n = 1; n <= 4; ++n)
        mapping.SetOverride(QStringLiteral("COM%1").arg(n),
                            QStringLiteral("/nonexistent/tty%1").arg(n));
    return mapping;
}
