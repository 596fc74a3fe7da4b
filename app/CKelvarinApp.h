#pragma once

#include "app/CRecentFileList.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "front/CFrontEndStart.h"

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
    // The log and trace files and the demo console; they go after the frame, whose
    // session writes to them and whose port leads to the console.
    CFrontEndStart start{QStringLiteral("kelvarin")};
    std::unique_ptr<CMainFrame> frame;
};
