#include "fontspec.h"
#include "textfitter.h"

#include <QFontInfo>
#include <QTest>

namespace {
const FontSpec Data{QStringLiteral("Arial"), 10, false, false};
const FontSpec Heading{QStringLiteral("Arial"), 13, true, false};
const FontSpec Scheme{QStringLiteral("Symbol"), 12, true, false};
} // namespace

class TestTextFitter : public QObject {
    Q_OBJECT
private slots:
    void layoutTypefacesPrintInLiberationFaces_data();
    void layoutTypefacesPrintInLiberationFaces();
    void symbolTextPrintsLatinLettersAsGreek_data();
    void symbolTextPrintsLatinLettersAsGreek();
    void wholeLatinAlphabetMapsToGreekOrSymbolVariants();
    void onlyWholeLinesThatFitThePrint_data();
    void onlyWholeLinesThatFitThePrint();
    void wrappedLinesBreakAtBlanksWithinTheWidth();
    void wordsWithHyphensSlashesAndDashesStayWhole_data();
    void wordsWithHyphensSlashesAndDashesStayWhole();
    void oneLineLabelNeverWraps();
    void wordWiderThanTheLabelBreaksBetweenLetters();
    void measuringIgnoresTheScreen();
};

void TestTextFitter::layoutTypefacesPrintInLiberationFaces_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("printed");
    QTest::newRow("Arial") << "Arial" << "Liberation Sans";
    QTest::newRow("Times New Roman") << "Times New Roman" << "Liberation Serif";
    QTest::newRow("Times New Roman Cyr") << "Times New Roman Cyr" << "Liberation Serif";
    QTest::newRow("Symbol in a serif face") << "Symbol" << "Liberation Serif";
}

void TestTextFitter::layoutTypefacesPrintInLiberationFaces()
{
    QFETCH(QString, layout);
    QFETCH(QString, printed);
    QCOMPARE(ReportFonts::substituteFamily(layout), printed);
    // The face must really be installed, or paper would silently fall back to another.
    QCOMPARE(QFontInfo(ReportFonts::resolve({layout, 12, false, false})).family(), printed);
}

void TestTextFitter::symbolTextPrintsLatinLettersAsGreek_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("printed");
    QTest::newRow("star / delta") << "Symbol" << "U / D - 11" << QString::fromUtf8("Υ / Δ - 11");
    QTest::newRow("delta / delta") << "Symbol" << "D / D - 0" << QString::fromUtf8("Δ / Δ - 0");
    QTest::newRow("star with neutral") << "Symbol" << "U / Uo - 0" << QString::fromUtf8("Υ / Υο - 0");
    QTest::newRow("zigzag") << "Symbol" << "U / Z - 11" << QString::fromUtf8("Υ / Ζ - 11");
    QTest::newRow("Cyrillic untouched") << "Symbol" << QString::fromUtf8("Ж 1") << QString::fromUtf8("Ж 1");
    QTest::newRow("Arial keeps Latin") << "Arial" << "U / D - 11" << "U / D - 11";
}

void TestTextFitter::symbolTextPrintsLatinLettersAsGreek()
{
    QFETCH(QString, family);
    QFETCH(QString, text);
    QFETCH(QString, printed);
    QCOMPARE(ReportFonts::printedText(family, text), printed);
    QCOMPARE(TextFitter::fitLines({family, 12, true, false}, text, 100, 10, true), QStringList{printed});
}

void TestTextFitter::wholeLatinAlphabetMapsToGreekOrSymbolVariants()
{
    const QString latin = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QString greek = ReportFonts::symbolToGreek(latin);
    QCOMPARE(greek, QString::fromUtf8("ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖαβχδεφγηιϕκλμνοπθρστυϖωξψζ"));
    for (const QChar c : greek)
        QVERIFY2(c.script() == QChar::Script_Greek, qPrintable(QString(c)));
}

void TestTextFitter::onlyWholeLinesThatFitThePrint_data()
{
    QTest::addColumn<double>("linesOfHeight");
    QTest::addColumn<int>("printed");
    QTest::newRow("less than one line") << 0.9 << 0;
    QTest::newRow("exactly one") << 1.0 << 1;
    QTest::newRow("one and a half") << 1.5 << 1;
    QTest::newRow("two") << 2.0 << 2;
    QTest::newRow("two and nine tenths") << 2.9 << 2;
}

void TestTextFitter::onlyWholeLinesThatFitThePrint()
{
    QFETCH(double, linesOfHeight);
    QFETCH(int, printed);
    const QString text = QStringLiteral("one two three four five six seven eight nine ten eleven twelve");
    const QStringList all = TextFitter::fitLines(Data, text, 20.0, 1000.0, true);
    QVERIFY(all.size() > 3);
    const QStringList lines = TextFitter::fitLines(Data, text, 20.0,
                                                   linesOfHeight * TextFitter::lineHeightMm(Data), true);
    QCOMPARE(lines, all.mid(0, printed));
}

void TestTextFitter::wrappedLinesBreakAtBlanksWithinTheWidth()
{
    const QString text = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta");
    const QStringList lines = TextFitter::fitLines(Heading, text, 40.0, 100.0, true);
    QVERIFY(lines.size() > 1);
    QCOMPARE(lines.join(QLatin1Char(' ')), text);
    for (const QString &line : lines) {
        QVERIFY2(TextFitter::textWidthMm(Heading, line) <= 40.0, qPrintable(line));
        QVERIFY(!line.startsWith(QLatin1Char(' ')) && !line.endsWith(QLatin1Char(' ')));
    }
}

void TestTextFitter::wordsWithHyphensSlashesAndDashesStayWhole_data()
{
    QTest::addColumn<QString>("text");
    // A first part that would fit the box if the line broke inside the last word.
    QTest::addColumn<QString>("tempting");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("hyphen") << QString::fromUtf8("Цвет светло-желтый") << QString::fromUtf8("Цвет светло-")
                            << QStringList{QString::fromUtf8("Цвет"), QString::fromUtf8("светло-желтый")};
    QTest::newRow("slash") << QString::fromUtf8("Тип ТМ-250/10") << QString::fromUtf8("Тип ТМ-250/")
                           << QStringList{QString::fromUtf8("Тип"), QString::fromUtf8("ТМ-250/10")};
    QTest::newRow("dash") << QString::fromUtf8("Проба масла—норма") << QString::fromUtf8("Проба масла—")
                          << QStringList{QString::fromUtf8("Проба"), QString::fromUtf8("масла—норма")};
    QTest::newRow("no-break space") << QString::fromUtf8("Мощность 250\u00a0кВА") << QString::fromUtf8("Мощность 250")
                                    << QStringList{QString::fromUtf8("Мощность"), QString::fromUtf8("250\u00a0кВА")};
}

void TestTextFitter::wordsWithHyphensSlashesAndDashesStayWhole()
{
    QFETCH(QString, text);
    QFETCH(QString, tempting);
    QFETCH(QStringList, expected);
    const double width = qMax(TextFitter::textWidthMm(Data, tempting), TextFitter::textWidthMm(Data, expected.last())) + 0.3;
    QVERIFY(TextFitter::textWidthMm(Data, text) > width);
    QCOMPARE(TextFitter::fitLines(Data, text, width, 100.0, true), expected);
}

void TestTextFitter::oneLineLabelNeverWraps()
{
    const QString text = QStringLiteral("a caption far wider than its little label");
    QCOMPARE(TextFitter::fitLines(Data, text, 10.0, 50.0, false), QStringList{text});
    // A one-line label lower than one line prints nothing rather than a cut line.
    QVERIFY(TextFitter::fitLines(Data, text, 10.0, 1.0, false).isEmpty());
}

void TestTextFitter::wordWiderThanTheLabelBreaksBetweenLetters()
{
    const QString word = QStringLiteral("Трансформаторостроение");
    const QStringList lines = TextFitter::fitLines(Data, word, 15.0, 100.0, true);
    QVERIFY(lines.size() > 1);
    QCOMPARE(lines.join(QString()), word);
    for (const QString &line : lines)
        QVERIFY(TextFitter::textWidthMm(Data, line) <= 15.0);
    // In a cell of one line only its first part prints.
    const QStringList cut = TextFitter::fitLines(Data, word, 15.0, 5.6, true);
    QCOMPARE(cut, QStringList{lines.first()});
}

void TestTextFitter::measuringIgnoresTheScreen()
{
    // Line heights follow the font's design, not a screen: 10 pt Arial is about 4.05 mm.
    QVERIFY(qAbs(TextFitter::lineHeightMm(Data) - 4.05) < 0.1);
    QVERIFY(qAbs(TextFitter::lineHeightMm(Scheme) / TextFitter::lineHeightMm({QStringLiteral("Times New Roman"), 12, true, false}) - 1.0) < 1e-9);
}

QTEST_MAIN(TestTextFitter)
#include "tst_textfitter.moc"
