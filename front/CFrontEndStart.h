#pragma once

#include "link/CLineTrace.h"
#include "link/CLogFile.h"
#include "sim/CSimPty.h"

#include <QString>

#include <memory>

class CPortMapping;

// What both programs set up before their front end runs, in the same way: the
// files of --log-file and --trace-file, and for --demo the simulated console.
// They stay for the run and go after the exchange session that uses them.
class CFrontEndStart {
public:
    // programName starts every message on standard error: "kelvarin: ...".
    explicit CFrontEndStart(QString programName);
    ~CFrontEndStart();
    CFrontEndStart(const CFrontEndStart&) = delete;
    CFrontEndStart& operator=(const CFrontEndStart&) = delete;

    // Opens the files that are named (an empty path: none). False, with the
    // message for standard error, when one cannot be opened; nothing else has
    // been touched then. A file that stops taking lines later is said on standard
    // error, once, and again when it takes them again.
    bool OpenFiles(const QString& logFilePath, const QString& traceFilePath, QString& error);
    // The run's first line in each open file (see RunHeader.h): operation is the
    // command or "window", the port the one opened at start (both empty: none).
    void WriteHeader(const QString& operation, const QString& portName, const QString& devicePath);
    // Starts the simulated console and leads demoPortName to it in mapping, for
    // this run only. False, with the message for standard error, when it cannot.
    bool StartDemo(CPortMapping& mapping, QString& error);

    CLogFile* LogFile() { return logFilePath.isEmpty() ? nullptr : &logFile; }
    CLineTrace* Trace() { return trace.get(); }
    bool IsDemo() const { return demoConsole != nullptr; }

private:
    QString programName;
    QString logFilePath;
    CLogFile logFile;
    CLogFile traceFile;
    std::unique_ptr<CLineTrace> trace;
    std::unique_ptr<CSimPty> demoConsole;
};
