#include "app/CKelvarinApp.h"

#include "app/CMainFrame.h"
#include "app/CommandLine.h"
#include "app/Profile.h"
#include "panel/CKelvarinView.h"
#include "sim/DemoConsole.h"

#include <chrono>
#include <cstdio>

namespace {

const QString previewPagesKey = QStringLiteral("Settings/PreviewPages");

} // namespace

CKelvarinApp::CKelvarinApp() = default;

CKelvarinApp::~CKelvarinApp() = default;

bool CKelvarinApp::InitInstance(const QStringList& arguments, int& exitCode) {
    LoadStdProfileSettings();

    CCommandLine commandLine;
    if (!ParseCommandLine(arguments, commandLine, exitCode))
        return false;
    exitCode = 1;
    if (!commandLine.logFilePath.isEmpty() && !logFile.Open(commandLine.logFilePath)) {
        std::fprintf(stderr, "kelvarin: cannot open the log file %s: %s\n",
                     qUtf8Printable(commandLine.logFilePath),
                     qUtf8Printable(logFile.ErrorString()));
        return false;
    }

    if (!commandLine.traceFilePath.isEmpty()) {
        if (!traceFile.Open(commandLine.traceFilePath)) {
            std::fprintf(stderr, "kelvarin: cannot open the trace file %s: %s\n",
                         qUtf8Printable(commandLine.traceFilePath),
                         qUtf8Printable(traceFile.ErrorString()));
            return false;
        }
        trace = std::make_unique<CLineTrace>(
            [this](const std::string& line) { traceFile.Append(QString::fromStdString(line)); },
            [] { return std::chrono::steady_clock::now().time_since_epoch(); });
    }

    if (commandLine.demo) {
        QString error;
        demoConsole = StartDemoConsole(commandLine.portMapping, error);
        if (!demoConsole) {
            std::fprintf(stderr, "kelvarin: the simulated console cannot be started: %s\n",
                         qUtf8Printable(error));
            return false;
        }
    }

    frame = std::make_unique<CMainFrame>(doc, objectBase, recentFiles, commandLine.portMapping,
                                         commandLine.logFilePath.isEmpty() ? nullptr : &logFile,
                                         demoConsole ? demoPortName : QString());
    // The port opened with the window; the trace starts with that.
    frame->View().Session().SetTrace(trace.get());
    if (!commandLine.fileName.isEmpty() && !frame->OpenFile(commandLine.fileName)) {
        frame.reset();
        return false;
    }

    frame->show();
    frame->repaint();
    exitCode = 0;
    return true;
}

void CKelvarinApp::ExitInstance() {
    frame.reset();
    demoConsole.reset();
    SaveStdProfileSettings();
}

void CKelvarinApp::LoadStdProfileSettings() {
    QSettings profile(profileOrganization, profileApplication);
    recentFiles.Read(profile);
    previewPages = ReadProfileInt(profile, previewPagesKey, 0);
}

void CKelvarinApp::SaveStdProfileSettings() {
    QSettings profile(profileOrganization, profileApplication);
    recentFiles.Write(profile);
    if (previewPages != 0)
        profile.setValue(previewPagesKey, previewPages);
}
