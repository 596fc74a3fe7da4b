#pragma once

#include "front/BaseFiles.h"
#include "link/CPortMapping.h"

#include <QList>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QSize>

#include <memory>

class CBaseWindow;
class CExchangeSession;
class CKelvarinDoc;
class CKelvarinView;
class CLineTrace;
class CLogFile;
class CObjectBaseModel;
class CPortList;
class CRecentFileList;
struct CObjectBase;
class QAction;
class QLabel;
class QMenu;

// The window is always this size: resizing does nothing and maximising only moves it.
constexpr QSize fixedFrameSize(640, 480);

// Where a maximised frame goes on a screen of this size: (width / 40, height / 40).
QPoint MaximisedPosition(const QSize& screenSize);

// The main window: menu, accelerators, toolbar and status bar around the panel,
// and the file commands that tie the document to base files. It owns the window's
// exchange session: it makes it, connects the panel, the base window's model and
// its own status bar to it, and only then opens the port.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // logFile and trace, when given, watch the session and must outlive the frame.
    // demoPort names the port that leads to the built-in simulated console (--demo):
    // it is opened at start in place of the stored one, and the status bar says
    // that the console is simulated. runFiles are the log and trace files by name,
    // which the file commands refuse as base files.
    CMainFrame(CKelvarinDoc& doc, CObjectBase& objectBase, CRecentFileList& recentFiles,
               const CPortMapping& portMapping, CLogFile* logFile = nullptr,
               CLineTrace* trace = nullptr, const QString& demoPort = QString(),
               const QList<RunFile>& runFiles = {});
    ~CMainFrame() override;

    CKelvarinView& View() { return *view; }
    CExchangeSession& Session() { return *session; }
    // The tables as the base window shows them; it follows every change the frame knows of.
    CObjectBaseModel& BaseModel() { return *baseModel; }
    // The base window, once View > Object base has opened it.
    CBaseWindow* BaseWindow() const;

    // File > Open once a file is chosen. False when it could not be opened or
    // loaded (the document has said why).
    bool OpenFile(const QString& path);
    // File > Save As once a name is chosen. False when nothing was saved.
    bool SaveFile(const QString& path);

    void OnFileNew();
    void OnFileOpen();
    void OnFileSave();
    void OnFileSaveAs();
    void OnFileRecent(int index);
    void OnViewObjectBase();
    void OnAppAbout();

    // Before the file column's unsaved changes would be lost (New, Open, Exit): Save,
    // Discard or Cancel. False for Cancel, or when the save did not happen. Discard
    // takes the column back to what it held when it was last loaded or saved.
    bool SaveModified();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(const QString& text, const QString& statusTip,
                        const QKeySequence& shortcut = {});
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar(bool demo);
    void AddRecentFile(const QString& path);
    void UpdateRecentFileMenu();
    void UpdateFileCommands();
    void UpdateTitle(const QString& documentTitle);
    void ShowPortStatus(const QString& text);
    void SaveBaseWindowGeometry();
    CBaseWindow& MakeBaseWindow();
    bool ConfirmReplacingEdits();

    CKelvarinDoc& doc;
    CRecentFileList& recentFiles;
    const QList<RunFile> runFiles;
    const CPortMapping portMapping; // as the session got it, for what the status bar says
    std::unique_ptr<CExchangeSession> session;
    std::unique_ptr<CPortList> portList;
    CKelvarinView* view = nullptr;
    bool exchangeIdle = true;

    QAction* openAction = nullptr;
    QAction* saveAction = nullptr;
    QAction* saveAsAction = nullptr;
    QAction* objectBaseAction = nullptr;
    QAction* recentEndSeparator = nullptr;
    QAction* recentPlaceholder = nullptr;
    QList<QAction*> recentActions;
    QMenu* fileMenu = nullptr;
    CObjectBaseModel* baseModel = nullptr;
    QPointer<CBaseWindow> baseWindow;
};
