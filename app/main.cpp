#include "app/AppIcons.h"
#include "app/CKelvarinApp.h"
#include "app/CommandLine.h"
#include "app/QtTranslations.h"
#include "front/FrontEndOptions.h"

#include <QApplication>

int main(int argc, char** argv) {
    int exitCode = 0;
    if (!CheckOptionsBeforeWindow(argc, argv, exitCode))
        return exitCode;

    QApplication qtApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvarin"));
    QApplication::setApplicationVersion(QStringLiteral(KELVARIN_VERSION));
    QApplication::setWindowIcon(KelvarinIcon("kelvarin"));
    // The desktop entry's name, so that the desktop shows its icon and name for the window.
    QApplication::setDesktopFileName(QStringLiteral("kelvarin"));
    InstallQtTranslations(QLocale());

    CKelvarinApp app;
    // argc and argv as QApplication left them, without the options it took for itself.
    if (!app.InitInstance(ArgumentsFromNative(argc, argv), exitCode))
        return exitCode;
    exitCode = QApplication::exec();
    app.ExitInstance();
    return exitCode;
}
