#include "front/CFrontEndStart.h"

#include "front/FrontEndOptions.h"
#include "front/RunHeader.h"
#include "sim/DemoConsole.h"

#include <chrono>
#include <cstdio>

CFrontEndStart::CFrontEndStart(QString programName) : programName(std::move(programName)) {
    for (CLogFile* file : {&logFile, &traceFile}) {
        for (auto news : {&CLogFile::writeFailed, &CLogFile::writeResumed})
            QObject::connect(file, news, [this](const QString& text) {
                PrintTo(stderr, QStringLiteral("%1: %2\n").arg(this->programName, text));
            });
    }
}

CFrontEndStart::~CFrontEndStart() = default;

bool CFrontEndStart::OpenFiles(const QString& logPath, const QString& tracePath, QString& error) {
    if (!tracePath.isEmpty()) {
        if (!traceFile.Open(tracePath)) {
            error = QStringLiteral("%1: cannot open the trace file %2: %3\n")
                        .arg(programName, tracePath, traceFile.ErrorString());
            return false;
        }
        trace = std::make_unique<CLineTrace>(
            [this](const std::string& line) { traceFile.Append(QString::fromStdString(line)); },
            [] { return std::chrono::steady_clock::now().time_since_epoch(); },
            [] { return LocalIsoTime(QDateTime::currentDateTime(), true).toStdString(); });
    }
    if (!logPath.isEmpty() && !logFile.Open(logPath)) {
        error = QStringLiteral("%1: cannot open the log file %2: %3\n")
                    .arg(programName, logPath, logFile.ErrorString());
        return false;
    }
    logFilePath = logPath;
    return true;
}

void CFrontEndStart::WriteHeader(const QString& operation, const QString& portName,
                                 const QString& devicePath) {
    const QString line =
        RunHeaderLine(QDateTime::currentDateTime(), programName, operation, portName, devicePath);
    if (!logFilePath.isEmpty())
        logFile.Append(line);
    if (trace)
        traceFile.Append(line);
}

bool CFrontEndStart::StartDemo(CPortMapping& mapping, QString& error) {
    QString reason;
    demoConsole = StartDemoConsole(mapping, reason);
    if (demoConsole)
        return true;
    error = QStringLiteral("%1: the simulated console cannot be started: %2\n")
                .arg(programName, reason);
    return false;
}
