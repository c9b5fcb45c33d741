#include "dialoglanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool installRussianQtTexts(QCoreApplication *app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool any = false;
    // qtbase holds the dialogs and buttons; the serial port's error texts come on their own.
    for (const char *catalogue : {"qtbase", "qtserialport"}) {
        auto *translator = new QTranslator(app);
        if (translator->load(QLocale(QLocale::Russian, QLocale::Russia), QString::fromLatin1(catalogue),
                             QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(translator)) {
            any = true;
        } else {
            delete translator;
        }
    }
    return any;
}
