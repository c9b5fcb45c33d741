#pragma once

#include "archiverecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// A transformer's history: one quantity of its protocols over their dates, as lines that a
// chart draws. Pure: records in, numbers out; the chart window only shows them.
//
// Only the records of the chosen serial number count (blanks around it and letter case do
// not tell two apart), and of a protocol produced in several revisions only the latest,
// which replaced the others. The records stand in the order of their dates; a record that
// lacks the quantity leaves a gap in the line, never a zero.
namespace HistorySeries {

// Winding resistances are compared at this temperature.
inline constexpr double ReferenceTemperature = 20.0;
// The material constants of the reduction R2 = R1 (K + t2) / (K + t1).
inline constexpr double CopperConstant = 235.0;
inline constexpr double AluminiumConstant = 225.0;

// One record as a chart's point names it.
struct RecordMark {
    qint64 id = 0;
    QDateTime moment;
    QString protocolNumber;
    int revision = 0;
};

struct Line {
    QString name;       // "AB", "R60", "ВН - К"; the quantity's own name when it is the only line
    // Where the norm's band comes from: the norm's id and the tap and row it is kept under
    // (-1 where none), for a band the window asks of the norms.
    QString normId;
    int tap = -1;
    int row = -1;
    QList<std::optional<double>> values; // one per record of the chart, none where it lacks it

    // The first value of the line: the baseline later ones are read against.
    std::optional<double> baseline() const;
    int pointCount() const;
};

struct Chart {
    QString quantityId;
    QString title;     // "Потери холостого хода"
    QString unit;      // "Вт"
    QString axisTitle; // "P0, Вт", "R, Ом, приведено к 20 °C (медь)"
    QString serialNumber;
    QString type;      // of the latest record
    std::optional<double> highVoltage; // the latest record's HV rating, V: the oil norms' class
    QList<RecordMark> records; // dates in order
    QList<Line> lines;

    bool hasData() const;
    // The smallest and largest of every value; nullopt without values.
    std::optional<std::pair<double, double>> valueRange() const;
};

struct Quantity {
    QString id;    // "p0", "ratio.2", "resistance.5", "insulation.0", "oil.acid", ...
    QString title; // as the chooser lists it
};

// Every quantity a chart can show, in the order the chooser lists them.
const QList<Quantity> &quantities();
// The title of a quantity id; empty for an unknown one.
QString titleOf(const QString &quantityId);

struct Options {
    // The winding's material constant; nullopt: copper, the usual winding, said in the axis title.
    std::optional<double> materialConstant;
};

// The records of `serialNumber` that a chart shows, in date order (a tie: by id): the
// latest revision of each protocol.
QList<ArchiveRecord> recordsOf(const QList<ArchiveRecord> &records, const QString &serialNumber);
// The same choice from the list's rows, so a window reads only the records it shows.
QList<ArchiveSummary> summariesOf(const QList<ArchiveSummary> &summaries, const QString &serialNumber);

// The chart of `quantityId` for `serialNumber` from `records` (any order, any transformers).
// An unknown id gives a chart without lines.
Chart build(const QString &quantityId, const QList<ArchiveRecord> &records, const QString &serialNumber,
            const Options &options = {});

// The quantities for which at least one of `records` holds a value.
QList<Quantity> quantitiesWithData(const QList<ArchiveRecord> &records, const QString &serialNumber,
                                   const Options &options = {});

// The charts of the one-page sheet of the history, the main ones with data, at most six.
QStringList sheetQuantities(const QList<ArchiveRecord> &records, const QString &serialNumber,
                            const Options &options = {});

// A result or a protocol's text as a number: the leading number of "52 кВ", "0,02", "1 234,5",
// read as the judgement reads it (readLeadingTypedNumber); none for what is not finite or unclear.
std::optional<double> leadingValue(const QString &text);

} // namespace HistorySeries
