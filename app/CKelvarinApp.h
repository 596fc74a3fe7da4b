#pragma once

#include "app/CRecentFileList.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "link/CLineTrace.h"
#include "link/CLogFile.h"
#include "sim/CSimPty.h"

#include <QStringList>

#include <memory>

class CMainFrame;

// The application: reads the profile, builds the one document, frame and panel,
// opens a file named on the command line, and writes the profile back at exit.
class CKelvarinApp {
public:
    CKelvarinApp();
    ~CKelvarinApp();

    // Start-up. False when the program is to end at once, with exitCode set
    // (0 after --help or --version).
    bool InitInstance(const QStringList& arguments, int& exitCode);
    // Closes the window and writes the recent files and preview page count.
    void ExitInstance();

    CMainFrame* MainFrame() { return frame.get(); }
    const CRecentFileList& RecentFiles() const { return recentFiles; }
    int PreviewPages() const { return previewPages; }

private:
    void LoadStdProfileSettings();
    void SaveStdProfileSettings();

    CObjectBase objectBase;
    CKelvarinDoc doc{objectBase};
    CRecentFileList recentFiles;
    int previewPages = 0;
    CLogFile logFile;
    CLogFile traceFile;
    std::unique_ptr<CLineTrace> trace; // outlives the window's session, which it watches
    // --demo only; goes after the frame, whose port leads to it.
    std::unique_ptr<CSimPty> demoConsole;
    std::unique_ptr<CMainFrame> frame;
};
