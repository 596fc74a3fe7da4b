#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

// Runs a QtTest suite with a profile folder of its own: XDG_CONFIG_HOME points at a
// fresh temporary folder before anything reads the profile, so no suite ever sees
// the user's real one or another run's leftovers.
#define KELVARIN_TEST_MAIN(TestClass)                                                              \
    int main(int argc, char** argv) {                                                              \
        QTemporaryDir profileDir;                                                                  \
        qputenv("XDG_CONFIG_HOME", profileDir.path().toLocal8Bit());                               \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        TestClass suite;                                                                           \
        return QTest::qExec(&suite, argc, argv);                                                   \
    }
