#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The texts of the main window's controls at the moment the protocol is asked for.
struct FillingInput {
    // Shown text of each edit field, static text and combo box, by control name
    // (fillingControlNames()); a name missing here reads as an empty text.
    QHash<QString, QString> texts;
    QString firm;       // memo texts as the operator typed them, '\n' between lines
    QString conclusion;
    QString fasNumber;       // text of the chosen phase count, empty for none
    bool isolationTicked = false;
    // Columns of the grids, each its cells from the top row down.
    QList<QStringList> transformColumns;
    QList<QStringList> resistenceColumns;
};

// One write to an element of the protocol document.
struct FieldValue {
    enum class Kind { Caption, Lines, WidthPx };
    QString field;
    Kind kind = Kind::Caption;
    QString text;
    QStringList lines;
    int widthPx = 0;

    bool operator==(const FieldValue &) const = default;
};

// Every variable field of both pages and both overlaid-header widths, computed from the
// control texts alone: nothing is rounded, checked or converted, and an empty control
// gives an empty field (or only the fixed words around it).
QList<FieldValue> fillProtocol(const FillingInput &input);

// The controls whose shown text goes into FillingInput::texts.
QStringList fillingControlNames();

// A memo's lines joined by single blanks; a final line break adds no blank.
QString memoText(const QString &plainText);

// Grid columns consumed by the two tables.
inline constexpr int TransformColumnsPrinted = 11;
inline constexpr int ResistenceColumnsPrinted = 6;
// Width of the shown low-voltage row header of the resistance table, in layout pixels.
inline constexpr int LowVoltageHeaderWidthPx = 76;
