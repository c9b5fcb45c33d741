#include "norms.h"

#include "bencherror.h"
#include "codepage1251.h"
#include "keyvaluefile.h"
#include "recordslocation.h"
#include "typednumber.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>


#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// How many numbers each norm carries (or, where `alternative` is set, that many instead);
// Pairs marks a table of "temperature:value".
constexpr int Pairs = -1;
struct NormShape {
    const char *id;
    int count;
    int alternative = 0;
    // Added after workshops had copies of the file: a copy without it takes the shipped one.
    bool addedLater = false;
};
// resistance.*, ratio.phases, ratio.factory, ratio.previous: the limit in per cent.
// ratio.declared: per cent, and the divisor of uk (a tenth of uk).
// insulation.kabs: the least coefficient and the temperatures (°C) it holds between.
// insulation.factory: the least share of the factory value in per cent; K2 in keys of its own.
// insulation.previous: the least share of the previous value in per cent (K2 of insulation.factory).
// oil.breakdown: class (kV), before filling, in service (kV); then the same for the next class.
// oil.acid: fresh; in service normal; in service limit (mg KOH/g).
// oil.water: non-sealed before filling, in service (g/t); then the same for a sealed unit
// when the workshop has them. oil.flash: the largest fall, °C.
// losses.*, noload.current: the excess allowed, per cent.
// uk: the uk (%) where the tolerance changes, the tolerance below it and at or above it.
constexpr NormShape Shapes[] = {
    {"resistance.phases", 1}, {"resistance.factory", 1}, {"resistance.previous", 1},
    {"ratio.phases", 1}, {"ratio.factory", 1}, {"ratio.previous", 1, 0, true}, {"ratio.declared", 2}, {"group", 0},
    {"insulation.r60", Pairs}, {"insulation.kabs", 3}, {"insulation.factory", 1},
    {"insulation.previous", 1, 0, true},
    {"oil.breakdown", 6}, {"oil.acid", 3}, {"oil.flash", 1}, {"oil.water", 2, 4},
    {"losses.total", 1}, {"losses.p0", 1}, {"losses.pk", 1}, {"noload.current", 1}, {"uk", 3},
};

const QString QuantityKey = u"Величина"_s;
const QString LimitKey = u"Норма"_s;
const QString ConditionKey = u"Условие"_s;
const QString SourceKey = u"Источник"_s;
const QString MarkKey = u"Отметка"_s;
const QString ValuesKey = u"Значения"_s;
const QString FactorsKey = u"K2"_s;
const QString FactorsToConfirmKey = u"K2, уточнить"_s;
const QString Confirmed = u"подтверждено"_s;
// The share of an allowance that makes a change from the previous test "близко к пределу".
const QString NearLimitSection = u"near.limit"_s;
const QString NearLimitKey = u"Доля допуска"_s;
const QString ToConfirm = u"уточнить"_s;

// A norms file is a few kilobytes; anything far larger is not one, and is not read.
constexpr qint64 MostNormsBytes = 64 * 1024;

// The numbers of one norm, or an error that says what is wrong with them.
// Positive numbers through ";", or pairs of them "a:b" (flattened).
QList<double> parseNumbers(const QString &text, bool pairs, QString *error)
{
    QList<double> values;
    const QStringList items = text.split(u';', Qt::SkipEmptyParts);
    for (const QString &item : items) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList parts = item.split(u':');
        if (parts.size() != (pairs ? 2 : 1)) {
            *error = pairs ? u"ожидаются пары «температура:значение» через «;»"_s : u"ожидаются числа через «;»"_s;
            return {};
        }
        for (const QString &p : parts) {
            const std::optional<double> v = readTypedNumber(p).value;
            if (!v || *v <= 0) {
                *error = u"«"_s + p.trimmed() + u"» не является положительным числом"_s;
                return {};
            }
            values.append(*v);
        }
    }
    return values;
}

QList<double> parseValues(const QString &text, int count, int alternative, QString *error)
{
    const QList<double> values = parseNumbers(text, count == Pairs, error);
    if (!error->isEmpty())
        return {};
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
    } else if (values.size() != count && (alternative == 0 || values.size() != alternative)) {
        *error = u"нужно чисел: "_s + QString::number(count)
            + (alternative ? u" или "_s + QString::number(alternative) : QString()) + u", указано: "_s
            + QString::number(values.size());
        return {};
    }
    return values;
}

QString listed(const QList<double> &values, int from, int to, const QString &between)
{
    return QString::number(values.value(from)) + between + QString::number(values.value(to));
}

// What makes the numbers of a norm nonsense, though each is a positive number; empty when
// they make sense.
QString nonsenseOf(const QString &id, const QList<double> &v)
{
    if (id == u"insulation.r60") {
        for (qsizetype i = 3; i < v.size(); i += 2) {
            if (v[i] >= v[i - 2])
                return u"наименьшее R60 должно убывать с ростом температуры ("_s + listed(v, int(i) - 3, int(i) - 2, u":"_s)
                    + u", "_s + listed(v, int(i) - 1, int(i), u":"_s) + u')';
        }
    } else if (id == u"insulation.kabs" && v[1] >= v[2]) {
        return u"диапазон температур "_s + listed(v, 1, 2, u".."_s) + u" °C: начало должно быть ниже конца"_s;
    } else if ((id == u"insulation.factory" || id == u"insulation.previous") && v[0] > 100) {
        return u"доля "_s + (id == u"insulation.factory" ? u"заводского"_s : u"прежнего"_s) + u" значения "_s
            + QString::number(v[0]) + u" % больше 100 %"_s;
    } else if (id == u"oil.breakdown" && v[0] >= v[3]) {
        return u"классы напряжения "_s + listed(v, 0, 3, u" и "_s) + u" кВ должны возрастать"_s;
    } else if (id == u"oil.acid" && (v[0] > v[1] || v[1] > v[2])) {
        return u"ожидается: свежее ≤ нормальное в эксплуатации ≤ предельное"_s;
    } else if (id == u"oil.water") {
        for (qsizetype i = 0; i + 1 < v.size(); i += 2) {
            if (v[i] > v[i + 1])
                return u"предел до заливки "_s + QString::number(v[i]) + u" больше предела в эксплуатации "_s
                    + QString::number(v[i + 1]);
        }
    }
    return QString();
}

// K2 by the difference of temperatures: rising differences, each K2 above 1 and above the
// one before (a warmer insulation reads lower, never higher).
QString nonsenseOfFactors(const QList<double> &pairs)
{
    double lastFactor = 1;
    for (qsizetype i = 0; i + 1 < pairs.size(); i += 2) {
        if (i > 0 && pairs[i] <= pairs[i - 2])
            return u"разности температур должны возрастать"_s;
        if (pairs[i + 1] <= lastFactor)
            return u"K2 = "_s + QString::number(pairs[i + 1]) + u" при "_s + QString::number(pairs[i])
                + u" °C: K2 должен быть больше 1 и расти с разностью температур"_s;
        lastFactor = pairs[i + 1];
    }
    return QString();
}

// K2 of the seen points and of those to confirm, in one table; or what is wrong, with its key.
QString readFactors(const QString &seenText, const QString &toConfirmText, NormRow &row)
{
    const auto inKey = [](const QString &key, const QString &why) { return u"ключ «"_s + key + u"»: "_s + why; };
    QString why;
    const QList<double> seen = parseNumbers(seenText, true, &why);
    if (!why.isEmpty())
        return inKey(FactorsKey, why);
    if (seen.isEmpty())
        return inKey(FactorsKey, u"нет пар «разность температур:K2»"_s);
    const QList<double> toConfirm = parseNumbers(toConfirmText, true, &why);
    if (!why.isEmpty())
        return inKey(FactorsToConfirmKey, why);
    QList<std::pair<double, double>> points;
    for (qsizetype i = 0; i + 1 < seen.size(); i += 2)
        points.append({seen[i], seen[i + 1]});
    for (qsizetype i = 0; i + 1 < toConfirm.size(); i += 2) {
        points.append({toConfirm[i], toConfirm[i + 1]});
        row.factorsToConfirm.append(toConfirm[i]);
    }
    std::stable_sort(points.begin(), points.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[difference, factor] : points)
        row.factors << difference << factor;
    why = nonsenseOfFactors(row.factors);
    return why.isEmpty() ? QString() : inKey(FactorsKey, why);
}

// The file's bytes, or why they are not a norms file in the expected form: too large, in
// another encoding, a section or a key of a norm given twice.
QString structureOf(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"файл не читается: "_s + file.errorString();
    if (file.size() > MostNormsBytes)
        return u"файл занимает "_s + QString::number(file.size() / 1024) + u" КБ, файл норм - несколько килобайт"_s;
    *bytes = file.read(MostNormsBytes + 1);
    if (bytes->size() > MostNormsBytes)
        return u"файл больше "_s + QString::number(MostNormsBytes / 1024) + u" КБ, файл норм - несколько килобайт"_s;
    // Cyrillic in Windows-1251 is almost never valid UTF-8; a UTF-8 copy is.
    const bool ascii = std::all_of(bytes->cbegin(), bytes->cend(), [](char c) { return uchar(c) < 0x80; });
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString asUtf8 = utf8(*bytes);
    if (bytes->startsWith("\xEF\xBB\xBF") || (!ascii && !utf8.hasError()))
        return u"файл не в ожидаемой кодировке: он в UTF-8, а файл норм пишется в Windows-1251"_s;
    Q_UNUSED(asUtf8);

    const QStringList ids = NormsTable::ids() << NearLimitSection;
    const QStringList lines = decodeWindows1251(*bytes).split(u'\n');
    QHash<QString, int> sectionLine, keyLine;
    QString section;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.startsWith(u'[') && line.contains(u']')) {
            section = line.mid(1, line.indexOf(u']') - 1).trimmed().toLower();
            keyLine.clear();
            if (!ids.contains(section))
                continue;
            if (sectionLine.contains(section))
                return u"раздел ["_s + section + u"] повторяется: строки "_s + QString::number(sectionLine[section])
                    + u" и "_s + QString::number(i + 1);
            sectionLine.insert(section, i + 1);
        } else if (ids.contains(section) && line.contains(u'=') && !line.startsWith(u';')) {
            const QString key = line.left(line.indexOf(u'=')).trimmed().toLower();
            if (keyLine.contains(key))
                return u"раздел ["_s + section + u"]: ключ «"_s + line.left(line.indexOf(u'=')).trimmed()
                    + u"» повторяется: строки "_s + QString::number(keyLine[key]) + u" и "_s + QString::number(i + 1);
            keyLine.insert(key, i + 1);
        }
    }
    return QString();
}

// The share from the file, the default when the file has none; or what is wrong with it.
QString readNearLimitShare(const KeyValueFile &file, double *share)
{
    const QHash<QString, QString> v = file.readValues(NearLimitSection, {NearLimitKey});
    const auto found = v.constFind(NearLimitKey);
    if (found == v.cend()) {
        *share = DefaultNearLimitShare;
        return QString();
    }
    const std::optional<double> value = readTypedNumber(*found).value;
    if (!value || *value <= 0 || *value > 1)
        return u"раздел ["_s + NearLimitSection + u"]: ключ «"_s + NearLimitKey + u"»: «"_s + found->trimmed()
            + u"» - не доля допуска больше 0 и не больше 1 (например, 0.75)"_s;
    *share = *value;
    return QString();
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
    QByteArray bytes;
    *error = structureOf(path, &bytes);
    if (!error->isEmpty())
        return table;
    const KeyValueFile file(path);
    const QStringList keys = {QuantityKey, LimitKey, ConditionKey, SourceKey, MarkKey, ValuesKey, FactorsKey,
                              FactorsToConfirmKey};
    for (const NormShape &shape : Shapes) {
        const QString id = QString::fromLatin1(shape.id);
        const QHash<QString, QString> v = file.readValues(id, keys);
        const auto fail = [&](const QString &what) {
            *error = u"раздел ["_s + id + u"]: "_s + what;
            return NormsTable();
        };
        if (v.isEmpty() && shape.addedLater && path != ShippedNormsPath) {
            table.m_rows.append(shipped().norm(id));
            continue;
        }
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
            row.values = parseValues(v.value(ValuesKey), shape.count, shape.alternative, &why);
            if (why.isEmpty())
                why = nonsenseOf(id, row.values);
            if (!why.isEmpty())
                return fail(u"ключ «"_s + ValuesKey + u"»: "_s + why);
        }
        if (id == u"insulation.factory") {
            const QString why = readFactors(v.value(FactorsKey), v.value(FactorsToConfirmKey), row);
            if (!why.isEmpty())
                return fail(why);
        }
        table.m_rows.append(row);
    }
    *error = readNearLimitShare(file, &table.m_nearLimitShare);
    return error->isEmpty() ? table : NormsTable();
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

bool NormsSource::refresh()
{
    const QString path = workshopNormsPath();
    const QFileInfo file(path);
    const QString stamp = file.exists()
        ? path + u'|' + QString::number(file.size()) + u'|'
            + QString::number(file.lastModified().toMSecsSinceEpoch()) + u'|'
            + QString::number(file.metadataChangeTime().toMSecsSinceEpoch())
        : path;
    if (m_loaded && stamp == m_stamp)
        return false;
    m_norms = loadNorms();
    m_stamp = stamp;
    m_loaded = true;
    return true;
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
