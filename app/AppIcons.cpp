#include "app/AppIcons.h"

#include <QString>

QIcon KelvarinIcon(const char* name) {
    // The resources sit in a static library, whose registration the linker drops
    // unless something refers to it.
    static const bool registered = [] {
        Q_INIT_RESOURCE(kelvarin);
        return true;
    }();
    Q_UNUSED(registered);
    return QIcon(QStringLiteral(":/icons/%1.png").arg(QLatin1String(name)));
}
