#pragma once

#include <QTemporaryDir>

// A profile folder of the benchmark's own, so that no run reads or changes the
// user's, and the offscreen platform unless the caller chose one. Made before
// the application object.
struct CBenchProfile {
    QTemporaryDir folder;
    CBenchProfile() {
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
};
