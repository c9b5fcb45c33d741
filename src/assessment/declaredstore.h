#pragma once

#include "declaredvalues.h"
#include "judgement.h"

#include <QHash>
#include <QString>

// Where the declared values live: a type's in its section of the catalogue (varnek.dat),
// a transformer's and a test's in "varnek-assessment.ini" beside the records, one section
// per serial number and one per serial number and protocol number. Every write replaces
// the file atomically; one that cannot be written throws BenchError.
namespace DeclaredStore {

inline const QString FileName = QStringLiteral("varnek-assessment.ini");

QString path();

TypeDeclared loadType(const QString &typeName);
// False when the catalogue has no type of that name (save the type first).
bool saveType(const QString &typeName, const TypeDeclared &values);

// Section names: "Заводской № <serial>" and "Испытание <serial> / протокол <number>".
QString serialSection(const QString &serial);
QString testSection(const QString &serial, const QString &protocolNumber);
// False for a serial number (or protocol number) that cannot name a section: empty, or
// holding a bracket, a line break or a letter the code page lacks.
bool canStore(const QString &serial, const QString &protocolNumber = QStringLiteral("-"));

SerialDeclared loadSerial(const QString &serial);
void saveSerial(const QString &serial, const SerialDeclared &values);

struct TestRecord {
    TestDeclared declared;
    QHash<QString, VerdictOverride> overrides; // by AssessmentRow::id
};
TestRecord loadTest(const QString &serial, const QString &protocolNumber);
void saveTest(const QString &serial, const QString &protocolNumber, const TestRecord &record);

// Keys, for the tests and a maintainer reading the file.
QString resistanceKey(int tap, int row);
QString ratioKey(int tap, int row);
QString r60Key(int gap);

// A declared number as stored and as typed (readTypedNumber): nothing for an empty text or one that is
// not a finite number.
std::optional<double> declaredNumber(const QString &text);
QString declaredText(const std::optional<double> &value);

} // namespace DeclaredStore
