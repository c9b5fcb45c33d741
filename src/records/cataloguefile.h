#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The nameplate data of one transformer type, as the operator typed it. The two
// selections are item indexes, -1 for none.
struct TransformerType {
    QString unom;              // Unom
    QString unom2;             // Unom2
    QString inom;              // Inom
    QString inom2;             // Inom2
    QString pnom;              // Pnom
    QString freq2;             // Freq2
    int material = -1;         // Material: 0 copper, 1 aluminium
    int fasNumber = -1;        // FasNumber: 0 one phase, 1 three
    QString transformerWeight; // TransformerWeight
    QString circuit;           // Circuit, the text shown
};

// The type catalogue "varnek.dat": one section per type, named by the type name.
// Letter case and blanks around a name do not tell two types apart.
namespace CatalogueFile {

inline const QString FileName = QStringLiteral("varnek.dat");

inline const QString UnomKey = QStringLiteral("Напряжение");
inline const QString Unom2Key = QStringLiteral("Напряжение2");
inline const QString InomKey = QStringLiteral("Ток");
inline const QString Inom2Key = QStringLiteral("Ток2");
inline const QString PnomKey = QStringLiteral("Мощность");
inline const QString Freq2Key = QStringLiteral("Частота");
inline const QString MaterialKey = QStringLiteral("Материал");
inline const QString FasNumberKey = QStringLiteral("Число фаз");
inline const QString TransformerWeightKey = QStringLiteral("Вес");
inline const QString CircuitKey = QStringLiteral("Схема");

// Declared values of the type kept beside its ten keys (the assessment's). A catalogue
// written before them loads as it did, and "Сохранить" leaves them where they are.
inline const QString DeclaredP0Key = QStringLiteral("Паспорт P0, Вт");
inline const QString DeclaredPkKey = QStringLiteral("Паспорт Pк, Вт");
inline const QString DeclaredI0Key = QStringLiteral("Паспорт I0, %");
inline const QString DeclaredUkKey = QStringLiteral("Паспорт uk, %");
inline const QString DeclaredTapStepKey = QStringLiteral("Шаг регулирования, %");
inline const QString DeclaredOilProtectionKey = QStringLiteral("Защита масла");
const QStringList &declaredKeys();

// Items of the radio groups Material and FasNumber.
inline constexpr int SelectionItems = 2;

enum class SaveResult {
    Saved,
    NoName,    // the name is empty or blank: nothing written
    UnfitName, // the name cannot be a section name: nothing written
};

QString path();

// Type names in file order, as many as the 16384-byte list takes; blank names left out.
QStringList typeNames();

// Reads the type into `type`, whose values stand for every key the type lacks (so the
// caller passes the controls' current values). A stored selection is brought into
// -1 .. SelectionItems - 1. An empty name reads nothing. False when the catalogue has no
// such type.
bool loadType(const QString &name, TransformerType &type);

// Writes all ten values under `name` in one replacement of the file, over an existing
// type of that name. Throws BenchError("Unable to write to <path>") when the file cannot
// be written.
SaveResult saveType(const QString &name, const TransformerType &type);

// The declared values stored with the type, by key; a key the type lacks has no entry.
QHash<QString, QString> loadDeclared(const QString &name);

// Writes the declared values into the type's section in one replacement of the file; other
// keys of the type stay as they are. False (nothing written) when the catalogue has no such
// type. Throws BenchError when the file cannot be written.
bool saveDeclared(const QString &name, const QHash<QString, QString> &values);

// Removes the type; a name not in the catalogue changes nothing. Throws BenchError when
// the file cannot be written.
void deleteType(const QString &name);

// False for a name that cannot be a section name (see KeyValueFile::isFitSectionName).
bool isFitTypeName(const QString &name);

// What the operator is told when a name cannot be a type's name.
QString unfitNameMessage(const QString &name);

// A selection as stored, brought into -1 .. itemCount - 1.
int clampSelection(int stored, int itemCount);

} // namespace CatalogueFile
