#include "controls.h"
#include "operatortyping.h"
#include "resultrecord.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

// The one table between the record of results and the window: the record is shown, and
// what the operator types or chooses reaches the record, whoever set it.
class TstResultBinding : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void recordIsShownInItsLabelAndCell();
    void typedEntryReachesTheRecordAsShown();
    void entrySetByTheProgramReachesTheRecord();
    void choiceAndItsLossReachTheRecord();
    void clearEmptiesTheResultsOfTheRecord();

private:
    std::unique_ptr<WindowFixture> f;
};

void TstResultBinding::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
}

void TstResultBinding::cleanup()
{
    f.reset();
}

void TstResultBinding::recordIsShownInItsLabelAndCell()
{
    ResultRecord &results = f->form->results();
    results.set(ResultId::Pxx00, u"1234.6"_s);
    results.set(Results::resistance(5, 1), u"0,00618"_s);
    results.set(Results::ratio(2, 0), u"25.00"_s);
    QCOMPARE(f->form->control<QLabel>("Pxx00")->text(), u"1234.6"_s);
    QCOMPARE(f->form->control<StringGrid>("ResistenceGrid")->cell(5, 1), u"0,00618"_s);
    QCOMPARE(f->form->control<StringGrid>("TransformGrid")->cell(5, 0), u"25.00"_s);
    results.clear(ResultId::Pxx00);
    QCOMPARE(f->form->control<QLabel>("Pxx00")->text(), QString());
}

void TstResultBinding::typedEntryReachesTheRecordAsShown()
{
    auto *r15 = f->form->control<QLineEdit>("RHigh15");
    auto *r60 = f->form->control<QLineEdit>("RHigh60");
    f->showPageOf(r15);
    typeText(r15, u"1000"_s);
    typeText(r60, u"1300"_s);
    const ResultRecord &results = f->form->results();
    QCOMPARE(results.text(ResultId::RHigh60), u"1300"_s);
    QCOMPARE(results.value(ResultId::RHigh60), std::optional(1300.0));
    // The coefficient computed from the typed texts is in the record and in its field.
    QCOMPARE(results.text(ResultId::KabsHigh), u"1.3000"_s);
    QCOMPARE(f->form->control<QLineEdit>("KabsHigh")->text(), u"1.3000"_s);
    auto *oil = f->form->control<QLineEdit>("ElectricStrength");
    typeText(oil, u"52 кВ"_s);
    QCOMPARE(results.text(ResultId::ElectricStrength), u"52 кВ"_s);
    QCOMPARE(results.value(ResultId::ElectricStrength), std::optional(52.0));
}

void TstResultBinding::entrySetByTheProgramReachesTheRecord()
{
    f->form->control<QLineEdit>("Pnom")->setText(u"250"_s);
    auto *circuit = f->form->control<QComboBox>("Circuit");
    circuit->setCurrentIndex(circuit->findText(u"U / D - 11"_s));
    const ResultRecord &results = f->form->results();
    QCOMPARE(results.text(ResultId::Pnom), u"250"_s);
    QCOMPARE(results.text(ResultId::Circuit), u"U / D - 11"_s);
    // And the other way: the record's text stands in the entry.
    f->form->results().set(ResultId::Temperature, u"21.5"_s);
    QCOMPARE(f->form->control<QLineEdit>("Temperature")->text(), u"21.5"_s);
}

void TstResultBinding::choiceAndItsLossReachTheRecord()
{
    auto *material = f->form->control<RadioGroup>("Material");
    f->click(material, 1);
    const ResultRecord &results = f->form->results();
    QCOMPARE(results.text(ResultId::Material), u"алюминий"_s);
    QCOMPARE(results.value(ResultId::Material), std::optional(225.0));
    // A type without a material leaves none chosen, and the record says so.
    material->setItemIndex(-1);
    QCOMPARE(results.text(ResultId::Material), QString());
    QVERIFY(!results.value(ResultId::Material));
    f->form->results().set(ResultId::FasNumber, u"Три"_s);
    QCOMPARE(f->form->control<RadioGroup>("FasNumber")->itemIndex(), 1);
}

void TstResultBinding::clearEmptiesTheResultsOfTheRecord()
{
    ResultRecord &results = f->form->results();
    results.set(ResultId::Pkz12, u"3700"_s);
    results.set(Results::imbalance(2), u"0.50 %"_s);
    results.set(ResultId::Group, u"11"_s);
    f->form->control<QLineEdit>("Pnom")->setText(u"250"_s);
    f->click(f->form->control<QPushButton>("sBitBtn2"));
    for (ResultId id : {ResultId::Pkz12, Results::imbalance(2), ResultId::Group, ResultId::Pnom})
        QCOMPARE(results.text(id), QString());
    QCOMPARE(f->form->control<QLabel>("Pkz12")->text(), QString());
    QCOMPARE(f->form->control<StringGrid>("ResistenceGrid")->cell(2, 3), QString());
}

QTEST_MAIN(TstResultBinding)
#include "tst_resultbinding.moc"
