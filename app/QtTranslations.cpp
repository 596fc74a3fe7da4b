#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

QTranslator* InstallQtTranslations(const QLocale& locale) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    // Only Qt's widgets and dialogs: the serial port's translation would turn the
    // port's reasons in the status bar, which are English texts, into another language.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}
