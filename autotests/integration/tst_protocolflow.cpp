#include "namedchild.h"
#include "protocolsession.h"
#include "sheetoutput.h"
#include "sheetstore.h"
#include "sheetview.h"

#include <QDate>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
// The lines of the smallest text rectangle that holds `point` (mm on the paper), since
// some elements overlap others.
QStringList textAt(const Sheet &sheet, QPointF pointMm)
{
    const SheetTextOp *best = nullptr;
    for (const SheetTextOp &op : sheet.texts)
        if (op.rectMm.contains(pointMm)
            && (!best || op.rectMm.width() * op.rectMm.height() < best->rectMm.width() * best->rectMm.height()))
            best = &op;
    return best ? best->lines : QStringList();
}

QString allText(const Sheet &sheet)
{
    QStringList all;
    for (const SheetTextOp &op : sheet.texts)
        all += op.lines;
    return all.join(u'\n');
}

// Element positions are from the band's corner, which is 10 mm in from the paper's.
QPointF onPaper(double x, double y)
{
    return {x + 10.0, y + 10.0};
}
} // namespace

// From empty files to a saved, reopened and exported protocol, all through the real
// windows against the bench emulator.
class TstProtocolFlow : public QObject {
    Q_OBJECT
private slots:
    void wholeRecordReachesTheProtocolAndSurvivesSaveOpenAndPdf();
};

void TstProtocolFlow::wholeRecordReachesTheProtocolAndSurvivesSaveOpenAndPdf()
{
    WindowFixture fixture;
    QVERIFY(fixture.isValid());
    ProtocolSession s(fixture, QStringLiteral(BENCH_EMULATOR));
    const auto done = qScopeGuard([&s] { s.closeWindows(); });
    QVERIFY2(s.startWindow(), qPrintable(s.error));
    QVERIFY2(s.loadType(), qPrintable(s.error));
    QVERIFY2(s.runNoLoad(), qPrintable(s.error));
    QVERIFY2(s.runShortCircuit(), qPrintable(s.error));
    QVERIFY2(s.runRatio(), qPrintable(s.error));
    QVERIFY2(s.runResistance(), qPrintable(s.error));
    s.typeEntries();
    QVERIFY2(s.pressProtocol(), qPrintable(s.error));
    TForm1 *form = fixture.form;
    QVERIFY(fixture.prompts.messages.isEmpty());

    const Sheet page1 = *s.form3->stendReportStore()->sheet();
    const Sheet page2 = *s.form4->pageStore(2)->sheet();
    const QString title = u"Протокол №12 испытания трансформатора ТМ-250/10"_s;
    QCOMPARE(s.form4->windowTitle(), title);
    QCOMPARE(textAt(page1, onPaper(90, 20)), QStringList{title});
    QCOMPARE(textAt(page1, onPaper(160, 83)), QStringList{u"\u03a5 / \u0394 - 11"_s});
    QCOMPARE(textAt(page1, onPaper(70, 50)), QStringList{u"ТМ-250/10"_s});
    QCOMPARE(textAt(page1, onPaper(160, 50)), QStringList{u"250 кВА"_s});
    QCOMPARE(textAt(page1, onPaper(70, 66)), QStringList{u"Три"_s});
    // No-load cells of the data row, each with the window's text.
    const double noLoadX[] = {14.7, 33.2, 51.7, 70.3, 88.8, 107.3, 125.8, 144.3, 169.5};
    const QLabel *noLoad[] = {form->control<QLabel>("Uab00"), form->control<QLabel>("Ubc00"), form->control<QLabel>("Uca00"), form->control<QLabel>("Ia00"), form->control<QLabel>("Ib00"),
                              form->control<QLabel>("Ic00"), form->control<QLabel>("Ixx00"), form->control<QLabel>("Ixx01"), form->control<QLabel>("Pxx00")};
    for (int c = 0; c < 9; ++c) {
        QVERIFY(!noLoad[c]->text().isEmpty());
        QCOMPARE(textAt(page1, onPaper(noLoadX[c], 162)), QStringList{noLoad[c]->text()});
    }
    QCOMPARE(textAt(page1, onPaper(20, 214)).join(u' '),
             u"Uкз приведенное к 75°С "_s + form->control<QLabel>("Ukz102")->text() + u" B"_s);
    // Ratio taps I and III, tap II empty lines; delta low-voltage headers.
    QCOMPARE(textAt(page1, onPaper(40, 118)),
             (QStringList{form->control<StringGrid>("TransformGrid")->cell(1, 0), form->control<StringGrid>("TransformGrid")->cell(1, 1),
                          form->control<StringGrid>("TransformGrid")->cell(1, 2)}));
    QCOMPARE(textAt(page1, onPaper(100, 118)),
             (QStringList{form->control<StringGrid>("TransformGrid")->cell(5, 0), form->control<StringGrid>("TransformGrid")->cell(5, 1),
                          form->control<StringGrid>("TransformGrid")->cell(5, 2)}));
    QCOMPARE(textAt(page1, onPaper(80, 262)).first(), form->control<StringGrid>("ResistenceGrid")->cell(2, 0));
    QVERIFY(allText(page1).contains(u"ab\nca\nbc\n%"_s));
    QVERIFY(!allText(page1).contains(u"a0\nb0"_s));

    const QString today = QDate::currentDate().toString(u"dd.MM.yyyy"_s);
    QCOMPARE(textAt(page2, onPaper(35, 262)), QStringList{today});
    QVERIFY(allText(page2).contains(u"Проведено испытание изоляции индуцированным напряжением"_s));
    QCOMPARE(textAt(page2, onPaper(49, 35)), QStringList{u"2500"_s});
    QVERIFY(allText(page2).contains(u"Анализ масла № 17"_s));
    QVERIFY(allText(page2).contains(u"Иванов И.И."_s));

    // Save the pair, open it again: the same texts.
    QTemporaryDir dir;
    const QString name = dir.filePath(s.form4->proposedFileName() + u".qrp"_s);
    fixture.prompts.fileAnswers = {name};
    QTest::mouseClick(namedChild<QToolButton>(s.form4, u"QRSave"_s), Qt::LeftButton);
    fixture.prompts.fileAnswers = {name};
    QTest::mouseClick(namedChild<QToolButton>(s.form4, u"QROpen"_s), Qt::LeftButton);
    QVERIFY(fixture.prompts.messages.isEmpty());
    QCOMPARE(allText(*s.form4->pageStore(1)->sheet()), allText(page1));
    QCOMPARE(allText(*s.form4->pageStore(2)->sheet()), allText(page2));

    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        QSKIP("pdftotext is not installed");
    const QString pdf = dir.filePath(u"protocol.pdf"_s);
    fixture.prompts.fileAnswers = {pdf};
    QTest::mouseClick(namedChild<QToolButton>(s.form4, u"QRSavePdf"_s), Qt::LeftButton);
    QProcess text;
    text.start(u"pdftotext"_s, {pdf, u"-"_s});
    QVERIFY(text.waitForFinished(20000));
    const QString words = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString &expected : {title, form->control<QLabel>("Pxx00")->text().trimmed(), form->control<QLabel>("Ixx01")->text().trimmed(),
                                    u"Анализ масла № 17"_s, today, u"\u03a5 / \u0394 - 11"_s})
        QVERIFY2(words.contains(expected), qPrintable(expected));
}

QTEST_MAIN(TstProtocolFlow)
#include "tst_protocolflow.moc"
