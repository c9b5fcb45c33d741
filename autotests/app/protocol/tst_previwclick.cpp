#include "Unit4.h"
#include "namedchild.h"
#include "resultrecord.h"
#include "filling.h"
#include "operatortyping.h"
#include "report.h"
#include "sheetstore.h"
#include "sheetview.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QToolButton>
#include <QPlainTextEdit>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
QString allText(const SheetStore *store)
{
    QStringList all;
    if (store && store->sheet())
        for (const SheetTextOp &op : store->sheet()->texts)
            all += op.lines;
    return all.join(u'\n');
}
} // namespace

// "Протокол" on the main window fills the document and opens the preview.
class TstPreviwClick : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlTextsReachBothPages();
    void noPhaseCountChosenPrintsAnEmptyFieldAndGoesOn();
    void resistanceHeadersFollowTheSchemeShown_data();
    void resistanceHeadersFollowTheSchemeShown();
    void askingAgainWhileOpenRefreshesBothPages();

private:
    QString caption(const char *field) const
    {
        const ReportElement *e = form3->element(QString::fromLatin1(field));
        return e ? e->caption : u"<missing>"_s;
    }
    // Page 1 is laid out in a step of its own after the click.
    void press()
    {
        f->click(f->form->control<QPushButton>("Previw"));
        QCoreApplication::processEvents();
    }

    std::unique_ptr<WindowFixture> f;
    TForm3 *form3 = nullptr;
    TForm4 *form4 = nullptr;
};

void TstPreviwClick::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
    form3 = f->form3;
    form4 = f->form4;
}

void TstPreviwClick::cleanup()
{
    f.reset();
    form3 = nullptr;
    form4 = nullptr;
}

// A type loaded from the catalogue sets the scheme's text without choosing an item; its
// delta low-voltage winding must still print the delta headers.
void TstPreviwClick::resistanceHeadersFollowTheSchemeShown_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("delta");
    QTest::newRow("star/delta typed") << u"U / D - 11"_s << true;
    QTest::newRow("delta/delta typed") << u"D / D - 0"_s << true;
    QTest::newRow("star/zigzag typed") << u"U / Z - 11"_s << false;
    QTest::newRow("not a listed scheme") << u"U / D - 5"_s << false;
    QTest::newRow("empty") << QString() << false;
}

void TstPreviwClick::resistanceHeadersFollowTheSchemeShown()
{
    QFETCH(QString, scheme);
    QFETCH(bool, delta);
    f->form->control<QComboBox>("Circuit")->setCurrentIndex(-1);
    f->form->control<QComboBox>("Circuit")->setEditText(scheme);
    press();
    QCOMPARE(form3->element(u"QRRichText2"_s)->geometryMm.width() > 0.0, delta);
    QCOMPARE(form3->element(u"QRRichText6"_s)->geometryMm.width() > 0.0, !delta);
}

void TstPreviwClick::controlTextsReachBothPages()
{
    TForm1 *w = f->form;
    w->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
    w->control<QComboBox>("Name")->setEditText(u"ТМ-250/10"_s);
    w->control<QComboBox>("Circuit")->setCurrentIndex(6); // "D / D - 0"
    w->control<RadioGroup>("FasNumber")->setItemIndex(1);
    w->control<QLineEdit>("Unom2")->setText(u"10000"_s);
    w->control<QLineEdit>("Unom")->setText(u"400"_s);
    w->control<QLineEdit>("Temperature")->setText(u"25"_s);
    w->results().set(ResultId::Ixx01, u"2.10"_s);
    w->results().set(ResultId::Pkz12, u"3700"_s);
    w->results().set(Results::transformCell(0, 0), u"2625.0"_s);
    w->results().set(Results::transformCell(0, 2), u"2624.0"_s);
    w->results().set(Results::resistenceCell(5, 1), u"0,006"_s);
    w->control<QPlainTextEdit>("Firm")->setPlainText(u"ООО Ромашка\nцех 2"_s);
    f->showPageOf(w->control<QPlainTextEdit>("Conclusion"));
    w->control<QPlainTextEdit>("Conclusion")->clear();
    typeText(w->control<QPlainTextEdit>("Conclusion"), u"Годен\nк работе"_s);
    w->control<QLineEdit>("Color")->setText(QString());
    f->click(w->control<QCheckBox>("IsolationCheckBox"));
    QVERIFY(w->control<QCheckBox>("IsolationCheckBox")->isChecked());

    press();
    QVERIFY(f->prompts.messages.isEmpty());
    QVERIFY(form4->isVisible());
    QCOMPARE(form4->windowTitle(), u"Протокол №12 испытания трансформатора ТМ-250/10"_s);
    QCOMPARE(caption("QRUnom"), u"10000 В / 400 В"_s);
    QCOMPARE(caption("QRTemperature"), u"Короткое замыкание при 25 °C"_s);
    QCOMPARE(caption("QRFasNumber"), u"Три"_s);
    QCOMPARE(caption("QRFirm"), u"ООО Ромашка цех 2"_s);
    QCOMPARE(caption("QRConclusion"), u"Годен к работе"_s);
    QCOMPARE(caption("QRColor"), u"Цвет "_s);
    QCOMPARE(form3->element(u"QRUI"_s)->lines, (QStringList{u"2625.0"_s, QString(), u"2624.0"_s}));
    QCOMPARE(form3->element(u"QRResistenceHH"_s)->lines, (QStringList{QString(), u"0,006"_s, QString(), QString()}));
    QCOMPARE(form3->element(u"QRRichText6"_s)->geometryMm.width(), 0.0);
    QVERIFY(qAbs(form3->element(u"QRRichText2"_s)->geometryMm.width() - 20.1) < 0.05);

    const QString page1 = allText(form4->pageStore(1).get());
    QVERIFY(page1.contains(u"Протокол №12 испытания трансформатора ТМ-250/10"_s));
    QVERIFY(page1.contains(u"2.10"_s));
    QVERIFY(page1.contains(u"\u0394 / \u0394 - 0"_s));
    QVERIFY(page1.contains(u"ab\nca\nbc\n%"_s));
    const QString page2 = allText(form4->pageStore(2).get());
    QVERIFY(page2.contains(u"Проведено испытание изоляции индуцированным напряжением 800 В"_s));
    QVERIFY(page2.contains(u"Годен к работе"_s));
    // The controls are left as they were.
    QCOMPARE(w->control<QPlainTextEdit>("Conclusion")->toPlainText(), u"Годен\nк работе"_s);
}

void TstPreviwClick::noPhaseCountChosenPrintsAnEmptyFieldAndGoesOn()
{
    TForm1 *w = f->form;
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), -1);
    w->results().set(ResultId::Pkz12, u"3700"_s);
    w->results().set(Results::resistenceCell(0, 0), u"5,92"_s);
    press();
    QVERIFY(f->prompts.messages.isEmpty());
    QCOMPARE(caption("QRFasNumber"), QString());
    QCOMPARE(caption("QRPkz12"), u"Pкз приведенного к 75°С 3700 Вт"_s);
    QCOMPARE(form3->element(u"QRResistenceI"_s)->lines.first(), u"5,92"_s);
    QVERIFY(form4->isVisible());
    QVERIFY(form3->stendReportStore()->hasSheet());
}

void TstPreviwClick::askingAgainWhileOpenRefreshesBothPages()
{
    TForm1 *w = f->form;
    w->control<QLineEdit>("ProtocolNumber")->setText(u"1"_s);
    w->control<QPlainTextEdit>("Conclusion")->setPlainText(u"первый"_s);
    press();
    QTest::mouseClick(namedChild<QToolButton>(form4, u"Next"_s), Qt::LeftButton);
    QVERIFY(form4->isVisible());

    w->control<QLineEdit>("ProtocolNumber")->setText(u"2"_s);
    w->control<QPlainTextEdit>("Conclusion")->setPlainText(u"второй"_s);
    press();
    QCOMPARE(form4->windowTitle(), u"Протокол №2 испытания трансформатора "_s);
    QCOMPARE(form4->proposedFileName(), u"Протокол №2"_s);
    QVERIFY(allText(form4->pageStore(1).get()).contains(u"Протокол №2"_s));
    QVERIFY(allText(form4->pageStore(2).get()).contains(u"второй"_s));
    QVERIFY(namedChild<SheetView>(form4, u"QRPreview2"_s)->isVisible());
}

QTEST_MAIN(TstPreviwClick)
#include "tst_previwclick.moc"
