#include "app/CKelvarinApp.h"

#include "app/CMainFrame.h"
#include "app/CommandLine.h"
#include "app/Profile.h"
#include "front/FrontEndOptions.h"
#include "front/PortChoice.h"
#include "front/RunHeader.h"
#include "sim/DemoConsole.h"

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
    QString error;
    if (!start.OpenFiles(commandLine.logFilePath, commandLine.traceFilePath, error) ||
        (commandLine.demo && !start.StartDemo(commandLine.portMapping, error))) {
        PrintTo(stderr, error);
        return false;
    }
    // The port the window opens at start, as its port list will choose it.
    PortChoice startPort;
    startPort.mapping = commandLine.portMapping;
    if (!ChoosePort(start.IsDemo() ? demoPortName : QString(), startPort, error))
        startPort = {};
    const QString options = CommandText(arguments.mid(1));
    start.WriteHeader(options.isEmpty() ? QStringLiteral("window") : "window " + options,
                      startPort.portName, startPort.devicePath);

    frame = std::make_unique<CMainFrame>(
        doc, objectBase, recentFiles, commandLine.portMapping, start.LogFile(), start.Trace(),
        start.IsDemo() ? demoPortName : QString(),
        RunFilesOf(commandLine.logFilePath, commandLine.traceFilePath));
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
