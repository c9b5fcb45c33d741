#pragma once

#include <QString>

// What stays the same from one transformer to the next, read once at start.
struct BenchSettings {
    QString chief;                  // Chief
    QString chiefName;              // ChiefName
    QString investigator;           // Investigator
    QString firm;                   // Firm, one line
    QString oilAnalysis;            // OilAnalysis
    QString electricStrength;       // ElectricStrength
    QString waterContent;           // WaterContent
    QString mechanicalImpurities;   // MechanicalImpurities
    QString weightedCoalContent;    // WeightedCoalContent
    QString color;                  // Color
    QString acidNumber;             // AcidNumber
    QString reactionAqueousExtract; // ReactionAqueousExtract
    QString flashTemperature;       // FlashTemperature
    bool autoStop = true;           // cbAutoStop
    int portNum = 10;
    int userBaudrate = 1000000;
};

struct PortSettings {
    int portNum = 10;
    int userBaudrate = 1000000;
};

// The settings file "varnek.ini", section "Stend". Every writer stores its one field at
// once and throws BenchError("Unable to write to <path>") when the file cannot be written.
namespace SettingsFile {

inline const QString FileName = QStringLiteral("varnek.ini");
inline const QString Section = QStringLiteral("Stend");

inline const QString ChiefKey = QStringLiteral("Начальник ОТК");
inline const QString ChiefNameKey = QStringLiteral("Начальник");
inline const QString InvestigatorKey = QStringLiteral("Испытал");
inline const QString FirmKey = QStringLiteral("Название фирмы");
inline const QString OilAnalysisKey = QStringLiteral("Анализ масла №");
inline const QString ElectricStrengthKey = QStringLiteral("Электрическая прочность");
inline const QString WaterContentKey = QStringLiteral("Содержание воды");
inline const QString MechanicalImpuritiesKey = QStringLiteral("Механические примеси");
inline const QString WeightedCoalContentKey = QStringLiteral("Содержание взвешанного угля");
inline const QString ColorKey = QStringLiteral("Цвет");
inline const QString AcidNumberKey = QStringLiteral("Кислотное число КОН");
inline const QString ReactionAqueousExtractKey = QStringLiteral("Реакция водной вытяжки");
inline const QString FlashTemperatureKey = QStringLiteral("Температура вспышки");
inline const QString AutoStopKey = QStringLiteral("AutoStop");
inline const QString ComKey = QStringLiteral("COM");
inline const QString BaudKey = QStringLiteral("Baud");

QString path();

// Every field, in one opening of the file; a missing text is empty.
BenchSettings read();
PortSettings readPort();

void writeChief(const QString &text);
void writeChiefName(const QString &text);
void writeInvestigator(const QString &text);
// The memo's text: its lines are stored as one, joined by one blank.
void writeFirm(const QString &memoText);
void writeOilAnalysis(const QString &text);
void writeElectricStrength(const QString &text);
void writeWaterContent(const QString &text);
void writeMechanicalImpurities(const QString &text);
void writeWeightedCoalContent(const QString &text);
void writeColor(const QString &text);
void writeAcidNumber(const QString &text);
void writeReactionAqueousExtract(const QString &text);
void writeFlashTemperature(const QString &text);
void writeAutoStop(bool ticked);
// "COM" and "Baud" together, in one replacement of the file.
void writePort(int portNum, int userBaudrate);

// The firm name as one line: the memo's lines without the blanks around them, empty
// lines left out, joined by one blank, so no two words run together.
QString firmLine(const QString &memoText);

} // namespace SettingsFile
