#include "resistancetest.h"

#include "fieldsink.h"
#include "fixedpoint.h"
#include "numbersyntax.h"
#include "packetlayout.h"
#include "resultrecord.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

using namespace PacketLayout;

QByteArray codePair(int code)
{
    QByteArray pair;
    pair.append(char(code));
    pair.append(char(code + ResistanceCodeEcho));
    return pair;
}

QByteArray serviceCommand(std::uint8_t lead)
{
    QByteArray bytes(1, char(lead));
    bytes.append(ServiceLength - 1, char(ServiceFiller));
    return bytes;
}

// Rounded once, half away from zero, at the coarser of the second decimal and the
// fifth significant digit. Returns plain digits with a full stop and two decimals.
QString roundedPercent(long double value)
{
    const long double magnitude = std::fabs(value);
    const int exponent = magnitude == 0 ? 0 : int(std::floor(std::log10(magnitude)));
    const int decimals = std::min(2, 4 - exponent);
    QString text;
    if (decimals >= 0) {
        text = fixedText(value, decimals);
    } else {
        text = fixedText(value / std::pow(10.0L, -decimals), 0);
        if (text != QLatin1String("0"))
            text += QString(-decimals, QLatin1Char('0'));
    }
    qsizetype point = text.indexOf(QLatin1Char('.'));
    if (point < 0) {
        point = text.size();
        text += QLatin1Char('.');
    }
    while (text.size() - point - 1 < 2)
        text += QLatin1Char('0');
    return text;
}

} // namespace

std::optional<ResistanceCommand> resistanceStartCommand(int rangeIndex)
{
    if (rangeIndex < 0 || rangeIndex >= ResistanceRangeCount)
        return std::nullopt;
    return ResistanceCommand{char(ResistanceCommandLead), codePair(rangeIndex)};
}

ResistanceCommand resistanceStopCommand()
{
    return ResistanceCommand{char(ResistanceCommandLead), codePair(ResistanceStopCode)};
}

QByteArray serviceCommandCC() { return serviceCommand(ServiceCCLead); }

QByteArray serviceCommandB5() { return serviceCommand(ServiceB5Lead); }

int mirroredPairIndex(int index) { return index >= 0 && index < 3 ? index : -1; }

bool readRegionalNumber(const QString &text, const QLocale &locale, long double &value)
{
    const QString point = locale.decimalPoint();
    if (point == QLatin1String("."))
        return readPlainNumber(text, value);
    // A full stop is not this locale's separator: "1.250" is as foreign here as "1,250"
    // would be under a full-stop locale.
    if (text.contains(QLatin1Char('.')))
        return false;
    QString plain = text;
    plain.replace(point, QStringLiteral("."));
    return readPlainNumber(plain, value);
}

QString imbalanceText(const QString &r0, const QString &r1, const QString &r2,
                      const QLocale &locale)
{
    long double values[3];
    const QString *texts[3] = {&r0, &r1, &r2};
    for (int i = 0; i < 3; ++i)
        if (!readRegionalNumber(*texts[i], locale, values[i]))
            return QString();
    long double max = values[0];
    long double min = values[0];
    for (int i = 1; i < 3; ++i) {
        if (values[i] > max)
            max = values[i];
        if (values[i] < min)
            min = values[i];
    }
    if (max == 0)
        return QString();
    const long double percent = (max - min) / max * 100;
    if (!std::isfinite(percent))
        return QString();
    return regionalNumberText(roundedPercent(percent), locale) + QStringLiteral(" %");
}

void computeImbalances(const std::function<QString(int column, int row)> &cell,
                       const QLocale &locale, FieldSink &sink)
{
    for (int column = 0; column < ResistanceTapCount; ++column)
        sink.set(Results::imbalance(column),
                 imbalanceText(cell(column, 0), cell(column, 1), cell(column, 2), locale));
}
