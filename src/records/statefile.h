#pragma once

#include "benchtables.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

// One key of the state file and the control it belongs to.
struct StateKey {
    enum class Kind {
        Text,      // the text of the control `control`
        ListIndex, // the selected item of the combo box `control`, in decimal
        GridCell,  // the cell (`column`, `row`) of the string grid `control`
    };

    QString key;       // as stored in the file
    Kind kind = Kind::Text;
    QString control;   // object name of the control
    int column = -1;   // grid cells only
    int row = -1;      // grid cells only
    int itemCount = 0; // list indexes only: the items of the list
};

// Key -> text, in the order of StateFile::keys().
using StateEntries = QList<QPair<QString, QString>>;

// The state file "varnek.tmp", section "1": the operator's work across a restart.
//
// The window only maps names to texts: for writing it hands over the text of every key
// (a list index as its decimal item index, -1 for no selection); reading gives back the
// texts of all keys in their order, each with what the window should show.
//
// A conclusion of several lines is kept whole. "Conclusion" holds its first line, as
// every reader of the key expects; "Conclusion.Parts" = n and "Conclusion.1" ..
// "Conclusion.n" carry the whole text, escaped and cut into quoted pieces (see
// statefile.cpp). A text that "Conclusion" alone brings back needs no pieces, and
// n is then 0. Pieces whose first line does not match "Conclusion" (an older program
// or a hand edit changed the key since) are ignored.
namespace StateFile {

inline const QString FileName = QStringLiteral("varnek.tmp");
inline const QString Section = QStringLiteral("1");

inline const QString TransformGrid = QStringLiteral("TransformGrid");
inline const QString ResistenceGrid = QStringLiteral("ResistenceGrid");

inline const QString ConclusionKey = QStringLiteral("Conclusion");
inline const QString ConclusionPartsKey = QStringLiteral("Conclusion.Parts");

QString path();

// The 111 keys in the order in which they are written and restored.
const QList<StateKey> &keys();

// The grid's name, the column and the row, in decimal without leading zeros.
QString gridKey(const QString &gridName, int column, int row);

// Writes the text of every key, in the keys' order, with one replacement of the file.
// A key the window does not give is written empty; keys not in keys() are ignored.
// Throws BenchError("Unable to write to <path>") when the file cannot be written, and
// then nothing is written.
void write(const QHash<QString, QString> &texts);
void write(const StateEntries &texts);

// Every key in its order with the text to show: the stored one, or the text in
// `current` (the control's text now) when the file lacks the key or holds no number
// for a list index. A list index outside its list becomes 0, the first item.
StateEntries read(const QHash<QString, QString> &current);

// A stored list index, the first item for one outside 0 .. itemCount - 1.
int listIndexOrFirst(int stored, int itemCount);

} // namespace StateFile
