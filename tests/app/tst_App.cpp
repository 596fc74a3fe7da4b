#include "common/TestMain.h"

#include "common/NowhereMapping.h"

#include "app/CAboutDlg.h"
#include "app/CKelvarinApp.h"
#include "app/CMainFrame.h"
#include "app/CRecentFileList.h"
#include "app/CommandLine.h"
#include "app/QtTranslations.h"
#include "base/CKelvarinDoc.h"
#include "base/ObjectBase.h"
#include "front/CFrontEndStart.h"
#include "front/FrontEndOptions.h"
#include "link/CLogFile.h"
#include "link/CPortMapping.h"
#include "panel/CBaseWindow.h"
#include "panel/CKelvarinView.h"
#include "panel/CObjectBaseModel.h"
#include "panel/CRewriteDlg.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryFile>
#include <QToolBar>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QSettings Profile() {
    return QSettings(QStringLiteral("Merovane_Kelvar_VX-418K"), QStringLiteral("Kelvarin"));
}

QString MakeFile(const QString& path, qsizetype size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(size, '\0')) != size)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QStringList ActionTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (QAction* action : actions)
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QMenu* MenuNamed(CMainFrame& frame, const QString& title) {
    for (QAction* action : frame.menuBar()->actions())
        if (action->text() == title)
            return action->menu();
    return nullptr;
}

QList<QAction*> RecentItems(CMainFrame& frame) {
    QList<QAction*> items;
    for (QAction* action : MenuNamed(frame, QStringLiteral("&File"))->actions())
        if (action->statusTip() == QStringLiteral("Open this document"))
            items << action;
    return items;
}

// Answers every message box the document's news brings up while a test runs,
// keeping the texts. A box that is not modal, captioned "Kelvarin", with the
// exclamation icon and OK alone is kept marked, so that no text check passes it.
class MessageBoxAnswerer : public QObject {
public:
    MessageBoxAnswerer() {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                const bool asGiven = box->windowTitle() == QStringLiteral("Kelvarin") &&
                                     box->icon() == QMessageBox::Warning &&
                                     box->standardButtons() == QMessageBox::Ok && box->isModal();
                texts << (asGiven ? box->text()
                                  : QStringLiteral("unlike the others: ") + box->text());
                box->accept();
            }
        });
        timer.start(10);
    }
    QStringList texts;

private:
    QTimer timer;
};

// Every text that a window of the program shows or gives to a screen reader: its
// title, its controls' texts, tips and accessible names, its table's column
// titles and its actions with their shortcuts as the menus show them.
QStringList TextsOf(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    QList<const QWidget*> widgets{&window};
    for (const QWidget* widget : window.findChildren<QWidget*>())
        widgets << widget;
    for (const QWidget* widget : widgets) {
        texts << widget->toolTip() << widget->statusTip() << widget->whatsThis()
              << widget->accessibleName() << widget->accessibleDescription();
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
            texts << button->text();
        if (const auto* label = qobject_cast<const QLabel*>(widget))
            texts << label->text();
        if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
            texts << edit->text() << edit->placeholderText();
        if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget))
            texts << spin->text();
        if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
            for (int i = 0; i < list->count(); ++i)
                texts << list->itemText(i);
        }
        if (const auto* table = qobject_cast<const QTableView*>(widget)) {
            for (int column = 0; column < table->model()->columnCount(); ++column)
                texts << table->model()->headerData(column, Qt::Horizontal).toString();
        }
    }
    for (const QAction* action : window.findChildren<QAction*>())
        texts << action->text() << action->toolTip() << action->statusTip()
              << action->shortcut().toString(QKeySequence::NativeText);
    return texts;
}

} // namespace

class TestApp : public QObject {
    Q_OBJECT

private:
    CObjectBase objectBase;
    std::unique_ptr<CKelvarinDoc> doc;
    CRecentFileList recentFiles;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<QTemporaryDir> dir;

    QString FilePath(const QString& name) { return dir->filePath(name); }

    // The main window with its menus, the object base window, the About box,
    // "Write Number" and a base file's message box, each made anew.
    QStringList TextsOfEveryWindow() {
        CMainFrame window(*doc, objectBase, recentFiles, NowhereMapping());
        QStringList texts = TextsOf(window);
        window.OnViewObjectBase();
        texts << TextsOf(*window.BaseWindow());
        texts << TextsOf(CAboutDlg(&window)) << TextsOf(CRewriteDlg(&window));
        QStringList boxTexts;
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&boxTexts] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxTexts << TextsOf(*box) << box->text();
                box->accept();
            }
        });
        answer.start(10);
        window.OpenFile(MakeFile(FilePath(QStringLiteral("short")), 100));
        texts << boxTexts;
        return texts;
    }

private slots:
    void init() {
        QSettings profile = Profile();
        profile.clear();
        profile.setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 4);
        profile.sync();
        dir = std::make_unique<QTemporaryDir>();
        objectBase = CObjectBase{};
        recentFiles = CRecentFileList{};
        doc = std::make_unique<CKelvarinDoc>(objectBase);
        frame = std::make_unique<CMainFrame>(*doc, objectBase, recentFiles, NowhereMapping());
        frame->show();
    }
    void cleanup() {
        frame.reset();
        doc.reset();
        dir.reset();
    }

    void maximisedPosition_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QPoint>("position");
        QTest::newRow("1024 x 768") << QSize(1024, 768) << QPoint(25, 19);
        QTest::newRow("1280 x 1024") << QSize(1280, 1024) << QPoint(32, 25);
        QTest::newRow("1920 x 1080") << QSize(1920, 1080) << QPoint(48, 27);
        QTest::newRow("smaller than 40") << QSize(39, 39) << QPoint(0, 0);
    }
    void maximisedPosition() {
        QFETCH(QSize, screen);
        QFETCH(QPoint, position);
        QCOMPARE(MaximisedPosition(screen), position);
    }

    void windowKeepsItsSize() {
        QCOMPARE(frame->size(), QSize(640, 480));
        frame->resize(800, 600);
        QCOMPARE(frame->size(), QSize(640, 480));
        frame->resize(320, 200);
        QCOMPARE(frame->size(), QSize(640, 480));

        frame->showMaximized();
        const QPoint expected = MaximisedPosition(QGuiApplication::primaryScreen()->size());
        QTRY_COMPARE_WITH_TIMEOUT(frame->pos(), expected, 2000);
        QCOMPARE(frame->size(), QSize(640, 480));
    }

    void titleFollowsTheDocument() {
        MessageBoxAnswerer answerer;
        QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled - Kelvarin"));
        QVERIFY(frame->OpenFile(MakeFile(FilePath("objects.bin"), 7212)));
        QCOMPARE(frame->windowTitle(), QStringLiteral("objects.bin - Kelvarin"));

        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        QTest::keyClick(frame.get(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled - Kelvarin"));

        objectBase.deviceBaseComplete = 1;
        QVERIFY(frame->SaveFile(FilePath("saved")));
        QCOMPARE(frame->windowTitle(), QStringLiteral("saved - Kelvarin"));
        // What the document told came as the window's boxes, the same after a load
        // and after a save.
        const QString loaded = QStringLiteral("Загружен файл базы объектов ПЦН VX-418");
        QCOMPARE(answerer.texts, (QStringList{loaded, loaded}));
        QCOMPARE(recentFiles.Entries().value(0), QFileInfo(FilePath("saved")).absoluteFilePath());
    }

    void fileMenuAsGiven() {
        QVERIFY(MenuNamed(*frame, QStringLiteral("&File")));
        QVERIFY(MenuNamed(*frame, QStringLiteral("&Help")));
        QCOMPARE(ActionTexts(frame->menuBar()->actions()),
                 (QStringList{"&File", "&View", "&Help"}));
        const QList<QAction*> file = MenuNamed(*frame, QStringLiteral("&File"))->actions();
        QCOMPARE(ActionTexts(file), (QStringList{"&Open...", "&Save", "Save &As...", "-", "-",
                                                 "Recent File", "-", "E&xit"}));
        QVERIFY(!file[5]->isEnabled());
        QCOMPARE(file[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(file[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
        QCOMPARE(file[2]->statusTip(), QStringLiteral("Save the active document with a new name"));
        QCOMPARE(file[7]->statusTip(),
                 QStringLiteral("Quit the application; prompts to save documents"));
        QCOMPARE(ActionTexts(MenuNamed(*frame, QStringLiteral("&Help"))->actions()),
                 QStringList{"&About Kelvarin..."});
        QCOMPARE(ActionTexts(MenuNamed(*frame, QStringLiteral("&View"))->actions()),
                 QStringList{"&Object base..."});
    }

    void acceleratorsReachTheirCommands_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("dialog"); // the title of what the command shows; none for New
        QTest::newRow("new") << "Ctrl+N"
                             << "";
        QTest::newRow("open") << "Ctrl+O"
                              << "Open";
        QTest::newRow("save, untitled") << "Ctrl+S"
                                        << "Save As";
        QTest::newRow("print") << "Ctrl+P"
                               << "Print";
        QTest::newRow("object base") << "Ctrl+B"
                                     << "Object base - Kelvarin";
    }
    void acceleratorsReachTheirCommands() {
        QFETCH(QString, key);
        QFETCH(QString, dialog);
        QVERIFY(frame->OpenFile(MakeFile(FilePath("opened.bin"), 0)));
        if (dialog == QLatin1String("Save As"))
            frame->OnFileNew(); // untitled, so that Save asks for a name
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        QString shown;
        QTimer answer;
        answer.setSingleShot(true);
        connect(&answer, &QTimer::timeout, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                shown = modal->windowTitle();
                QMetaObject::invokeMethod(modal, "reject");
            }
        });
        answer.start(0);

        QTest::keySequence(frame.get(), QKeySequence(key));

        // The object base window is not modal: it is found among the windows shown.
        if (shown.isEmpty())
            for (QWidget* window : QApplication::topLevelWidgets())
                if (window != frame.get() && window->isVisible())
                    shown = window->windowTitle();
        QCOMPARE(shown, dialog);
        if (dialog.isEmpty())
            QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled - Kelvarin"));
    }

    void toolbarButtons() {
        auto* toolBar = frame->findChild<QToolBar*>();
        QVERIFY(toolBar);
        QCOMPARE(toolBar->iconSize(), QSize(16, 15));
        QCOMPARE(ActionTexts(toolBar->actions()),
                 (QStringList{"&Open...", "&Save", "&Object base...", "-", "&About Kelvarin..."}));
        QCOMPARE(toolBar->actions()[4]->toolTip(), QStringLiteral("About"));
        QCOMPARE(toolBar->actions()[0]->statusTip(), QStringLiteral("Open an existing document"));
    }

    // The message pane: "Ready", a prompt while one is shown, then "Ready" again.
    void statusBarMessagePane() {
        QStatusBar* bar = frame->statusBar();
        QCOMPARE(bar->currentMessage(), QStringLiteral("Ready"));
        bar->showMessage(QStringLiteral("Open an existing document"), 20);
        QCOMPARE(bar->currentMessage(), QStringLiteral("Open an existing document"));
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Ready"));
        bar->clearMessage(); // as when the pointer leaves a menu item
        QTRY_COMPARE(bar->currentMessage(), QStringLiteral("Ready"));
    }

    void recentFilesKeepTheNineNewest() {
        QStringList opened;
        for (int i = 1; i <= 10; ++i) {
            opened.prepend(MakeFile(FilePath(QStringLiteral("base%1").arg(i)), 0));
            QVERIFY(frame->OpenFile(opened.first()));
        }
        QCOMPARE(recentFiles.Entries(), opened.mid(0, 9));
        const QList<QAction*> items = RecentItems(*frame);
        QCOMPARE(items.size(), 9);
        for (int i = 0; i < 9; ++i) {
            const QString shown = items[i]->text().mid(3);
            QCOMPARE(items[i]->text().left(3), QStringLiteral("&%1 ").arg(i + 1));
            QVERIFY(shown.size() <= 30);
            QVERIFY2(shown.endsWith(QFileInfo(opened[i]).fileName()), qPrintable(shown));
        }
        QVERIFY(!MenuNamed(*frame, QStringLiteral("&File"))->actions()[5]->isVisible());

        // Opening one already listed moves it up rather than listing it twice.
        QVERIFY(frame->OpenFile(opened[4]));
        QCOMPARE(recentFiles.Entries().first(), opened[4]);
        QCOMPARE(recentFiles.Entries().size(), 9);
        QCOMPARE(recentFiles.Entries().count(opened[4]), 1);
    }

    void recentFileThatFailsLeavesTheList_data() {
        QTest::addColumn<bool>("fifo"); // the file is replaced by a FIFO rather than removed
        QTest::newRow("missing") << false;
        QTest::newRow("now a FIFO") << true;
    }
    void recentFileThatFailsLeavesTheList() {
        QFETCH(bool, fifo);
        MessageBoxAnswerer answerer;
        const QString kept = MakeFile(FilePath("kept"), 0);
        const QString gone = MakeFile(FilePath("gone"), 0);
        QVERIFY(frame->OpenFile(kept));
        QVERIFY(frame->OpenFile(gone));
        frame->OnFileNew();
        QVERIFY(QFile::remove(gone));
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(gone).constData(), 0666), 0);

        RecentItems(*frame)[0]->trigger();
        QCOMPARE(answerer.texts.size(), 1);
        QVERIFY2(answerer.texts[0].contains(gone), qPrintable(answerer.texts[0]));
        QCOMPARE(recentFiles.Entries(), QStringList{kept});
        QCOMPARE(RecentItems(*frame).size(), 1);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled - Kelvarin"));

        RecentItems(*frame)[0]->trigger();
        QCOMPARE(frame->windowTitle(), QStringLiteral("kept - Kelvarin"));
    }

    // A name that is not UTF-8, given as the shell gives it, is opened and saved again
    // under its own bytes.
    void fileNameThatIsNotUtf8() {
        MessageBoxAnswerer answerer;
        const QString startFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir->path()));
        QByteArray name("base\xff.bin");
        std::FILE* file = std::fopen(name.constData(), "wb");
        QVERIFY(file);
        QCOMPARE(std::fwrite(QByteArray(7212, '\x7f').constData(), 1, 7212, file), 7212u);
        std::fclose(file);
        QByteArray program("kelvarin");
        char* argv[] = {program.data(), name.data()};
        CCommandLine parsed;
        int exitCode = -1;
        QVERIFY(ParseCommandLine(ArgumentsFromNative(2, argv), parsed, exitCode));

        QVERIFY(frame->OpenFile(parsed.fileName));
        QCOMPARE(answerer.texts, QStringList{"Загружен файл базы объектов ПЦН VX-418"});
        QCOMPARE(frame->windowTitle(), QStringLiteral("base\uFFFD.bin - Kelvarin"));
        objectBase.deviceBaseComplete = 1;
        frame->OnFileSave();
        QCOMPARE(answerer.texts.size(), 2);
        file = std::fopen(name.constData(), "rb");
        QVERIFY(file);
        QByteArray saved(7213, '\1');
        saved.resize(std::fread(saved.data(), 1, saved.size(), file));
        std::fclose(file);
        QDir::setCurrent(startFolder);
        QCOMPARE(saved, QByteArray(7212, '\0'));
        // Qt lists no name that is not UTF-8: what it lists went to another file.
        QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        // The profile keeps names as text, so this one stays out of the list.
        QVERIFY(recentFiles.IsEmpty());
    }

    void abbreviatePath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("short stays") << "/home/ops/base.bin"
                                     << "/home/ops/base.bin";
        QTest::newRow("exactly 30")
            << "/home/operator/bases/b123.bin" + QString("x") << "/home/operator/bases/b123.binx";
        QTest::newRow("leading folders go") << "/home/user/documents/projects/base/object.bin"
                                            << "/.../projects/base/object.bin";
        QTest::newRow("only the name fits") << "/home/user/a-rather-long-base-file.bin"
                                            << "a-rather-long-base-file.bin";
        QTest::newRow("long name is cut")
            << "/srv/" + QString(40, QLatin1Char('n')) << QString(27, QLatin1Char('n')) + "...";
    }
    void abbreviatePath() {
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(AbbreviatePath(path, 30), shown);
        QVERIFY(AbbreviatePath(path, 30).size() <= 30);
    }

    void ampersandInPathIsNotAnAccessLetter() {
        const QString path = MakeFile(FilePath("R&D"), 0);
        QVERIFY(frame->OpenFile(path));
        QVERIFY(RecentItems(*frame)[0]->text().endsWith(QStringLiteral("R&&D")));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("goOn");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("logFile");
        QTest::addColumn<QString>("com2");
        QTest::newRow("nothing") << QStringList{} << true << 0 << ""
                                 << ""
                                 << "";
        QTest::newRow("file") << QStringList{"objects.bin"} << true << 0 << "objects.bin"
                              << ""
                              << "";
        QTest::newRow("all options")
            << QStringList{"--log-file", "/tmp/k.log",        "--port", "COM2=/dev/pts/7",
                           "--port",     "COM1=/dev/ttyUSB0", "b.bin"}
            << true << 0 << "b.bin"
            << "/tmp/k.log"
            << "/dev/pts/7";
        QTest::newRow("bad port") << QStringList{"--port", "COM9=/dev/x"} << false << 1 << ""
                                  << ""
                                  << "";
        QTest::newRow("two files") << QStringList{"a", "b"} << false << 1 << ""
                                   << ""
                                   << "";
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << false << 1 << ""
                                        << ""
                                        << "";
        QTest::newRow("version") << QStringList{"--version"} << false << 0 << ""
                                 << ""
                                 << "";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << ""
                              << ""
                              << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, goOn);
        QFETCH(int, exitCode);
        QFETCH(QString, fileName);
        QFETCH(QString, logFile);
        QFETCH(QString, com2);
        CCommandLine parsed;
        int code = -1;
        QCOMPARE(ParseCommandLine(QStringList{"kelvarin"} + arguments, parsed, code), goOn);
        QCOMPARE(code, exitCode);
        if (!goOn)
            return;
        QCOMPARE(parsed.fileName, fileName);
        QCOMPARE(parsed.logFilePath, logFile);
        if (!com2.isEmpty())
            QCOMPARE(parsed.portMapping.DevicePath(QStringLiteral("COM2")), com2);
    }

    void aboutBoxCloses_data() {
        QTest::addColumn<int>("how"); // 0 OK, 1 Escape, 2 close box
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << 0 << int(QDialog::Accepted);
        QTest::newRow("Escape") << 1 << int(QDialog::Rejected);
        QTest::newRow("close box") << 2 << int(QDialog::Rejected);
    }
    void aboutBoxCloses() {
        QFETCH(int, how);
        QFETCH(int, result);
        CAboutDlg about(frame.get());
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kelvarin"));
        auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
        QVERIFY(version);
        QVERIFY(version->text().contains(QStringLiteral(KELVARIN_VERSION)));
        bool answered = false;
        QTimer::singleShot(0, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal != &about)
                return;
            answered = true;
            if (how == 0) {
                auto* ok = about.findChild<QPushButton*>();
                QVERIFY(ok->isDefault());
                QTest::keyClick(ok, Qt::Key_Return);
            } else if (how == 1) {
                QTest::keyClick(&about, Qt::Key_Escape);
            } else {
                about.close();
            }
        });
        QCOMPARE(about.exec(), result);
        QVERIFY(answered);
    }

    // Under a Russian locale Qt's own texts follow it, where Qt's translations are
    // installed, as the program installs them at start; every text of the program's
    // own windows and dialogs stays exactly as it is.
    void ownTextsStayUnderARussianLocale() {
        const QStringList english = TextsOfEveryWindow();
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QTranslator* translator = InstallQtTranslations(QLocale());
        const auto restore = qScopeGuard([translator, before] {
            QLocale::setDefault(before);
            if (translator)
                QCoreApplication::removeTranslator(translator);
            delete translator;
        });
        if (!translator)
            QSKIP("Qt's Russian translation is not installed (qt6-translations-l10n)");
        // A standard button of Qt's own is in Russian now, so the texts below are
        // compared with Qt's translation in force.
        QDialogButtonBox qtButtons(QDialogButtonBox::Cancel);
        QCOMPARE(qtButtons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
        QCOMPARE(TextsOfEveryWindow(), english);
    }

    void fileCommandsWaitWhileTheExchangeRuns() {
        const QString recent = MakeFile(FilePath("recent"), 0);
        QVERIFY(frame->OpenFile(recent));
        const QList<QAction*> file = MenuNamed(*frame, QStringLiteral("&File"))->actions();
        const QList<QAction*> guarded{file[0], file[1], file[2], RecentItems(*frame)[0]};

        QPushButton* readBase = nullptr;
        for (QPushButton* button : frame->View().findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Read Base"))
                readBase = button;
        QVERIFY(readBase);
        QSignalSpy baseRows(&frame->BaseModel(), &QAbstractItemModel::dataChanged);
        QTest::mouseClick(readBase, Qt::LeftButton);
        for (QAction* action : guarded)
            QVERIFY2(!action->isEnabled(), qPrintable(action->text()));
        QVERIFY(!frame->BaseModel().IsEditable());
        QVERIFY(frame->findChild<QAction*>(QStringLiteral("about"))->isEnabled());
        QVERIFY(frame->findChild<QAction*>(QStringLiteral("objectBase"))->isEnabled());

        // No port is open, so the exchange gives up after six seconds.
        QTRY_VERIFY_WITH_TIMEOUT(frame->View().Session().IsIdle(), 10000);
        for (QAction* action : guarded)
            QVERIFY2(action->isEnabled(), qPrintable(action->text()));
        QVERIFY(frame->BaseModel().IsEditable());
        QCOMPARE(baseRows.size(), 0); // no block came, so no row of the console column changed
        auto* log = frame->View().findChild<CLogList*>(QStringLiteral("log"));
        QVERIFY(log->Line(log->Count() - 1).endsWith(QStringLiteral(" - Нет связи с ПЦН")));
    }

    // The title marks unsaved changes of the file column, and New, a recent file, Exit
    // and File > Save ask before they would be lost.
    void unsavedChangesAsk_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<bool>("visible");
        const int discard = QMessageBox::Discard;
        const int cancel = QMessageBox::Cancel;
        const QString edited = QStringLiteral("objects.bin* - Kelvarin");
        QTest::newRow("new, discard") << "new" << discard << "Untitled - Kelvarin" << false << true;
        QTest::newRow("new, cancel") << "new" << cancel << edited << true << true;
        QTest::newRow("recent, discard")
            << "recent" << discard << "other.bin - Kelvarin" << false << true;
        QTest::newRow("recent, cancel") << "recent" << cancel << edited << true << true;
        QTest::newRow("exit, discard")
            << "exit" << discard << "objects.bin - Kelvarin" << false << false;
        QTest::newRow("exit, cancel") << "exit" << cancel << edited << true << true;
        QTest::newRow("save, discard")
            << "save" << discard << "objects.bin - Kelvarin" << false << true;
        QTest::newRow("save, cancel") << "save" << cancel << edited << true << true;
    }
    void unsavedChangesAsk() {
        QFETCH(QString, command);
        QFETCH(int, answer);
        QFETCH(QString, title);
        QFETCH(bool, modified);
        QFETCH(bool, visible);
        QStringList asked;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            asked << box->text();
            if (QAbstractButton* button = box->button(QMessageBox::StandardButton(answer)))
                button->click();
            else
                box->accept(); // the document's news
        });
        answerer.start(10);
        QVERIFY(frame->OpenFile(MakeFile(FilePath("other.bin"), 7212)));
        QVERIFY(frame->OpenFile(MakeFile(FilePath("objects.bin"), 7212)));
        objectBase.deviceBaseComplete = 1;
        frame->OnViewObjectBase();
        QVERIFY(frame->BaseModel().SetObjects({{7, {2, 1}}}, QStringLiteral("Set object 007")));
        QCOMPARE(frame->windowTitle(), QStringLiteral("objects.bin* - Kelvarin"));
        asked.clear();

        if (command == "new")
            frame->OnFileNew();
        else if (command == "recent")
            frame->OnFileRecent(1);
        else if (command == "exit")
            frame->close();
        else
            frame->OnFileSave();
        QVERIFY2(!asked.isEmpty() && asked[0].contains("file column"), qPrintable(asked.join('|')));
        QCOMPARE(frame->windowTitle(), title);
        QCOMPARE(frame->BaseModel().IsFileTableModified(), modified);
        QCOMPARE(frame->isVisible(), visible);
        // Dropped changes are gone from the column, not only from the title.
        QCOMPARE(frame->BaseModel().FileText(7), modified ? "001.002" : "000.000");
    }

    // One window however often it is asked for; its size and place, and nothing
    // else, go into the profile when it closes and come back in the next run.
    void objectBaseWindowIsOneAndKeepsItsPlace() {
        QSignalSpy fileRows(&frame->BaseModel(), &QAbstractItemModel::dataChanged);
        MessageBoxAnswerer answerer;
        QVERIFY(frame->OpenFile(MakeFile(FilePath("objects.bin"), 7212)));
        QCOMPARE(fileRows.size(), 1);

        const QStringList keysBefore = Profile().allKeys();
        frame->OnViewObjectBase();
        CBaseWindow* window = frame->BaseWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Object base - Kelvarin"));
        frame->OnViewObjectBase();
        QCOMPARE(frame->BaseWindow(), window);
        window->resize(500, 420);
        window->close();

        QStringList keysAfter = Profile().allKeys();
        keysAfter.removeIf([](const QString& key) { return key.startsWith("BaseWindow/"); });
        QCOMPARE(keysAfter, keysBefore);
        frame.reset();
        frame = std::make_unique<CMainFrame>(*doc, objectBase, recentFiles, NowhereMapping());
        frame->OnViewObjectBase();
        QCOMPARE(frame->BaseWindow()->size(), QSize(500, 420));
    }

    void portThatCannotBeOpenedSaysWhy() {
        cleanup();
        Profile().setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 0);
        doc = std::make_unique<CKelvarinDoc>(objectBase);
        frame = std::make_unique<CMainFrame>(*doc, objectBase, recentFiles, NowhereMapping());
        frame->show();
        auto* log = frame->View().findChild<CLogList*>(QStringLiteral("log"));
        auto* ports = frame->View().findChild<QComboBox*>(QStringLiteral("port"));
        const QString missing = QString::fromLocal8Bit(std::strerror(ENOENT));

        // The log keeps its one line; the system's reason goes to the status bar.
        QCOMPARE(log->Line(log->Count() - 1),
                 QStringLiteral("Порт COM1 занят другим приложением или отсутствует"));
        QString message = frame->statusBar()->currentMessage();
        QVERIFY2(message.contains(QStringLiteral("/nonexistent/tty1")) && message.contains(missing),
                 qPrintable(message));

        ports->setCurrentIndex(1);
        emit ports->activated(1);
        QCOMPARE(log->Line(log->Count() - 1),
                 QStringLiteral("Порт COM2 занят другим приложением или отсутствует"));
        message = frame->statusBar()->currentMessage();
        QVERIFY2(message.startsWith(QStringLiteral("COM2")) && message.contains(missing),
                 qPrintable(message));
    }

    // The application as a whole: start-up, profile, command line and exit.

    // A full disk from the start: said once, with the reason, on the status bar and
    // standard error, and not hidden by the port's news; the window's log loses nothing.
    void logFileThatCannotBeWrittenSaysWhyOnce() {
        cleanup();
        Profile().setValue(QStringLiteral("Merovane_Kelvar_VX-418K/NumComPort"), 0);
        QTemporaryFile err;
        QVERIFY(err.open());
        std::fflush(stderr);
        const int savedErr = ::dup(STDERR_FILENO);
        ::dup2(err.handle(), STDERR_FILENO);
        CFrontEndStart start(QStringLiteral("kelvarin"));
        QString error;
        QVERIFY(start.OpenFiles(QStringLiteral("/dev/full"), QString(), error));
        doc = std::make_unique<CKelvarinDoc>(objectBase);
        frame = std::make_unique<CMainFrame>(*doc, objectBase, recentFiles, NowhereMapping(),
                                             start.LogFile());
        frame->show();
        for (int i = 0; i < 3; ++i)
            frame->View().appendLogLine(QStringLiteral("line %1").arg(i));
        std::fflush(stderr);
        ::dup2(savedErr, STDERR_FILENO);
        ::close(savedErr);

        const QString reason = QString::fromLocal8Bit(std::strerror(ENOSPC));
        const QString message = frame->statusBar()->currentMessage();
        QVERIFY2(message.contains(QStringLiteral("/dev/full")) && message.contains(reason),
                 qPrintable(message));
        QVERIFY(err.seek(0)); // the file's offset moved with what went to standard error
        const QString said = QString::fromLocal8Bit(err.readAll());
        QCOMPARE(said.count(reason), 1);
        QVERIFY2(said.contains(message), qPrintable(said));
        auto* log = frame->View().findChild<CLogList*>(QStringLiteral("log"));
        QCOMPARE(log->Count(), 5);
        QCOMPARE(log->Line(4), QStringLiteral("line 2"));
        frame.reset();
    }

    void firstRunLeavesNoRecentSection() {
        cleanup();
        {
            CKelvarinApp app;
            int exitCode = -1;
            QVERIFY(app.InitInstance({"kelvarin"}, exitCode));
            QCOMPARE(exitCode, 0);
            QVERIFY(app.MainFrame()->isVisible());
            QCOMPARE(app.PreviewPages(), 0);
            const QList<QAction*> file =
                MenuNamed(*app.MainFrame(), QStringLiteral("&File"))->actions();
            QVERIFY(file[5]->isVisible());
            QVERIFY(!file[5]->isEnabled());
            app.ExitInstance();
        }
        QSettings profile = Profile();
        QVERIFY(!profile.childGroups().contains(QStringLiteral("Recent File List")));
        QVERIFY(!profile.contains(QStringLiteral("Settings/PreviewPages")));
    }

    void profileIsReadAndWrittenBack_data() {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QStringList>("recent");
        QTest::addColumn<int>("previewPages");
        QTest::addColumn<QVariantMap>("written"); // null QVariant: the value is absent
        QTest::newRow("gaps close up") << QVariantMap{{"Recent File List/File1", "/a"},
                                                      {"Recent File List/File2", ""},
                                                      {"Recent File List/File4", "/b"}}
                                       << QStringList{"/a", "/b"} << 0
                                       << QVariantMap{{"Recent File List/File1", "/a"},
                                                      {"Recent File List/File2", "/b"},
                                                      {"Recent File List/File4", QVariant()}};
        QTest::newRow("only empty entries")
            << QVariantMap{{"Recent File List/File1", ""}} << QStringList{} << 0
            << QVariantMap{{"Recent File List/File1", QVariant()}};
        QTest::newRow("preview pages kept")
            << QVariantMap{{"Settings/PreviewPages", 3}} << QStringList{} << 3
            << QVariantMap{{"Settings/PreviewPages", 3}};
        QTest::newRow("unreadable preview pages") << QVariantMap{{"Settings/PreviewPages", "many"}}
                                                  << QStringList{} << 0 << QVariantMap{};
    }
    void profileIsReadAndWrittenBack() {
        QFETCH(QVariantMap, stored);
        QFETCH(QStringList, recent);
        QFETCH(int, previewPages);
        QFETCH(QVariantMap, written);
        cleanup();
        {
            QSettings profile = Profile();
            for (auto it = stored.cbegin(); it != stored.cend(); ++it)
                profile.setValue(it.key(), it.value());
        }
        {
            CKelvarinApp app;
            int exitCode = -1;
            QVERIFY(app.InitInstance({"kelvarin"}, exitCode));
            QCOMPARE(app.RecentFiles().Entries(), recent);
            QCOMPARE(app.PreviewPages(), previewPages);
            QCOMPARE(RecentItems(*app.MainFrame()).size(), recent.size());
            app.ExitInstance();
        }
        QSettings profile = Profile();
        for (auto it = written.cbegin(); it != written.cend(); ++it) {
            if (it.value().isNull())
                QVERIFY2(!profile.contains(it.key()), qPrintable(it.key()));
            else
                QCOMPARE(profile.value(it.key()).toString(), it.value().toString());
        }
        if (recent.isEmpty())
            QVERIFY(!profile.childGroups().contains(QStringLiteral("Recent File List")));
    }

    void recentFilesSurviveARestart() {
        cleanup();
        dir = std::make_unique<QTemporaryDir>();
        QStringList opened;
        {
            CKelvarinApp app;
            int exitCode = -1;
            QVERIFY(app.InitInstance({"kelvarin"}, exitCode));
            for (int i = 1; i <= 10; ++i) {
                opened.prepend(MakeFile(FilePath(QStringLiteral("f%1").arg(i)), 0));
                QVERIFY(app.MainFrame()->OpenFile(opened.first()));
            }
            app.ExitInstance();
        }
        QSettings profile = Profile();
        for (int i = 0; i < 9; ++i)
            QCOMPARE(profile.value(QStringLiteral("Recent File List/File%1").arg(i + 1)).toString(),
                     opened[i]);
        QVERIFY(!profile.contains(QStringLiteral("Recent File List/File10")));

        CKelvarinApp restarted;
        int exitCode = -1;
        QVERIFY(restarted.InitInstance({"kelvarin"}, exitCode));
        QCOMPARE(restarted.RecentFiles().Entries(), opened.mid(0, 9));
    }

    void fileOnTheCommandLine() {
        cleanup();
        dir = std::make_unique<QTemporaryDir>();
        MessageBoxAnswerer answerer;
        const QString logPath = FilePath("run.log");
        CKelvarinApp app;
        int exitCode = -1;
        QVERIFY(app.InitInstance({"kelvarin", "--log-file", logPath, "--port", "COM1=/nonexistent",
                                  MakeFile(FilePath("start.bin"), 7212)},
                                 exitCode));
        QCOMPARE(app.MainFrame()->windowTitle(), QStringLiteral("start.bin - Kelvarin"));
        QCOMPARE(answerer.texts, QStringList{"Загружен файл базы объектов ПЦН VX-418"});

        QFile log(logPath);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3); // the run's header first
        QVERIFY2(lines[0].contains(QStringLiteral(" kelvarin " KELVARIN_VERSION ", window ")),
                 qPrintable(lines[0]));
        QVERIFY(lines[1].endsWith(QStringLiteral(" - Приложение запущено")));
        QCOMPARE(lines[2], QStringLiteral("Все порты закрыты"));
    }

    // The window traces the port it opened at start; a trace file that cannot be
    // opened ends the start with status 1.
    void traceFileOfTheWindow_data() {
        QTest::addColumn<QString>("traceFile");
        QTest::addColumn<bool>("starts");
        QTest::newRow("opened") << "run.trace" << true;
        QTest::newRow("cannot be opened") << "no/such/folder/run.trace" << false;
    }
    void traceFileOfTheWindow() {
        QFETCH(QString, traceFile);
        QFETCH(bool, starts);
        cleanup();
        dir = std::make_unique<QTemporaryDir>();
        CKelvarinApp app;
        int exitCode = -1;
        QCOMPARE(
            app.InitInstance({"kelvarin", "--trace-file", FilePath(traceFile), "--demo"}, exitCode),
            starts);
        QCOMPARE(exitCode, starts ? 0 : 1);
        QFile trace(FilePath(traceFile));
        QCOMPARE(trace.open(QIODevice::ReadOnly), starts);
        if (starts) // the run's header, then the port opened
            QVERIFY(trace.readLine().contains(" kelvarin " KELVARIN_VERSION ", window "));
        if (starts)
            QVERIFY(
                QString::fromUtf8(trace.readLine())
                    .contains(QRegularExpression(QStringLiteral("^ +0\\.\\d{3} open COM1 /dev/"))));
        if (starts)
            app.ExitInstance();
    }

    void failedCommandLineFileEndsStartUp_data() {
        QTest::addColumn<bool>("fifo"); // a FIFO rather than a file that is too short
        QTest::newRow("short file") << false;
        QTest::newRow("FIFO") << true; // would wait for a writer for good
    }
    void failedCommandLineFileEndsStartUp() {
        QFETCH(bool, fifo);
        cleanup();
        dir = std::make_unique<QTemporaryDir>();
        MessageBoxAnswerer answerer;
        const QString path = FilePath("start.bin");
        if (fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0666), 0);
        else
            MakeFile(path, 7211);
        CKelvarinApp app;
        int exitCode = -1;
        QVERIFY(!app.InitInstance({"kelvarin", path}, exitCode));
        QCOMPARE(exitCode, 1);
        QVERIFY(!app.MainFrame());
        QCOMPARE(answerer.texts.size(), 1);
    }
};

KELVARIN_TEST_MAIN(TestApp)
#include "tst_App.moc"
