#include "fieldsink.h"
#include "filling.h"
#include "insulationtest.h"
#include "noloadtest.h"
#include "ratiotest.h"
#include "report.h"
#include "resistancetest.h"
#include "resultrecord.h"
#include "shortcircuittest.h"
#include "statefile.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace {

// Keeps every quantity a calculation writes to, whatever the text.
class IdSink : public FieldSink {
public:
    void set(ResultId id, const QString &) override { ids.insert(id); }

    QSet<ResultId> ids;
};

// Readings and rated data on which every step of every test succeeds, so that each
// test reaches its last field.
BenchReadings everyReadingSet()
{
    BenchReadings r;
    for (long double *v : {&r.Uab, &r.Ubc, &r.Uca, &r.Ia, &r.Ib, &r.Ic, &r.U2ab, &r.U2bc, &r.U2ca,
                           &r.P1, &r.P2, &r.UabMean, &r.Frequency, &r.PhaseGroup, &r.Uavg,
                           &r.Iavg, &r.Ptotal, &r.Kab, &r.Kbc, &r.Kca})
        *v = 1;
    return r;
}

bool holdsText(const QWidget *w)
{
    return qobject_cast<const QLabel *>(w) || qobject_cast<const QLineEdit *>(w)
        || qobject_cast<const QPlainTextEdit *>(w) || qobject_cast<const QComboBox *>(w);
}

} // namespace

// Code and controls meet by name in three places: the state file's keys, the record of
// results that the calculations write and the window shows, and the filling of the
// protocol. A renamed control or element must fail here, never in front of an operator.
class TstControlNames : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void everyStateKeyResolvesToItsControl();
    void everyQuantityOfTheRecordIsShownByItsControl();
    void everyQuantityTheCalculationsWriteIsShown();
    void everyNameOfTheFillingResolves();

private:
    std::unique_ptr<WindowFixture> f;
};

void TstControlNames::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    f->createWindow();
}

void TstControlNames::cleanup()
{
    f.reset();
}

void TstControlNames::everyStateKeyResolvesToItsControl()
{
    for (const StateKey &k : StateFile::keys()) {
        const QByteArray what = (k.key + u" -> "_s + k.control).toUtf8();
        QWidget *w = f->form->control(k.control);
        QVERIFY2(w, what.constData());
        switch (k.kind) {
        case StateKey::Kind::Text:
            QVERIFY2(holdsText(w), what.constData());
            break;
        case StateKey::Kind::ListIndex: {
            auto *combo = qobject_cast<QComboBox *>(w);
            QVERIFY2(combo, what.constData());
            QCOMPARE(combo->count(), k.itemCount);
            break;
        }
        case StateKey::Kind::GridCell: {
            StringGrid *g = f->form->grid(k.control);
            QVERIFY2(g, what.constData());
            QVERIFY2(k.column < g->columnCount() && k.row < g->rowCount(), what.constData());
            break;
        }
        }
    }
}

void TstControlNames::everyQuantityOfTheRecordIsShownByItsControl()
{
    for (const ResultQuantity &q : Results::quantities()) {
        if (q.grid.isEmpty()) {
            QWidget *w = f->form->control(q.key);
            QVERIFY2(w && (holdsText(w) || qobject_cast<RadioGroup *>(w)), qPrintable(q.key));
            continue;
        }
        StringGrid *g = f->form->grid(q.grid);
        QVERIFY2(g, qPrintable(q.grid));
        QVERIFY2(q.column < g->columnCount() && q.row < g->rowCount(), qPrintable(q.key));
    }
}

void TstControlNames::everyQuantityTheCalculationsWriteIsShown()
{
    const BenchReadings readings = everyReadingSet();
    const RatedValues rated{25, 400, 10, 230, 20, 20, CopperConstant};
    IdSink sink;
    for (bool onePhase : {true, false}) {
        runNoLoadTest(readings, rated, 3, onePhase, sink);
        runShortCircuitTest(readings, rated, 3, onePhase, sink);
        for (int tap = 0; tap < RatioTapCount; ++tap)
            runRatioTest(readings, rated, 2, tap, onePhase, sink);
    }
    for (int tap = 0; tap < RatioTapCount; ++tap)
        clearRatioTap(tap, sink);
    computeImbalances([](int, int) { return QStringLiteral("1"); }, QLocale::c(), sink);
    computeAbsorptionCoefficients({u"1"_s, u"2"_s, u"1"_s, u"2"_s, u"1"_s, u"2"_s}, sink);

    // Results go into labels, cells and the coefficients' edits, never into a choice.
    QVERIFY(!sink.ids.isEmpty());
    for (ResultId id : std::as_const(sink.ids)) {
        const ResultQuantity &q = Results::quantity(id);
        QWidget *w = q.grid.isEmpty() ? f->form->control(q.key) : f->form->grid(q.grid);
        QVERIFY2(qobject_cast<QLabel *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<StringGrid *>(w),
                 qPrintable(q.key));
    }
}

void TstControlNames::everyNameOfTheFillingResolves()
{
    for (const QString &name : fillingControlNames()) {
        QWidget *w = f->form->control(name);
        QVERIFY2(w && holdsText(w) && !qobject_cast<QPlainTextEdit *>(w), qPrintable(name));
    }
    TForm3 form3;
    for (const FieldValue &v : fillProtocol({})) {
        bool ok = false;
        switch (v.kind) {
        case FieldValue::Kind::Caption: ok = form3.setCaption(v.field, v.text); break;
        case FieldValue::Kind::Lines: ok = form3.setLines(v.field, v.lines); break;
        case FieldValue::Kind::WidthPx: ok = form3.setWidthPx(v.field, v.widthPx); break;
        }
        QVERIFY2(ok, qPrintable(v.field));
    }
}

QTEST_MAIN(TstControlNames)
#include "tst_controlnames.moc"
