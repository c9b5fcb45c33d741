#include "filling.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const FieldValue *find(const QList<FieldValue> &values, const QString &field)
{
    for (const FieldValue &v : values)
        if (v.field == field)
            return &v;
    return nullptr;
}

QString captionOf(const QList<FieldValue> &values, const QString &field)
{
    const FieldValue *v = find(values, field);
    return v && v->kind == FieldValue::Kind::Caption ? v->text : u"<missing>"_s;
}
} // namespace

// The mapping from the main window's texts to the protocol's fields, without a window.
class TstFilling : public QObject {
    Q_OBJECT
private slots:
    void composedFieldsAddTheirFixedWords_data();
    void composedFieldsAddTheirFixedWords();
    void copiedFieldsTakeTheTextAsItStands();
    void lowVoltageHeaderFollowsTheScheme_data();
    void lowVoltageHeaderFollowsTheScheme();
    void memoLinesAreJoinedByOneBlank_data();
    void memoLinesAreJoinedByOneBlank();
    void gridColumnsBecomeLinesKeepingEmptyCells();
    void phaseCountAndInducedVoltageSentence();
    void everyFieldIsWrittenOnceEvenFromEmptyControls();
};

void TstFilling::composedFieldsAddTheirFixedWords_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("weight") << u"TransformerWeight"_s << u"980"_s << u"QRTransformerWeight"_s << u"980 кг"_s;
    QTest::newRow("power") << u"Pnom"_s << u"250"_s << u"QRPnom"_s << u"250 кВА"_s;
    QTest::newRow("frequency") << u"Freq2"_s << u"50"_s << u"QRFreq"_s << u"50 Гц"_s;
    // Latin C after the degree sign in the two headings.
    QTest::newRow("short-circuit heading") << u"Temperature"_s << u"25"_s << u"QRTemperature"_s
                                           << u"Короткое замыкание при 25 \u00b0C"_s;
    QTest::newRow("resistance heading") << u"Temperature"_s << u"25"_s << u"QRTemperature1"_s
                                        << u"Омическое сопротивление обмоток при 25 \u00b0C"_s;
    // Cyrillic Es in "75°С", Latin B for volts.
    QTest::newRow("voltage at 75") << u"Ukz102"_s << u"4.52"_s << u"QRUkz102"_s
                                   << u"U\u043a\u0437 приведенное к 75\u00b0\u0421 4.52 B"_s;
    QTest::newRow("losses at 75") << u"Pkz12"_s << u"3700"_s << u"QRPkz12"_s
                                  << u"P\u043a\u0437 приведенного к 75\u00b0\u0421 3700 Вт"_s;
    QTest::newRow("oil number") << u"OilAnalysis"_s << u"17"_s << u"QROilAnalysis"_s << u"Анализ масла № 17"_s;
    QTest::newRow("strength") << u"ElectricStrength"_s << u"52 кВ"_s << u"QRElectricStrength"_s
                              << u"Электрическая прочность 52 кВ"_s;
    QTest::newRow("water") << u"WaterContent"_s << u"10"_s << u"QRWaterContent"_s << u"Содержание воды 10"_s;
    QTest::newRow("impurities") << u"MechanicalImpurities"_s << u"нет"_s << u"QRMechanicalImpurities"_s
                                << u"Механические примеси нет"_s;
    QTest::newRow("carbon, as spelled") << u"WeightedCoalContent"_s << u"нет"_s << u"QRWeightedCoalContent"_s
                                        << u"Содержание взвешанного угля нет"_s;
    QTest::newRow("colour left empty") << u"Color"_s << QString() << u"QRColor"_s << u"Цвет "_s;
    QTest::newRow("acid") << u"AcidNumber"_s << u"0.02"_s << u"QRAcidNumber"_s << u"Кислотное число КОН 0.02"_s;
    QTest::newRow("extract") << u"ReactionAqueousExtract"_s << u"нейтр."_s << u"QRReactionAqueousExtract"_s
                             << u"Реакция водной вытяжки нейтр."_s;
    QTest::newRow("flash") << u"FlashTemperature"_s << u"140"_s << u"QRFlashTemperature"_s
                           << u"Температура вспышки 140"_s;
    QTest::newRow("not a number printed as it stands") << u"Pnom"_s << u"abc"_s << u"QRPnom"_s << u"abc кВА"_s;
}

void TstFilling::composedFieldsAddTheirFixedWords()
{
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    FillingInput input;
    input.texts.insert(control, text);
    QCOMPARE(captionOf(fillProtocol(input), field), expected);
}

void TstFilling::copiedFieldsTakeTheTextAsItStands()
{
    FillingInput input;
    input.texts = {{u"ProtocolNumber"_s, u"12"_s}, {u"Name"_s, u"ТМ-250/10"_s},
                   {u"Unom2"_s, u"10000"_s}, {u"Unom"_s, u"400"_s},
                   {u"Inom2"_s, u"14.4"_s}, {u"Inom"_s, u"361"_s},
                   {u"Circuit"_s, u"U / Uo - 0"_s}, {u"Ixx01"_s, u" 2.10"_s},
                   {u"Rem"_s, u"Капитальный ремонт"_s}, {u"THL"_s, u"60"_s}};
    const QList<FieldValue> out = fillProtocol(input);
    QCOMPARE(captionOf(out, u"QRProtocolNumber"_s), u"Протокол №12 испытания трансформатора ТМ-250/10"_s);
    QCOMPARE(captionOf(out, u"QRUnom"_s), u"10000 В / 400 В"_s);
    QCOMPARE(captionOf(out, u"QRInom"_s), u"14.4 А / 361 А"_s);
    QCOMPARE(captionOf(out, u"QRName2"_s), u"ТМ-250/10"_s);
    QCOMPARE(captionOf(out, u"QRCircuit"_s), u"U / Uo - 0"_s);
    QCOMPARE(captionOf(out, u"QRIxx01"_s), u" 2.10"_s);
    QCOMPARE(captionOf(out, u"QRLabel9"_s), u"Капитальный ремонт"_s);
    QCOMPARE(captionOf(out, u"QRTHL"_s), u"60"_s);

    const QList<FieldValue> empty = fillProtocol({});
    QCOMPARE(captionOf(empty, u"QRProtocolNumber"_s), u"Протокол № испытания трансформатора "_s);
    QCOMPARE(captionOf(empty, u"QRUnom"_s), u" В /  В"_s);
    QCOMPARE(captionOf(empty, u"QRIxx01"_s), QString());
}

void TstFilling::lowVoltageHeaderFollowsTheScheme_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<bool>("delta");
    QTest::newRow("none chosen") << QString() << false;
    for (const char *star : {"U / Uo - 0", "U / U - 0", "U / Z - 11", "D / U - 11", "I / I - 0"})
        QTest::newRow(star) << QString::fromUtf8(star) << false;
    QTest::newRow("U / D - 11") << u"U / D - 11"_s << true;
    QTest::newRow("D / D - 0") << u"D / D - 0"_s << true;
    // The archive reads a scheme typed with other blanks as the same scheme; so does the page.
    QTest::newRow("typed with other blanks") << u" U  /  D - 11 "_s << true;
}

void TstFilling::lowVoltageHeaderFollowsTheScheme()
{
    QFETCH(QString, scheme);
    QFETCH(bool, delta);
    FillingInput input;
    input.texts.insert(u"Circuit"_s, scheme);
    const QList<FieldValue> out = fillProtocol(input);
    const FieldValue *star = find(out, u"QRRichText6"_s);
    const FieldValue *triangle = find(out, u"QRRichText2"_s);
    QVERIFY(star && triangle);
    QCOMPARE(star->kind, FieldValue::Kind::WidthPx);
    QCOMPARE(triangle->kind, FieldValue::Kind::WidthPx);
    QCOMPARE(star->widthPx, delta ? 0 : 76);
    QCOMPARE(triangle->widthPx, delta ? 76 : 0);
}

void TstFilling::memoLinesAreJoinedByOneBlank_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one line") << u"ООО Трансформер"_s << u"ООО Трансформер"_s;
    QTest::newRow("two lines") << u"A\nB"_s << u"A B"_s;
    QTest::newRow("final line break adds nothing") << u"A\nB\n"_s << u"A B"_s;
    QTest::newRow("empty middle line keeps its blank") << u"A\n\nB"_s << u"A  B"_s;
    QTest::newRow("blanks inside kept") << u" A \nB"_s << u" A  B"_s;
}

void TstFilling::memoLinesAreJoinedByOneBlank()
{
    QFETCH(QString, memo);
    QFETCH(QString, expected);
    FillingInput input;
    input.firm = memo;
    input.conclusion = memo;
    const QList<FieldValue> out = fillProtocol(input);
    QCOMPARE(captionOf(out, u"QRFirm"_s), expected);
    QCOMPARE(captionOf(out, u"QRConclusion"_s), expected);
}

void TstFilling::gridColumnsBecomeLinesKeepingEmptyCells()
{
    FillingInput input;
    for (int c = 0; c < 12; ++c)
        input.transformColumns.append({u"t%1a"_s.arg(c), QString(), u"t%1c"_s.arg(c)});
    // Only three resistance columns were ever measured; the rest are absent.
    input.resistenceColumns = {{u"5.92"_s, u"5.93"_s, QString(), u"0.2"_s},
                               {}, {QString(), u"x"_s}};
    const QList<FieldValue> out = fillProtocol(input);

    const QStringList ratio = {u"QRUI"_s, u"QRKI"_s, u"QRUII"_s, u"QRKII"_s, u"QRUIII"_s, u"QRKIII"_s,
                               u"QRUIV"_s, u"QRKIV"_s, u"QRUV"_s, u"QRKV"_s, u"QRUnn"_s};
    for (int c = 0; c < ratio.size(); ++c) {
        const FieldValue *v = find(out, ratio[c]);
        QVERIFY2(v, qPrintable(ratio[c]));
        QCOMPARE(v->kind, FieldValue::Kind::Lines);
        QCOMPARE(v->lines, (QStringList{u"t%1a"_s.arg(c), QString(), u"t%1c"_s.arg(c)}));
    }
    // The twelfth column is not printed anywhere.
    for (const FieldValue &v : out)
        QVERIFY(!v.lines.contains(u"t11a"_s));

    const auto lines = [&out](const QString &field) { return find(out, field)->lines; };
    QCOMPARE(lines(u"QRResistenceI"_s), (QStringList{u"5.92"_s, u"5.93"_s, QString(), u"0.2"_s}));
    QCOMPARE(lines(u"QRResistenceII"_s), (QStringList{QString(), QString(), QString(), QString()}));
    QCOMPARE(lines(u"QRResistenceIII"_s), (QStringList{QString(), u"x"_s, QString(), QString()}));
    QCOMPARE(lines(u"QRResistenceHH"_s), (QStringList{QString(), QString(), QString(), QString()}));
}

void TstFilling::phaseCountAndInducedVoltageSentence()
{
    FillingInput input;
    QCOMPARE(captionOf(fillProtocol(input), u"QRFasNumber"_s), QString());
    QCOMPARE(captionOf(fillProtocol(input), u"QRIsolation"_s), QString());
    input.fasNumber = u"Три"_s;
    input.isolationTicked = true;
    QCOMPARE(captionOf(fillProtocol(input), u"QRFasNumber"_s), u"Три"_s);
    QCOMPARE(captionOf(fillProtocol(input), u"QRIsolation"_s),
             u"Проведено испытание изоляции индуцированным напряжением 800 В при частоте 100 Гц "
             u"в течение одной минуты"_s);
}

// Every fill overwrites the whole document, so nothing of an earlier fill can survive.
void TstFilling::everyFieldIsWrittenOnceEvenFromEmptyControls()
{
    const QList<FieldValue> out = fillProtocol({});
    QSet<QString> seen;
    for (const FieldValue &v : out) {
        QVERIFY2(!seen.contains(v.field), qPrintable(v.field));
        seen.insert(v.field);
    }
    QCOMPARE(out.size(), 1 + 2 + 43 + 2 + 20 + 11 + 6);
}

QTEST_APPLESS_MAIN(TstFilling)
#include "tst_filling.moc"
