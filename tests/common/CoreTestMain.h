#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtTest>

// A QtTest suite without widgets, with a profile folder of its own (see TestMain.h): no display, no
// platform plugin.
#define KELVARIN_CORE_TEST_MAIN(TestClass)                                                         \
    int main(int argc, char** argv) {                                                              \
        QTemporaryDir profileDir;                                                                  \
        qputenv("XDG_CONFIG_HOME", profileDir.path().toLocal8Bit());                               \
        QCoreApplication app(argc, argv);                                                          \
        TestClass suite;                                                                           \
        return QTest::qExec(&suite, argc, argv);                                                   \
    }
