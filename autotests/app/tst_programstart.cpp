#include "programstart.h"
#include "windowfixture.h"

#include <QApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QImage iconPicture(const QIcon &icon)
{
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

// What the program sets up before its first window, as its main() runs it.
class TstProgramStart : public QObject {
    Q_OBJECT
private slots:
    // Qt's application object has set the C library's locale from the environment; under
    // Russian settings printf and every library built on it then write "14,4" into files.
    void numbersStayInCNotationWhileTheRestStaysTheUsers()
    {
        const QByteArray before = std::setlocale(LC_ALL, nullptr);
        // As the application object leaves it on a workshop PC.
        if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
            QSKIP("the locale ru_RU.UTF-8 is not made here (scripts/deps.sh makes it)");
        char printed[32];
        std::snprintf(printed, sizeof printed, "%g", 14.4);
        QCOMPARE(QByteArray(printed), QByteArray("14,4")); // the fault the start-up prevents

        prepareProgram(*qApp);
        std::snprintf(printed, sizeof printed, "%g", 14.4);
        const QByteArray numeric = std::setlocale(LC_NUMERIC, nullptr);
        const QByteArray texts = std::setlocale(LC_CTYPE, nullptr);
        const QByteArray dates = std::setlocale(LC_TIME, nullptr);
        const double read = std::strtod("14.4", nullptr);
        std::setlocale(LC_ALL, before.constData());

        QCOMPARE(QByteArray(printed), QByteArray("14.4"));
        QCOMPARE(read, 14.4);
        QCOMPARE(numeric, QByteArray("C"));
        QCOMPARE(texts, QByteArray("ru_RU.UTF-8"));
        QCOMPARE(dates, QByteArray("ru_RU.UTF-8"));
    }

    // The icon is the menu entry's picture at every size a window manager asks for, read
    // from the program itself (no image plugin, no installed file).
    void theIconHasAPictureAtEverySize()
    {
        const QIcon icon = programIcon();
        QVERIFY(!icon.isNull());
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size));
            QCOMPARE(pixmap.size(), QSize(size, size));
            // Not blank: the copper of the windings shows.
            const QImage image = pixmap.toImage();
            QVERIFY(image.pixelColor(size / 2, size / 2).alpha() > 0);
        }
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    }

    // Every window the program makes carries the program's icon: the main window, the
    // preview, the dialogs, the archive and its comparison, the assessment.
    void everyWindowCarriesTheProgramsIcon()
    {
        prepareProgram(*qApp);
        const QImage expected = iconPicture(programIcon());
        WindowFixture fixture;
        QVERIFY(fixture.isValid());
        fixture.createWindow();
        fixture.windows->archive.ArchiveButtonClick();
        fixture.windows->assessment.AssessmentButtonClick();
        QVERIFY(fixture.windows->archive.archiveWindow());
        QVERIFY(fixture.windows->assessment.assessmentWindow());

        QStringList windows;
        for (QWidget *widget : QApplication::allWidgets()) {
            if (!widget->isWindow() || widget->windowType() == Qt::Popup || widget->windowType() == Qt::ToolTip)
                continue;
            const QString name = QString::fromLatin1(widget->metaObject()->className()) + u' ' + widget->objectName();
            windows.append(name);
            QVERIFY2(!widget->windowIcon().isNull(), qPrintable(name));
            QVERIFY2(iconPicture(widget->windowIcon()) == expected, qPrintable(name));
        }
        for (const char *window : {"TForm1", "TForm2", "TForm4", "TForm5", "ArchiveWindow", "ArchiveCompareWindow",
                                   "AssessmentWindow"})
            QVERIFY2(windows.indexOf(QRegularExpression(u'^' + QString::fromLatin1(window) + u" .*"_s)) >= 0,
                     qPrintable(windows.join(u", ")));
    }
};

QTEST_MAIN(TstProgramStart)
#include "tst_programstart.moc"
