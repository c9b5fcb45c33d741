#include "norms.h"

#include "bencherror.h"
#include "keyvaluefile.h"
#include "numbersyntax.h"
#include "recordslocation.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// How many numbers each norm carries; Pairs marks a table of "temperature:value".
constexpr int Pairs = -1;
struct NormShape {
    const char *id;
    int count;
};
// resistance.*, ratio.phases, ratio.factory: the limit in per cent.
// ratio.declared: per cent, and the divisor of uk (a tenth of uk).
// insulation.kabs: the least coefficient and the temperatures (°C) it holds between.
// insulation.factory: the least share of the factory value in per cent, and the factor per 10 °C.
// oil.breakdown: class (kV), before filling, in service (kV); then the same for the next class.
// oil.acid: fresh; in service normal; in service limit (mg KOH/g).
// oil.water: before filling; in service (g/t). oil.flash: the largest fall, °C.
// losses.*, noload.current: the excess allowed, per cent.
// uk: the uk (%) where the tolerance changes, the tolerance below it and at or above it.
constexpr NormShape Shapes[] = {
    {"resistance.phases", 1}, {"resistance.factory", 1}, {"resistance.previous", 1},
    {"ratio.phases", 1}, {"ratio.factory", 1}, {"ratio.declared", 2}, {"group", 0},
    {"insulation.r60", Pairs}, {"insulation.kabs", 3}, {"insulation.factory", 2},
    {"oil.breakdown", 6}, {"oil.acid", 3}, {"oil.flash", 1}, {"oil.water", 2},
    {"losses.total", 1}, {"losses.p0", 1}, {"losses.pk", 1}, {"noload.current", 1}, {"uk", 3},
};

const QString QuantityKey = u"Величина"_s;
const QString LimitKey = u"Норма"_s;
const QString ConditionKey = u"Условие"_s;
const QString SourceKey = u"Источник"_s;
const QString MarkKey = u"Отметка"_s;
const QString ValuesKey = u"Значения"_s;
const QString Confirmed = u"подтверждено"_s;
const QString ToConfirm = u"уточнить"_s;

std::optional<double> number(QString text)
{
    text = text.trimmed().replace(u',', u'.');
    long double v = 0;
    if (!readPlainNumber(text, v) || !std::isfinite(double(v)))
        return std::nullopt;
    return double(v);
}

// The numbers of one norm, or an error that says what is wrong with them.
QList<double> parseValues(const QString &text, int count, QString *error)
{
    QList<double> values;
    const QStringList items = text.split(u';', Qt::SkipEmptyParts);
    for (const QString &item : items) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList parts = item.split(u':');
        if (parts.size() != (count == Pairs ? 2 : 1)) {
            *error = count == Pairs ? u"ожидаются пары «температура:значение» через «;»"_s
                                    : u"ожидаются числа через «;»"_s;
            return {};
        }
        for (const QString &p : parts) {
            const std::optional<double> v = number(p);
            if (!v || *v <= 0) {
                *error = u"«"_s + p.trimmed() + u"» не является положительным числом"_s;
                return {};
            }
            values.append(*v);
        }
    }
    if (count == Pairs) {
        if (values.size() < 4) {
            *error = u"нужно не меньше двух пар «температура:значение»"_s;
            return {};
        }
        for (qsizetype i = 2; i < values.size(); i += 2) {
            if (values[i] <= values[i - 2]) {
                *error = u"температуры должны возрастать"_s;
                return {};
            }
        }
    } else if (values.size() != count) {
        *error = u"нужно чисел: "_s + QString::number(count) + u", указано: "_s
            + QString::number(values.size());
        return {};
    }
    return values;
}

} // namespace

QStringList NormsTable::ids()
{
    QStringList list;
    for (const NormShape &s : Shapes)
        list.append(QString::fromLatin1(s.id));
    return list;
}

const NormRow &NormsTable::norm(const QString &id) const
{
    for (const NormRow &row : m_rows) {
        if (row.id == id)
            return row;
    }
    static const NormRow none;
    return none;
}

NormsTable NormsTable::fromFile(const QString &path, QString *error)
{
    error->clear();
    NormsTable table;
    const KeyValueFile file(path);
    const QStringList keys = {QuantityKey, LimitKey, ConditionKey, SourceKey, MarkKey, ValuesKey};
    for (const NormShape &shape : Shapes) {
        const QString id = QString::fromLatin1(shape.id);
        const QHash<QString, QString> v = file.readValues(id, keys);
        const auto fail = [&](const QString &what) {
            *error = u"раздел ["_s + id + u"]: "_s + what;
            return NormsTable();
        };
        if (v.isEmpty())
            return fail(u"раздела нет"_s);
        NormRow row;
        row.id = id;
        row.quantity = v.value(QuantityKey);
        row.limit = v.value(LimitKey);
        row.condition = v.value(ConditionKey);
        row.source = v.value(SourceKey);
        for (const QString &key : {QuantityKey, LimitKey, SourceKey}) {
            if (v.value(key).isEmpty())
                return fail(u"ключ «"_s + key + u"» пуст или отсутствует"_s);
        }
        const QString mark = v.value(MarkKey).toLower();
        if (mark != Confirmed && mark != ToConfirm)
            return fail(u"ключ «"_s + MarkKey + u"» должен быть «"_s + Confirmed + u"» или «"_s + ToConfirm + u"»"_s);
        row.confirmed = mark == Confirmed;
        if (shape.count != 0) {
            QString why;
            row.values = parseValues(v.value(ValuesKey), shape.count, &why);
            if (!why.isEmpty())
                return fail(u"ключ «"_s + ValuesKey + u"»: "_s + why);
        }
        table.m_rows.append(row);
    }
    return table;
}

NormsTable NormsTable::shipped()
{
    QString error;
    NormsTable table = fromFile(ShippedNormsPath, &error);
    Q_ASSERT_X(error.isEmpty(), "NormsTable::shipped", qPrintable(error));
    return table;
}

QString workshopNormsPath()
{
    return recordFilePath(NormsFileName);
}

NormsInForce loadNorms()
{
    NormsInForce result;
    const QString path = workshopNormsPath();
    if (QFileInfo::exists(path)) {
        QString error;
        NormsTable table = NormsTable::fromFile(path, &error);
        if (error.isEmpty()) {
            result.table = table;
            result.origin = path;
            return result;
        }
        result.refusal = u"Файл норм «"_s + path + u"» не принят: "_s + error
            + u". Оценка ведётся по нормам, поставляемым с программой."_s;
    }
    result.table = NormsTable::shipped();
    return result;
}

bool writeWorkshopNormsCopy()
{
    const QString path = workshopNormsPath();
    if (QFileInfo::exists(path))
        return false;
    QFile shipped(ShippedNormsPath);
    QSaveFile out(path);
    if (!shipped.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)
        || out.write(shipped.readAll()) < 0 || !out.commit())
        throw BenchError(KeyValueFile::writeErrorText(path));
    return true;
}
