#include "controls.h"
#include "windowfixture.h"

#include <QComboBox>
#include <QFile>
#include <QRadioButton>

using namespace Qt::StringLiterals;

// The main window as the operator knows it: every named control with its class, parent,
// geometry, visibility, enabled state, focus policy and caption, and the keyboard order.
// The table was taken from the window as it stood before its layout became forms.

namespace {

QString escaped(QString s)
{
    return s.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s).replace(u'\t', u"\\t"_s);
}

// What the operator reads on a control: a radio group's title, items and choice, a
// combo box's text and list, a button's caption, a text field's text.
QString caption(const QWidget *w)
{
    if (auto *g = qobject_cast<const RadioGroup *>(w))
        return g->title() + u'|' + g->items().join(u'|') + u'|' + QString::number(g->itemIndex());
    if (auto *c = qobject_cast<const QComboBox *>(w)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        return c->currentText() + u'|' + items.join(u'|');
    }
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return b->text();
    return controlText(w);
}

// A stop of the keyboard order by its name, or by its caption within its named parent.
QString stopName(const QWidget *w)
{
    if (!w->objectName().isEmpty())
        return w->objectName();
    const QString parent = w->parentWidget() ? w->parentWidget()->objectName() : QString();
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        return parent + u'/' + b->text();
    return parent + u'/' + QString::fromLatin1(w->metaObject()->className());
}

QStringList tableLines()
{
    QFile file(QStringLiteral(CONTROL_TABLE));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TstControlTable : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyControlKeepsItsPlaceAndCaption_data();
    void everyControlKeepsItsPlaceAndCaption();
    void theWindowHasNoControlBeyondTheTable();
    void theKeyboardOrderStays();

private:
    std::unique_ptr<WindowFixture> f;
};

void TstControlTable::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->startWindow());
}

void TstControlTable::cleanup()
{
    f.reset();
}

void TstControlTable::everyControlKeepsItsPlaceAndCaption_data()
{
    QTest::addColumn<QStringList>("row");
    const QStringList lines = tableLines();
    QVERIFY(lines.size() > 150);
    for (const QString &line : lines) {
        const QStringList row = line.split(u'\t');
        QTest::newRow(qPrintable(row[0])) << row;
    }
}

void TstControlTable::everyControlKeepsItsPlaceAndCaption()
{
    QFETCH(QStringList, row);
    QCOMPARE(row.size(), 11);
    const QWidget *c = f->form->control(row[0]);
    QVERIFY(c);
    const QRect g = c->geometry();
    const QStringList now{c->objectName(), QString::fromLatin1(c->metaObject()->className()),
                          c->parentWidget() ? c->parentWidget()->objectName() : QString(),
                          QString::number(g.x()), QString::number(g.y()), QString::number(g.width()),
                          QString::number(g.height()), QString::number(c->isHidden()),
                          QString::number(c->isEnabled()), QString::number(c->focusPolicy()),
                          escaped(caption(c))};
    QCOMPARE(now, row);
}

void TstControlTable::theWindowHasNoControlBeyondTheTable()
{
    QSet<QString> names;
    for (const QString &line : tableLines())
        names.insert(line.section(u'\t', 0, 0));
    for (const QWidget *c : f->form->findChildren<QWidget *>()) {
        if (c->objectName().isEmpty() || c->objectName().startsWith(u"qt_"_s))
            continue;
        QVERIFY2(names.contains(c->objectName()), qPrintable(c->objectName()));
    }
}

void TstControlTable::theKeyboardOrderStays()
{
    QStringList stops;
    QWidget *start = f->form;
    for (QWidget *c = start->nextInFocusChain(); c && c != start; c = c->nextInFocusChain())
        if (c->focusPolicy() & Qt::TabFocus)
            stops << stopName(c);
    const QStringList expected{
        // the left column
        u"cbVoltage"_s, u"cbVoltage/QLineEdit"_s, u"cbCurrent"_s, u"cbCurrent/QLineEdit"_s, u"Temperature"_s,
        u"sBitBtn2"_s, u"Gauge"_s, u"sBitBtn3"_s, u"VoltageTransformer"_s, u"Current/5"_s,
        // the tabs
        u"MainTab"_s, u"IdleTab"_s, u"ChortTab"_s, u"TransformationsTab"_s, u"ResistenceTab"_s, u"sTabSheet6Tab"_s,
        // "Трансформатор"
        u"Name"_s, u"Name/QLineEdit"_s, u"FasNumber/Одна"_s, u"TransformerWeight"_s, u"Pnom"_s, u"Unom2"_s,
        u"Unom"_s, u"Inom2"_s, u"Inom"_s, u"Freq2"_s, u"Circuit"_s, u"Circuit/QLineEdit"_s, u"Material/медь"_s,
        u"sButton6"_s, u"sButton7"_s,
        // the tests
        u"IdleState"_s, u"ShortState"_s, u"RadioGroup1/I"_s, u"Transform"_s, u"RadioGroup2/I"_s, u"RadioGroup3/AB"_s,
        u"RadioGroup4/A0"_s, u"sButton1"_s, u"Resist"_s, u"ResistStop"_s, u"ResistenceRange1/200"_s,
        u"cbAutoStop"_s, u"Button1"_s, u"Button2"_s,
        // "Протокол"
        u"Firm"_s, u"Rem"_s, u"RepairNumber"_s, u"YearOfRepair"_s, u"IsolationCheckBox"_s, u"OilAnalysis"_s,
        u"ElectricStrength"_s, u"WaterContent"_s, u"MechanicalImpurities"_s, u"WeightedCoalContent"_s,
        u"Color"_s, u"AcidNumber"_s, u"ReactionAqueousExtract"_s, u"FlashTemperature"_s, u"RHigh15"_s,
        u"RHigh60"_s, u"KabsHigh"_s, u"Uhigh"_s, u"Thigh"_s, u"RLow15"_s, u"RLow60"_s, u"KabsLow"_s,
        u"Ulow"_s, u"Tlow"_s, u"RHL15"_s, u"RHL60"_s, u"KabsHL"_s, u"UHL"_s, u"THL"_s, u"Conclusion"_s,
        u"ProtocolNumber"_s, u"Investigator"_s, u"ChiefName"_s, u"Chief"_s, u"Previw"_s, u"ArchiveButton"_s,
        u"AssessmentButton"_s,
    };
    QCOMPARE(stops, expected);
}

QTEST_MAIN(TstControlTable)
#include "tst_controltable.moc"
