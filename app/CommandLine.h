#pragma once

#include "link/CPortMapping.h"

#include <QString>
#include <QStringList>

struct CCommandLine {
    QString fileName;         // a base file to open at start; empty for a new document
    QString logFilePath;      // --log-file: where every log line is copied as well
    QString traceFilePath;    // --trace-file: where the trace of the line goes
    CPortMapping portMapping; // with the --port overrides applied
    bool demo = false;        // --demo: a simulated console inside the program
};

// Parses the arguments, program name first. Returns true when the program is to go
// on. --help and --version print their text and return false with exitCode 0; an
// unknown option, a malformed --port or a second file name print why and return
// false with exitCode 1.
bool ParseCommandLine(const QStringList& arguments, CCommandLine& commandLine, int& exitCode);

// The same check before any window exists, under an application without a
// display, so that --help, --version and a mistyped option are answered on a
// terminal without one.
bool CheckOptionsBeforeWindow(int argc, char** argv, int& exitCode);
