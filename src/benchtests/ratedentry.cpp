#include "ratedentry.h"

#include "bencherror.h"
#include "numbersyntax.h"

namespace {

QString suffixOf(EntryField field)
{
    switch (field) {
    case EntryField::Pnom:
        return QStringLiteral("' в поле Pном, не является числом.");
    case EntryField::Unom:
    case EntryField::Unom2:
        return QStringLiteral("' в поле Uном, не является числом.");
    case EntryField::Inom:
    case EntryField::Inom2:
        return QStringLiteral("' в поле Iном, не является числом.");
    case EntryField::Temperature:
        return QStringLiteral("' в поле 'Температура', не является числом.");
    case EntryField::Plain:
        break;
    }
    return QStringLiteral("', не является числом.");
}

long double *storeOf(EntryField field, RatedValues &rated)
{
    switch (field) {
    case EntryField::Pnom:
        return &rated.RatedPower;
    case EntryField::Unom:
        return &rated.RatedVoltageLV;
    case EntryField::Unom2:
        return &rated.RatedVoltageHV;
    case EntryField::Inom:
        return &rated.RatedCurrentLV;
    case EntryField::Inom2:
        return &rated.RatedCurrentHV;
    case EntryField::Temperature:
        return &rated.WindingTemperature;
    case EntryField::Plain:
        break;
    }
    return nullptr;
}

// Messages in one box are separated by LF then CR.
const QString LineEnd = QStringLiteral("\n\r");

} // namespace

QString notANumberMessage(const QString &text, EntryField field)
{
    return QStringLiteral("Набор символов '") + text + suffixOf(field);
}

EntryCheck checkEntry(const QString &text, EntryField field, bool emptyPasses)
{
    EntryCheck check;
    if (text.isEmpty() && emptyPasses)
        return check;
    switch (readNumber(text, check.value)) {
    case NumberReading::Number:
        check.outcome = EntryCheck::Outcome::Number;
        return check;
    case NumberReading::Overflow:
        // A number, but none that a store can hold: refused the way the processor
        // refuses it, and nothing is stored.
        throw BenchError(OverflowText);
    case NumberReading::NotANumber:
        break;
    }
    check.value = 0;
    check.outcome = EntryCheck::Outcome::NotANumber;
    check.message = notANumberMessage(text, field);
    return check;
}

EntryCheck enterValue(const QString &text, EntryField field, RatedValues &rated, bool emptyPasses)
{
    const EntryCheck check = checkEntry(text, field, emptyPasses);
    if (check.outcome == EntryCheck::Outcome::Number)
        if (long double *store = storeOf(field, rated))
            *store = check.value;
    return check;
}

std::uint8_t materialConstantFor(int materialItemIndex)
{
    return materialItemIndex == 0 ? CopperConstant : AluminiumConstant;
}

QString RatedTexts::text(EntryField field) const
{
    switch (field) {
    case EntryField::Pnom: return Pnom;
    case EntryField::Unom: return Unom;
    case EntryField::Unom2: return Unom2;
    case EntryField::Inom: return Inom;
    case EntryField::Inom2: return Inom2;
    default: return QString();
    }
}

RatedDataGap firstRatedDataGap(const RatedTexts &texts)
{
    RatedDataGap gap;
    gap.missing = missingRatedDataMessage(texts);
    if (!gap.missing.isEmpty())
        return gap;
    for (EntryField field : RatedFieldOrder) {
        long double value = 0;
        if (readNumber(texts.text(field), value) == NumberReading::NotANumber) {
            gap.notANumber = field;
            break;
        }
    }
    return gap;
}

QString missingRatedDataMessage(const RatedTexts &t)
{
    QString message;
    if (t.Pnom.isEmpty())
        message += QStringLiteral("Отсутствует номинальная мощность трансформатора.") + LineEnd;
    if (t.Unom.isEmpty() || t.Unom2.isEmpty())
        message += QStringLiteral("Отсутствует номинальное напряжение трансформатора.") + LineEnd;
    if (t.Inom.isEmpty() || t.Inom2.isEmpty())
        message += QStringLiteral("Отсутствует номинальный ток трансформатора.") + LineEnd;
    return message;
}
