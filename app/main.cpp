#include "app/AppIcons.h"
#include "app/CKelvarinApp.h"
#include "app/CommandLine.h"

#include <QApplication>

int main(int argc, char** argv) {
    // The options are checked before any window exists, so that --help, --version
    // and a mistyped option are answered on a terminal without a display.
    {
        QCoreApplication textOnly(argc, argv);
        CCommandLine commandLine;
        int exitCode = 0;
        if (!ParseCommandLine(QCoreApplication::arguments(), commandLine, exitCode))
            return exitCode;
    }

    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    QApplication::setWindowIcon(KelvarinIcon("kelvarin"));

    CKelvarinApp app;
    int exitCode = 0;
    if (!app.InitInstance(QApplication::arguments(), exitCode))
        return exitCode;
    exitCode = QApplication::exec();
    app.ExitInstance();
    return exitCode;
}
