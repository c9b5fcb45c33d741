#include "codepage1251.h"

#include <QTest>

// What the files can hold: a text without unstorable characters comes back from the
// code page unchanged, and every character named unstorable is one that would not.
class TstCodePage1251 : public QObject {
    Q_OBJECT
private slots:
    void unstorableCharactersAreNamedOnceInTheirOrder_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("unstorable");
        QTest::newRow("plain Russian with its signs") << QStringLiteral("Годен №5 «+» 3·10^3 €") << QStringList{};
        QTest::newRow("line breaks and tabs") << QStringLiteral("a\r\nб\tв") << QStringList{};
        QTest::newRow("the unassigned byte") << QString(QChar(0x0098)) << QStringList{};
        QTest::newRow("ohm sign between storable ones") << QStringLiteral("3 Ω·м") << QStringList{"Ω"};
        QTest::newRow("repeated, in first-seen order") << QStringLiteral("≈Ω ≈ Ω") << QStringList{"≈", "Ω"};
        QTest::newRow("Latin letter with accent") << QStringLiteral("Café") << QStringList{"é"};
        QTest::newRow("a space the code page lacks") << QStringLiteral("10\u2003кг") << QStringList{"\u2003"};
        QTest::newRow("surrogate pair is one character") << QStringLiteral("ок 😀") << QStringList{"😀"};
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + QStringLiteral("x") << QStringList{QString(QChar(0xD800))};
    }

    void unstorableCharactersAreNamedOnceInTheirOrder()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, unstorable);
        QCOMPARE(unstorableCharacters(text), unstorable);
        QCOMPARE(isWindows1251Text(text), unstorable.isEmpty());
        QCOMPARE(decodeWindows1251(encodeWindows1251(text)) == text, unstorable.isEmpty());
        for (const QString &c : unstorable)
            QVERIFY(decodeWindows1251(encodeWindows1251(c)) != c);
    }
};

QTEST_APPLESS_MAIN(TstCodePage1251)
#include "tst_codepage1251.moc"
