#include "dialoglanguage.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>

// The program's windows are Russian; Qt's own dialogs and buttons must be too, under any locale.
class TestDialogLanguage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void qtTextsAreRussianWhateverTheLocale_data();
    void qtTextsAreRussianWhateverTheLocale();
    void standardButtonsSpeakRussian();

private:
    bool installed = false;
};

void TestDialogLanguage::initTestCase()
{
    installed = installRussianQtTexts(qApp);
}

void TestDialogLanguage::qtTextsAreRussianWhateverTheLocale_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("russian");
    QTest::newRow("button") << "QPlatformTheme" << "Cancel" << QString::fromUtf8("Отмена");
    QTest::newRow("print dialog") << "QPrintDialog" << "Print" << QString::fromUtf8("Печать");
    QTest::newRow("file dialog") << "QFileDialog" << "File &name:" << QString::fromUtf8("&Имя файла:");
}

void TestDialogLanguage::qtTextsAreRussianWhateverTheLocale()
{
    QFETCH(QString, context);
    QFETCH(QString, english);
    QFETCH(QString, russian);
    QVERIFY2(installed, "Qt's Russian catalogue is missing (qt6-translations-l10n)");
    QCOMPARE(QCoreApplication::translate(qPrintable(context), qPrintable(english)), russian);
}

void TestDialogLanguage::standardButtonsSpeakRussian()
{
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QString::fromUtf8("Отмена"));
}

QTEST_MAIN(TestDialogLanguage)
#include "tst_dialoglanguage.moc"
