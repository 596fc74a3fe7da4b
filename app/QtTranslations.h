#pragma once

#include <QLocale>
#include <QTranslator>

// Qt's own texts (the buttons of its dialogs, its file and print dialogs) in the
// language of locale, where Qt's translations are installed. The program's own
// texts, English and Russian, are not translated and stay as they are in every
// language. Returns the installed translator, owned by the application, or
// nullptr when Qt has no translation for that language.
QTranslator* InstallQtTranslations(const QLocale& locale);
