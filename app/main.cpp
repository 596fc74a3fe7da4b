#include "app/AppIcons.h"
#include "app/CKelvarinApp.h"
#include "app/CommandLine.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication textOnly(argc, argv);
        CCommandLine commandLine;
        int exitCode = 0;
        ParseCommandLine(QCoreApplication::arguments(), commandLine, exitCode);
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
