#include "archivecomparison.h"

#include "circuitscheme.h"
#include "protocolfields.h"
#include "statefile.h"

#include <QLocale>
#include <cmath>

namespace ArchiveComparison {

namespace {

// Rounding noise of the division must not mark exactly 2 %.
constexpr double Tolerance = 1e-9;

const QStringList &tapNames()
{
    static const QStringList names = {QStringLiteral("I ступень"), QStringLiteral("II ступень"),
                                      QStringLiteral("III ступень"), QStringLiteral("IV ступень"),
                                      QStringLiteral("V ступень")};
    return names;
}

// The scheme as printed, or as the window held it for a record without pages.
QString circuitOf(const ArchiveRecord &record)
{
    return record.fields.value(ProtocolFields::Circuit, record.results.value(ProtocolFields::CircuitControl));
}

} // namespace

std::optional<double> parseNumber(QString text)
{
    text.remove(u' ');
    text.remove(QChar(0x00A0));
    text.remove(QChar(0x202F));
    text.remove(u'\t');
    if (text.isEmpty())
        return std::nullopt;
    const qsizetype comma = text.lastIndexOf(u',');
    const qsizetype point = text.lastIndexOf(u'.');
    if (comma >= 0 && point >= 0) {
        // Both: the later one is the decimal point, the other groups digits.
        text.remove(comma < point ? u',' : u'.');
    }
    text.replace(u',', u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> changePercent(const QString &before, const QString &after)
{
    const std::optional<double> a = parseNumber(before);
    const std::optional<double> b = parseNumber(after);
    if (!a || !b || *a == 0.0)
        return std::nullopt;
    return (*b - *a) / std::fabs(*a) * 100.0;
}

bool isMarked(const QString &before, const QString &after)
{
    const std::optional<double> a = parseNumber(before);
    const std::optional<double> b = parseNumber(after);
    if (!a || !b)
        return false;
    if (*a == 0.0)
        return *b != 0.0;
    const std::optional<double> change = changePercent(before, after);
    return std::fabs(*change) > MarkAbovePercent + Tolerance;
}

QString changeText(const std::optional<double> &change)
{
    if (!change)
        return QStringLiteral("—");
    double value = std::round(*change * 10.0) / 10.0;
    if (value == 0.0)
        value = 0.0; // no "-0.0"
    const QString digits = QString::number(value, 'f', 1);
    return value > 0 ? u'+' + digits : digits;
}

QList<Row> compare(const ArchiveRecord &before, const ArchiveRecord &after)
{
    QList<Row> rows;
    const auto add = [&](const QString &section, const QString &quantity, const QString &key) {
        const QString a = before.results.value(key).trimmed();
        const QString b = after.results.value(key).trimmed();
        if (a.isEmpty() && b.isEmpty())
            return;
        rows.append({section, quantity, a, b, changePercent(a, b), isMarked(a, b)});
    };

    const QString noLoad = QStringLiteral("Холостой ход");
    add(noLoad, QStringLiteral("Ток холостого хода, А"), QStringLiteral("Ixx00"));
    add(noLoad, QStringLiteral("Ток холостого хода, %"), QStringLiteral("Ixx01"));
    add(noLoad, QStringLiteral("Потери холостого хода, Вт"), QStringLiteral("Pxx00"));

    const QString shortCircuit = QStringLiteral("Короткое замыкание");
    add(shortCircuit, QStringLiteral("Uкз приведенное к Iном, В"), QStringLiteral("Ukz101"));
    add(shortCircuit, QStringLiteral("Uкз, %"), QStringLiteral("Ukz111"));
    add(shortCircuit, QStringLiteral("Uкз приведенное к 75°С, В"), QStringLiteral("Ukz102"));
    add(shortCircuit, QStringLiteral("Pкз, Вт"), QStringLiteral("Pkz11"));
    add(shortCircuit, QStringLiteral("Pкз приведенное к 75°С, Вт"), QStringLiteral("Pkz12"));

    const QString ratio = QStringLiteral("Коэффициент трансформации");
    const QStringList ratioPairs = {QStringLiteral("Uab"), QStringLiteral("Ubc"), QStringLiteral("Uca")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < ratioPairs.size(); ++row)
            add(ratio, QStringLiteral("K, %1, %2").arg(tapNames()[tap], ratioPairs[row]),
                StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row));
    }

    const QString resistance = QStringLiteral("Омическое сопротивление");
    const QStringList highPairs = {QStringLiteral("AB"), QStringLiteral("CA"), QStringLiteral("BC")};
    for (int tap = 0; tap < tapNames().size(); ++tap) {
        for (int row = 0; row < highPairs.size(); ++row)
            add(resistance, QStringLiteral("R, %1, %2, Ом").arg(tapNames()[tap], highPairs[row]),
                StateFile::gridKey(StateFile::ResistenceGrid, tap, row));
        add(resistance, QStringLiteral("Небаланс, %1, %").arg(tapNames()[tap]),
            StateFile::gridKey(StateFile::ResistenceGrid, tap, 3));
    }
    const QStringList lowPairs = lowVoltagePairs(circuitOf(after));
    for (int row = 0; row < lowPairs.size(); ++row)
        add(resistance, QStringLiteral("R обмоток НН, %1, Ом").arg(lowPairs[row]),
            StateFile::gridKey(StateFile::ResistenceGrid, 5, row));
    add(resistance, QStringLiteral("Небаланс обмоток НН, %"), StateFile::gridKey(StateFile::ResistenceGrid, 5, 3));

    const QString insulation = QStringLiteral("Испытание изоляции");
    const struct { const char *caption; const char *key15; const char *key60; const char *kabs; } sides[] = {
        {"ВН - К", "RHigh15", "RHigh60", "KabsHigh"},
        {"НН - К", "RLow15", "RLow60", "KabsLow"},
        {"ВН - НН", "RHL15", "RHL60", "KabsHL"},
    };
    for (const auto &side : sides) {
        const QString caption = QString::fromUtf8(side.caption);
        add(insulation, QStringLiteral("Rизоляции %1, 15 сек., МОм").arg(caption), QString::fromLatin1(side.key15));
        add(insulation, QStringLiteral("Rизоляции %1, 60 сек., МОм").arg(caption), QString::fromLatin1(side.key60));
        add(insulation, QStringLiteral("Кабс 60/15 %1").arg(caption), QString::fromLatin1(side.kabs));
    }
    return rows;
}

} // namespace ArchiveComparison
