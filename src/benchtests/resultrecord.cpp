#include "resultrecord.h"

#include "numbersyntax.h"
#include "resistancetest.h"

#include <QLocale>
#include <iterator>

using namespace Qt::StringLiterals;

namespace Results {

namespace {

using Reading = ResultQuantity::Reading;

struct Single {
    ResultId id;
    ResultGroup group;
    const char16_t *unit;
    Reading reading = Reading::Plain;
};

// The order of the ids; a quantity's key is its id's name.
#define SINGLE(name, group, ...) Single{ResultId::name, ResultGroup::group, __VA_ARGS__}
const Single Singles[] = {
    SINGLE(Uab00, NoLoad, u"В"), SINGLE(Ubc00, NoLoad, u"В"), SINGLE(Uca00, NoLoad, u"В"),
    SINGLE(Ia00, NoLoad, u"А"), SINGLE(Ib00, NoLoad, u"А"), SINGLE(Ic00, NoLoad, u"А"),
    SINGLE(Ixx00, NoLoad, u"А"), SINGLE(Ixx01, NoLoad, u"%"), SINGLE(Pxx00, NoLoad, u"Вт"),
    SINGLE(Uab10, ShortCircuit, u"В"), SINGLE(Ubc10, ShortCircuit, u"В"), SINGLE(Uca10, ShortCircuit, u"В"),
    SINGLE(Ia10, ShortCircuit, u"А"), SINGLE(Ib10, ShortCircuit, u"А"), SINGLE(Ic10, ShortCircuit, u"А"),
    SINGLE(Pkz10, ShortCircuit, u"Вт"), SINGLE(Pkz11, ShortCircuit, u"Вт"), SINGLE(Pkz12, ShortCircuit, u"Вт"),
    SINGLE(Ikz10, ShortCircuit, u"А"),
    SINGLE(Ukz100, ShortCircuit, u"В"), SINGLE(Ukz110, ShortCircuit, u"%"),
    SINGLE(Ukz101, ShortCircuit, u"В"), SINGLE(Ukz111, ShortCircuit, u"%"),
    // uk at 75 °C: per cent in Ukz112, volts in Ukz102
    SINGLE(Ukz112, ShortCircuit, u"%"), SINGLE(Ukz102, ShortCircuit, u"В"),
    SINGLE(Group, Ratio, u""),
    SINGLE(RHigh15, Insulation, u"МОм"), SINGLE(RHigh60, Insulation, u"МОм"), SINGLE(KabsHigh, Insulation, u""),
    SINGLE(Uhigh, Insulation, u"кВ"), SINGLE(Thigh, Insulation, u"с"),
    SINGLE(RLow15, Insulation, u"МОм"), SINGLE(RLow60, Insulation, u"МОм"), SINGLE(KabsLow, Insulation, u""),
    SINGLE(Ulow, Insulation, u"кВ"), SINGLE(Tlow, Insulation, u"с"),
    SINGLE(RHL15, Insulation, u"МОм"), SINGLE(RHL60, Insulation, u"МОм"), SINGLE(KabsHL, Insulation, u""),
    SINGLE(UHL, Insulation, u"кВ"), SINGLE(THL, Insulation, u"с"),
    // The oil's texts carry their units as the operator types them.
    SINGLE(OilAnalysis, Oil, u"", Reading::Leading), SINGLE(ElectricStrength, Oil, u"кВ", Reading::Leading),
    SINGLE(WaterContent, Oil, u"%", Reading::Leading), SINGLE(MechanicalImpurities, Oil, u"", Reading::None),
    SINGLE(WeightedCoalContent, Oil, u"", Reading::None), SINGLE(Color, Oil, u"", Reading::None),
    SINGLE(AcidNumber, Oil, u"мг КОН/г", Reading::Leading), SINGLE(ReactionAqueousExtract, Oil, u"", Reading::None),
    SINGLE(FlashTemperature, Oil, u"°C", Reading::Leading),
    SINGLE(Pnom, Rated, u"кВА"), SINGLE(Unom, Rated, u"В"), SINGLE(Unom2, Rated, u"В"),
    SINGLE(Inom, Rated, u"А"), SINGLE(Inom2, Rated, u"А"), SINGLE(Freq2, Rated, u"Гц"),
    SINGLE(Temperature, Rated, u"°C"), SINGLE(TransformerWeight, Rated, u"кг"),
    SINGLE(Circuit, Rated, u"", Reading::None), SINGLE(Material, Rated, u"", Reading::Choice),
    SINGLE(FasNumber, Rated, u"", Reading::Choice),
};
#undef SINGLE

const char *const SingleNames[] = {
    "Uab00", "Ubc00", "Uca00", "Ia00", "Ib00", "Ic00", "Ixx00", "Ixx01", "Pxx00",
    "Uab10", "Ubc10", "Uca10", "Ia10", "Ib10", "Ic10", "Pkz10", "Pkz11", "Pkz12", "Ikz10",
    "Ukz100", "Ukz110", "Ukz101", "Ukz111", "Ukz112", "Ukz102",
    "Group",
    "RHigh15", "RHigh60", "KabsHigh", "Uhigh", "Thigh",
    "RLow15", "RLow60", "KabsLow", "Ulow", "Tlow",
    "RHL15", "RHL60", "KabsHL", "UHL", "THL",
    "OilAnalysis", "ElectricStrength", "WaterContent", "MechanicalImpurities", "WeightedCoalContent", "Color",
    "AcidNumber", "ReactionAqueousExtract", "FlashTemperature",
    "Pnom", "Unom", "Unom2", "Inom", "Inom2", "Freq2", "Temperature", "TransformerWeight", "Circuit",
    "Material", "FasNumber",
};
static_assert(std::size(Singles) == std::size(SingleNames));
static_assert(std::size(Singles) == std::size_t(ResultId::TransformGridCells));

struct Table {
    const char16_t *name;
    ResultId first;
    int columns;
    int rows;
};
const Table Tables[] = {
    {u"TransformGrid", ResultId::TransformGridCells, TransformGridColumns, TransformGridRows},
    {u"TransformGrid1", ResultId::TransformGrid1Cells, TransformGrid1Columns, TransformGrid1Rows},
    {u"ResistenceGrid", ResultId::ResistenceGridCells, ResistenceGridColumns, ResistenceGridRows},
};

ResultQuantity cellQuantity(const Table &t, int column, int row)
{
    ResultQuantity q;
    q.grid = QString::fromUtf16(t.name);
    q.column = column;
    q.row = row;
    q.id = ResultId(int(t.first) + column * t.rows + row);
    // The state file's key: the grid's name, the column and the row. The measurement grid
    // is not kept, and its name and digits would read as TransformGrid's ("TransformGrid100").
    q.key = t.first == ResultId::TransformGrid1Cells
        ? u"%1[%2,%3]"_s.arg(q.grid).arg(column).arg(row)
        : q.grid + QString::number(column) + QString::number(row);
    if (t.first == ResultId::ResistenceGridCells) {
        q.group = ResultGroup::Resistance;
        q.unit = row == 3 ? u"%"_s : u"Ом"_s;
        q.reading = Reading::Regional;
    } else if (t.first == ResultId::TransformGridCells) {
        q.group = ResultGroup::Ratio;
        // "U,B", "K" per tap, then "Uном,B"
        q.unit = column < 10 && column % 2 == 1 ? QString() : u"В"_s;
    } else {
        q.group = ResultGroup::Ratio;
        // the high side's voltage, the ratio, the low side's voltage
        q.unit = column == 1 ? QString() : u"В"_s;
    }
    return q;
}

QList<ResultQuantity> buildQuantities()
{
    QList<ResultQuantity> list;
    for (std::size_t i = 0; i < std::size(Singles); ++i) {
        const Single &s = Singles[i];
        Q_ASSERT(int(s.id) == int(i));
        ResultQuantity q;
        q.id = s.id;
        q.group = s.group;
        q.key = QString::fromLatin1(SingleNames[i]);
        q.unit = QString::fromUtf16(s.unit);
        q.reading = s.reading;
        list.append(q);
    }
    for (const Table &t : Tables)
        for (int c = 0; c < t.columns; ++c)
            for (int r = 0; r < t.rows; ++r)
                list.append(cellQuantity(t, c, r));
    Q_ASSERT(list.size() == qsizetype(ResultId::Count));
    return list;
}

const Table *tableOf(const QString &grid)
{
    for (const Table &t : Tables)
        if (grid == QStringView(t.name))
            return &t;
    return nullptr;
}

std::optional<double> choiceValue(const QString &text)
{
    if (text == u"медь"_s)
        return 235;
    if (text == u"алюминий"_s)
        return 225;
    if (text == u"Одна"_s)
        return 1;
    if (text == u"Три"_s)
        return 3;
    return std::nullopt;
}

} // namespace

const QList<ResultQuantity> &quantities()
{
    static const QList<ResultQuantity> list = buildQuantities();
    return list;
}

const ResultQuantity &quantity(ResultId id)
{
    return quantities()[qsizetype(id)];
}

std::optional<ResultId> byKey(const QString &key)
{
    static const QHash<QString, ResultId> ids = [] {
        QHash<QString, ResultId> h;
        for (const ResultQuantity &q : quantities())
            h.insert(q.key, q.id);
        return h;
    }();
    const auto it = ids.constFind(key);
    return it == ids.cend() ? std::nullopt : std::optional<ResultId>(*it);
}

std::optional<ResultId> cell(const QString &grid, int column, int row)
{
    const Table *t = tableOf(grid);
    if (!t || column < 0 || column >= t->columns || row < 0 || row >= t->rows)
        return std::nullopt;
    return ResultId(int(t->first) + column * t->rows + row);
}

ResultId transformCell(int column, int row)
{
    Q_ASSERT(column >= 0 && column < TransformGridColumns && row >= 0 && row < TransformGridRows);
    return ResultId(int(ResultId::TransformGridCells) + column * TransformGridRows + row);
}

ResultId measureCell(int column, int row)
{
    Q_ASSERT(column >= 0 && column < TransformGrid1Columns && row >= 0 && row < TransformGrid1Rows);
    return ResultId(int(ResultId::TransformGrid1Cells) + column * TransformGrid1Rows + row);
}

ResultId resistenceCell(int column, int row)
{
    Q_ASSERT(column >= 0 && column < ResistenceGridColumns && row >= 0 && row < ResistenceGridRows);
    return ResultId(int(ResultId::ResistenceGridCells) + column * ResistenceGridRows + row);
}

std::optional<double> valueOf(ResultId id, const QString &text)
{
    long double v = 0;
    switch (quantity(id).reading) {
    case Reading::Plain:
        if (readPlainNumber(text, v))
            return double(v);
        return std::nullopt;
    case Reading::Regional: {
        QString number = text;
        if (number.endsWith(u" %"_s))
            number.chop(2);
        if (readRegionalNumber(number, QLocale::system(), v))
            return double(v);
        return std::nullopt;
    }
    case Reading::Leading: {
        QString number = text.trimmed();
        number.replace(u',', u'.');
        if (readLeadingNumber(number, v) > 0)
            return double(v);
        return std::nullopt;
    }
    case Reading::Choice:
        return choiceValue(text);
    case Reading::None:
        break;
    }
    return std::nullopt;
}

} // namespace Results

ResultRecord::ResultRecord(QObject *parent) : QObject(parent), m_entries(qsizetype(ResultId::Count))
{
}

void ResultRecord::set(ResultId id, const QString &text)
{
    Entry &e = m_entries[index(id)];
    if (e.text == text)
        return;
    e.text = text;
    e.value = Results::valueOf(id, text);
    emit changed(id);
}
