#include "app/CMainFrame.h"

#include "app/AppIcons.h"
#include "app/CAboutDlg.h"
#include "app/CRecentFileList.h"
#include "app/Profile.h"
#include "base/CKelvarinDoc.h"
#include "base/NativePath.h"
#include "exchange/CExchangeSession.h"
#include "front/CPortList.h"
#include "front/PortTexts.h"
#include "link/CLogFile.h"
#include "panel/CBaseWindow.h"
#include "panel/CKelvarinView.h"
#include "panel/CObjectBaseModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <cstdio>

#include <unistd.h>

namespace {

const QString appTitle = QStringLiteral("Kelvarin");
const QString readyMessage = QStringLiteral("Ready");

// Base files carry no extension, and "*.*" on this side of the fence only matches
// names with a dot in them.
#ifdef Q_OS_WIN
const QString allFilesFilter = QStringLiteral("All Files (*.*)");
#else
const QString allFilesFilter = QStringLiteral("All Files (*)");
#endif

constexpr int statusMessageMs = 10000;

QLabel* LockKeyIndicator(const QString& widestText, QWidget* parent) {
    // Qt cannot read the lock keys' state portably, so the panes stay blank; they
    // keep their width so the bar looks the same everywhere.
    auto* indicator = new QLabel(parent);
    indicator->setFrameShape(QFrame::Panel);
    indicator->setFrameShadow(QFrame::Sunken);
    indicator->setMinimumWidth(indicator->fontMetrics().horizontalAdvance(widestText) + 8);
    return indicator;
}

} // namespace

QPoint MaximisedPosition(const QSize& screenSize) {
    return {screenSize.width() / 40, screenSize.height() / 40};
}

CMainFrame::CMainFrame(CKelvarinDoc& doc, CObjectBase& objectBase, CRecentFileList& recentFiles,
                       const CPortMapping& portMapping, CLogFile* logFile, CLineTrace* trace,
                       const QString& demoPort, const QList<RunFile>& runFiles)
    : doc(doc), recentFiles(recentFiles), runFiles(runFiles), portMapping(portMapping),
      session(std::make_unique<CExchangeSession>(objectBase, portMapping)),
      portList(std::make_unique<CPortList>(*session)) {
    setWindowIcon(KelvarinIcon("kelvarin"));
    setFixedSize(fixedFrameSize);
    CreateMenus();
    CreateToolBar();
    CreateStatusBar(!demoPort.isEmpty());

    // Every listener first, then the port: nothing the session says at start-up
    // goes unheard.
    session->SetTrace(trace);
    if (logFile) {
        for (auto signal : {&CLogFile::writeFailed, &CLogFile::writeResumed})
            connect(logFile, signal, this, [this](const QString& text) {
                statusBar()->showMessage(text, statusMessageMs);
            });
    }
    view = new CKelvarinView(*session, *portList, logFile, this);
    setCentralWidget(view);
    connect(session.get(), &CExchangeSession::statusMessage, this, &CMainFrame::ShowPortStatus);
    // The log says "Нет связи с ПЦН"; the status bar says which device was asked.
    connect(session.get(), &CExchangeSession::finished, this, [this](Outcome outcome) {
        if (outcome == Outcome::NoAnswer)
            ShowPortStatus(NoAnswerText(session->OpenPortName(), session->OpenDevicePath(),
                                        this->portMapping));
    });
    connect(session.get(), &CExchangeSession::idleChanged, this, [this](bool idle) {
        exchangeIdle = idle;
        UpdateFileCommands();
    });
    // The console column fills block by block as "Read Base" takes each reply.
    baseModel = new CObjectBaseModel(objectBase, this);
    connect(session.get(), &CExchangeSession::blockStored, baseModel,
            &CObjectBaseModel::OnBlockStored);
    connect(baseModel, &CObjectBaseModel::fileTableModifiedChanged, this,
            [this] { UpdateTitle(this->doc.Title()); });

    if (demoPort.isEmpty())
        portList->OpenStored();
    else
        portList->OpenForRun(demoPort);
    session->StartTimer();
    // A log file that fails from the start outweighs the port's news.
    if (logFile && !logFile->Failure().isEmpty())
        statusBar()->showMessage(logFile->Failure(), statusMessageMs);

    // Base-file news comes as a box over the window, at the moment it happens.
    connect(&doc, &CKelvarinDoc::reported, this, [this](CKelvarinDoc::Report, const QString& text) {
        QMessageBox::warning(this, appTitle, text);
    });
    connect(&doc, &CKelvarinDoc::titleChanged, this, &CMainFrame::UpdateTitle);
    UpdateTitle(doc.Title());
    UpdateRecentFileMenu();
}

CMainFrame::~CMainFrame() {
    if (baseWindow && baseWindow->isVisible())
        SaveBaseWindowGeometry();
    // The panel answers into the session (an open overwrite question), so it goes
    // before the session does.
    delete view;
}

QAction* CMainFrame::AddCommand(const QString& text, const QString& statusTip,
                                const QKeySequence& shortcut) {
    auto* action = new QAction(text, this);
    action->setStatusTip(statusTip);
    action->setShortcut(shortcut);
    addAction(action); // so that the shortcut works without the menu
    return action;
}

void CMainFrame::CreateMenus() {
    openAction = AddCommand(QStringLiteral("&Open..."), QStringLiteral("Open an existing document"),
                            QKeySequence(Qt::CTRL | Qt::Key_O));
    openAction->setIcon(KelvarinIcon("open"));
    openAction->setToolTip(QStringLiteral("Open"));
    connect(openAction, &QAction::triggered, this, &CMainFrame::OnFileOpen);

    saveAction = AddCommand(QStringLiteral("&Save"), QStringLiteral("Save the active document"),
                            QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAction->setIcon(KelvarinIcon("save"));
    saveAction->setToolTip(QStringLiteral("Save"));
    connect(saveAction, &QAction::triggered, this, &CMainFrame::OnFileSave);

    saveAsAction = AddCommand(QStringLiteral("Save &As..."),
                              QStringLiteral("Save the active document with a new name"));
    connect(saveAsAction, &QAction::triggered, this, &CMainFrame::OnFileSaveAs);

    QAction* exitAction = AddCommand(
        QStringLiteral("E&xit"), QStringLiteral("Quit the application; prompts to save documents"));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);

    objectBaseAction =
        AddCommand(QStringLiteral("&Object base..."),
                   QStringLiteral("Show the objects of the console and of the file side by side"),
                   QKeySequence(Qt::CTRL | Qt::Key_B));
    objectBaseAction->setIcon(KelvarinIcon("base"));
    objectBaseAction->setToolTip(QStringLiteral("Object base"));
    objectBaseAction->setObjectName(QStringLiteral("objectBase"));
    connect(objectBaseAction, &QAction::triggered, this, &CMainFrame::OnViewObjectBase);

    QAction* aboutAction =
        AddCommand(QStringLiteral("&About Kelvarin..."),
                   QStringLiteral("Display program information, version number and copyright"));
    aboutAction->setIcon(KelvarinIcon("about"));
    aboutAction->setToolTip(QStringLiteral("About"));
    aboutAction->setObjectName(QStringLiteral("about"));
    connect(aboutAction, &QAction::triggered, this, &CMainFrame::OnAppAbout);

    QAction* newAction =
        AddCommand(QStringLiteral("New"), QString(), QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(newAction, &QAction::triggered, this, &CMainFrame::OnFileNew);
    QAction* printAction =
        AddCommand(QStringLiteral("Print"), QString(), QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(printAction, &QAction::triggered, this, [this] { view->OnFilePrint(); });

    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->addAction(openAction);
    fileMenu->addAction(saveAction);
    fileMenu->addAction(saveAsAction);
    fileMenu->addSeparator();
    fileMenu->addSeparator();
    recentPlaceholder = fileMenu->addAction(QStringLiteral("Recent File"));
    recentPlaceholder->setEnabled(false);
    recentEndSeparator = fileMenu->addSeparator();
    fileMenu->addAction(exitAction);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("&View"));
    viewMenu->addAction(objectBaseAction);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->addAction(aboutAction);
}

void CMainFrame::CreateToolBar() {
    QToolBar* toolBar = addToolBar(QStringLiteral("Standard"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setIconSize(QSize(16, 15));
    toolBar->setMovable(true);
    toolBar->setFloatable(true);
    toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    toolBar->addAction(openAction);
    toolBar->addAction(saveAction);
    toolBar->addAction(objectBaseAction);
    toolBar->addSeparator();
    toolBar->addAction(findChild<QAction*>(QStringLiteral("about")));
}

void CMainFrame::CreateStatusBar(bool demo) {
    // The message pane says "Ready" whenever no prompt or message stands in it. A
    // label underneath would show through a message shown before the window is.
    // Queued: the bar clears an expired message from inside its own timer, which
    // must not be replaced while it runs.
    connect(
        statusBar(), &QStatusBar::messageChanged, this,
        [this](const QString& message) {
            if (message.isEmpty() && statusBar()->currentMessage().isEmpty())
                statusBar()->showMessage(readyMessage);
        },
        Qt::QueuedConnection);
    statusBar()->showMessage(readyMessage);
    if (demo) {
        // Permanent, so that no message and no file title can hide that nothing
        // here reaches a real console.
        auto* simulated = new QLabel(QStringLiteral("Simulated console (demo)"), this);
        simulated->setObjectName(QStringLiteral("demo"));
        simulated->setFrameShape(QFrame::Panel);
        simulated->setFrameShadow(QFrame::Sunken);
        statusBar()->addPermanentWidget(simulated);
    }
    statusBar()->addPermanentWidget(LockKeyIndicator(QStringLiteral("CAP"), this));
    statusBar()->addPermanentWidget(LockKeyIndicator(QStringLiteral("NUM"), this));
    statusBar()->addPermanentWidget(LockKeyIndicator(QStringLiteral("SCRL"), this));
}

void CMainFrame::UpdateRecentFileMenu() {
    qDeleteAll(recentActions);
    recentActions.clear();
    recentPlaceholder->setVisible(recentFiles.IsEmpty());

    const QStringList& entries = recentFiles.Entries();
    for (int i = 0; i < entries.size(); ++i) {
        QString shown = AbbreviatePath(entries[i], CRecentFileList::displayLength);
        shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown), this);
        action->setStatusTip(QStringLiteral("Open this document"));
        connect(action, &QAction::triggered, this, [this, i] { OnFileRecent(i); });
        fileMenu->insertAction(recentEndSeparator, action);
        recentActions.append(action);
    }
    UpdateFileCommands();
}

void CMainFrame::UpdateFileCommands() {
    // While an exchange runs, nothing may swap the file table or the document's
    // file under it.
    openAction->setEnabled(exchangeIdle);
    saveAction->setEnabled(exchangeIdle);
    saveAsAction->setEnabled(exchangeIdle);
    for (QAction* action : recentActions)
        action->setEnabled(exchangeIdle);
    // "Write Base" reads the file table block by block as it sends.
    if (baseModel)
        baseModel->SetEditable(exchangeIdle);
}

// What happened to the port goes to the status bar and, for whoever started the
// program from a terminal, to standard error.
void CMainFrame::ShowPortStatus(const QString& text) {
    std::fprintf(stderr, "kelvarin: %s\n", qUtf8Printable(text));
    statusBar()->showMessage(text, statusMessageMs);
}

void CMainFrame::UpdateTitle(const QString& documentTitle) {
    const bool modified = baseModel && baseModel->IsFileTableModified();
    setWindowTitle(documentTitle + (modified ? QStringLiteral("*") : QString()) +
                   QStringLiteral(" - ") + appTitle);
}

void CMainFrame::AddRecentFile(const QString& path) {
    // The profile keeps names as text: a name that is not UTF-8 would come back
    // from it as another file's.
    if (!IsTextPath(path))
        return;
    recentFiles.Add(path);
    UpdateRecentFileMenu();
}

bool CMainFrame::OpenFile(const QString& path) {
    const CKelvarinDoc::OpenResult result = OpenDocumentFile(doc, path, runFiles);
    if (result == CKelvarinDoc::OpenResult::Opened) {
        AddRecentFile(doc.PathName());
        baseModel->OnFileTableReplaced();
    }
    return result != CKelvarinDoc::OpenResult::Failed;
}

bool CMainFrame::SaveFile(const QString& path) {
    if (SaveDocumentFile(doc, path, runFiles) != CKelvarinDoc::SaveResult::Saved)
        return false;
    AddRecentFile(doc.PathName());
    baseModel->OnFileTableReplaced();
    return true;
}

void CMainFrame::OnFileNew() {
    if (!SaveModified())
        return;
    doc.OnNewDocument();
    baseModel->OnFileTableChanged();
}

void CMainFrame::OnFileOpen() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), allFilesFilter);
    // The document's own file is not opened again, so nothing is lost by it.
    if (!path.isEmpty() && (doc.IsOpen(path) || SaveModified()))
        OpenFile(path);
}

bool CMainFrame::SaveModified() {
    if (!baseModel->IsFileTableModified())
        return true;
    const QString question =
        doc.PathName().isEmpty()
            ? QStringLiteral("The file column has unsaved changes. Save them as a base file?")
            : QStringLiteral("The file column has changes that are not saved in %1. Save them?")
                  .arg(doc.Title());
    QMessageBox box(QMessageBox::Warning, appTitle, question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        // Always by the dialog, which proposes the document's file: the column may
        // have been made anew since that file was opened.
        return MakeBaseWindow().OnSaveFileBaseAs();
    case QMessageBox::Discard:
        baseModel->RevertFileTable();
        return true;
    default:
        return false;
    }
}

// File > Save writes the console's base and puts it into the file column as well.
bool CMainFrame::ConfirmReplacingEdits() {
    if (!baseModel->IsFileTableModified() || !baseModel->CanTakeConsoleBase())
        return true;
    return QMessageBox::warning(this, appTitle,
                                QStringLiteral("Saving the console's base replaces the file "
                                               "column, which has unsaved changes. Discard them?"),
                                QMessageBox::Discard | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Discard;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (SaveModified())
        QMainWindow::closeEvent(event);
    else
        event->ignore();
}

void CMainFrame::OnFileSave() {
    if (!ConfirmReplacingEdits())
        return;
    // access() takes the name as the bytes it is, whatever they are.
    const QString path = doc.PathName();
    if (!path.isEmpty() && ::access(NativePath(path).constData(), W_OK) == 0)
        SaveFile(path);
    else
        OnFileSaveAs();
}

void CMainFrame::OnFileSaveAs() {
    if (!ConfirmReplacingEdits())
        return;
    const QString proposal = doc.PathName().isEmpty() ? doc.Title() : doc.PathName();
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), proposal, allFilesFilter);
    if (!path.isEmpty())
        SaveFile(path);
}

void CMainFrame::OnFileRecent(int index) {
    if (index < 0 || index >= recentFiles.Entries().size())
        return;
    const QString path = recentFiles.Entries()[index];
    if (!doc.IsOpen(path) && !SaveModified())
        return;
    if (!OpenFile(path)) {
        recentFiles.Remove(path);
        UpdateRecentFileMenu();
    }
}

void CMainFrame::OnViewObjectBase() {
    MakeBaseWindow();
    baseWindow->show();
    baseWindow->raise();
    baseWindow->activateWindow();
}

CBaseWindow& CMainFrame::MakeBaseWindow() {
    if (!baseWindow) {
        baseWindow = new CBaseWindow(*baseModel, doc, runFiles, this);
        QSettings profile(profileOrganization, profileApplication);
        baseWindow->RestoreGeometry(profile);
        connect(baseWindow, &CBaseWindow::closed, this, &CMainFrame::SaveBaseWindowGeometry);
        connect(baseWindow, &CBaseWindow::fileBaseSaved, this, &CMainFrame::AddRecentFile);
    }
    return *baseWindow;
}

CBaseWindow* CMainFrame::BaseWindow() const {
    return baseWindow;
}

void CMainFrame::SaveBaseWindowGeometry() {
    QSettings profile(profileOrganization, profileApplication);
    baseWindow->SaveGeometry(profile);
}

void CMainFrame::OnAppAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMaximized())
        return;
    // Maximising keeps the size and only moves the window; the platform applies its
    // own maximised geometry after this event, so the move waits for it.
    QTimer::singleShot(0, this, [this] {
        if (!isMaximized())
            return;
        const QSize screen = QGuiApplication::primaryScreen()->size();
        move(MaximisedPosition(screen));
        resize(fixedFrameSize);
    });
}
