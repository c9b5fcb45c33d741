#pragma once

#include "benchtables.h"
#include "fieldsink.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// Every quantity the program measures, computes or is given for one transformer, one id
// each. The names are those of the controls that show them, which the state file also
// uses as its keys; the tables' cells are reached through the functions below.
enum class ResultId : int {
    // no-load test
    Uab00, Ubc00, Uca00, Ia00, Ib00, Ic00, Ixx00, Ixx01, Pxx00,
    // short-circuit test
    Uab10, Ubc10, Uca10, Ia10, Ib10, Ic10, Pkz10, Pkz11, Pkz12, Ikz10,
    Ukz100, Ukz110, Ukz101, Ukz111, Ukz112, Ukz102,
    // ratio test: the vector group as a clock number
    Group,
    // insulation, typed in: R15, R60, absorption coefficient, test voltage, duration
    RHigh15, RHigh60, KabsHigh, Uhigh, Thigh,
    RLow15, RLow60, KabsLow, Ulow, Tlow,
    RHL15, RHL60, KabsHL, UHL, THL,
    // oil analysis, typed in
    OilAnalysis, ElectricStrength, WaterContent, MechanicalImpurities, WeightedCoalContent, Color,
    AcidNumber, ReactionAqueousExtract, FlashTemperature,
    // rated values and the winding temperature
    Pnom, Unom, Unom2, Inom, Inom2, Freq2, Temperature, TransformerWeight, Circuit, Material, FasNumber,
    // the tables, cell by cell, column after column
    TransformGridCells,
    TransformGrid1Cells = TransformGridCells + TransformGridColumns * TransformGridRows,
    ResistenceGridCells = TransformGrid1Cells + TransformGrid1Columns * TransformGrid1Rows,
    Count = ResistenceGridCells + ResistenceGridColumns * ResistenceGridRows,
};

enum class ResultGroup { NoLoad, ShortCircuit, Ratio, Resistance, Insulation, Oil, Rated };

// What one quantity is: how it is named, kept, measured and read.
struct ResultQuantity {
    // How its text reads as a number.
    enum class Reading {
        Plain,    // the plain number syntax, leading blanks allowed ("  12.5")
        Regional, // the region's decimal separator, a trailing " %" aside ("5,921", "1,98 %")
        Leading,  // the number a typed text starts with, a decimal comma allowed ("52 кВ", "0,02 мг")
        Choice,   // an item's word: "медь" 235, "алюминий" 225, "Одна" 1, "Три" 3
        None,     // no number ("U / D - 11")
    };

    ResultId id = ResultId::Count;
    ResultGroup group = ResultGroup::Rated;
    QString key;     // its name where it is kept: the state key "Pxx00", "TransformGrid52"
    QString unit;    // "Вт", "МОм"; empty for a pure number
    Reading reading = Reading::Plain;
    QString grid;    // a cell's table, empty for the others
    int column = -1; // a cell's place in its table
    int row = -1;
};

// The record's ids by quantity. A place outside its table has no id.
namespace Results {

const QList<ResultQuantity> &quantities(); // in the order of the ids
const ResultQuantity &quantity(ResultId id);
std::optional<ResultId> byKey(const QString &key);

std::optional<ResultId> cell(const QString &grid, int column, int row);
ResultId transformCell(int column, int row);  // TransformGrid
ResultId measureCell(int column, int row);    // TransformGrid1: the last tap's three phases
ResultId resistenceCell(int column, int row); // ResistenceGrid

// The ratio table: per tap (0 "I" .. 4 "V") and phase (0 AB, 1 BC, 2 CA).
inline ResultId ratioVoltage(int tap, int phase) { return transformCell(2 * tap, phase); }
inline ResultId ratio(int tap, int phase) { return transformCell(2 * tap + 1, phase); }
inline ResultId ratedVoltage(int phase) { return transformCell(10, phase); }
// The resistance table: per tap (0 "I" .. 5 "HH") and pair (0 AB/A0, 1 CA/B0, 2 BC/C0).
inline ResultId resistance(int tap, int pair) { return resistenceCell(tap, pair); }
inline ResultId imbalance(int tap) { return resistenceCell(tap, 3); }

// What a quantity's text reads as; nothing for an empty text or one that is no number.
std::optional<double> valueOf(ResultId id, const QString &text);

} // namespace Results

// The results of one transformer as data: each quantity's text exactly as the window shows
// it and the paper prints it, and the number that text reads as. The number is never more
// precise than the text, so whatever computes from the record gets the figure the operator
// sees. The tests write it through the sink; the window shows it and feeds the entries
// typed into it back; the state file, the filling, the archive and the judgement read it.
class ResultRecord : public QObject, public FieldSink {
    Q_OBJECT
public:
    struct Entry {
        QString text;
        std::optional<double> value;
    };

    explicit ResultRecord(QObject *parent = nullptr);

    const Entry &entry(ResultId id) const { return m_entries[index(id)]; }
    QString text(ResultId id) const { return entry(id).text; }
    std::optional<double> value(ResultId id) const { return entry(id).value; }

    // A new text; `changed` follows when it differs from the one held.
    void set(ResultId id, const QString &text) override;
    void clear(ResultId id) { set(id, QString()); }

signals:
    void changed(ResultId id);

private:
    static qsizetype index(ResultId id) { return qsizetype(id); }
    QList<Entry> m_entries;
};
