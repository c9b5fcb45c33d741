#include "settingsfile.h"

#include "keyvaluefile.h"
#include "recordslocation.h"

#include <QRegularExpression>
#include <QStringList>

namespace SettingsFile {

namespace {

void writeText(const QString &key, const QString &text)
{
    KeyValueFile(path()).writeString(Section, key, text);
}

} // namespace

QString path()
{
    return recordFilePath(FileName);
}

BenchSettings read()
{
    const QStringList keys = {ChiefKey, ChiefNameKey, InvestigatorKey, FirmKey,
                              OilAnalysisKey, ElectricStrengthKey, WaterContentKey, MechanicalImpuritiesKey,
                              WeightedCoalContentKey, ColorKey, AcidNumberKey, ReactionAqueousExtractKey,
                              FlashTemperatureKey, AutoStopKey, ComKey, BaudKey};
    const QHash<QString, QString> values = KeyValueFile(path()).readValues(Section, keys);

    BenchSettings s;
    s.chief = values.value(ChiefKey);
    s.chiefName = values.value(ChiefNameKey);
    s.investigator = values.value(InvestigatorKey);
    s.firm = values.value(FirmKey);
    s.oilAnalysis = values.value(OilAnalysisKey);
    s.electricStrength = values.value(ElectricStrengthKey);
    s.waterContent = values.value(WaterContentKey);
    s.mechanicalImpurities = values.value(MechanicalImpuritiesKey);
    s.weightedCoalContent = values.value(WeightedCoalContentKey);
    s.color = values.value(ColorKey);
    s.acidNumber = values.value(AcidNumberKey);
    s.reactionAqueousExtract = values.value(ReactionAqueousExtractKey);
    s.flashTemperature = values.value(FlashTemperatureKey);
    if (const auto autoStop = KeyValueFile::parseInteger(values.value(AutoStopKey)))
        s.autoStop = *autoStop != 0;
    s.portNum = KeyValueFile::parseInteger(values.value(ComKey)).value_or(s.portNum);
    s.userBaudrate = KeyValueFile::parseInteger(values.value(BaudKey)).value_or(s.userBaudrate);
    return s;
}

PortSettings readPort()
{
    const QHash<QString, QString> values = KeyValueFile(path()).readValues(Section, {ComKey, BaudKey});
    PortSettings port;
    port.portNum = KeyValueFile::parseInteger(values.value(ComKey)).value_or(port.portNum);
    port.userBaudrate = KeyValueFile::parseInteger(values.value(BaudKey)).value_or(port.userBaudrate);
    return port;
}

void writeChief(const QString &text) { writeText(ChiefKey, text); }
void writeChiefName(const QString &text) { writeText(ChiefNameKey, text); }
void writeInvestigator(const QString &text) { writeText(InvestigatorKey, text); }
void writeFirm(const QString &memoText) { writeText(FirmKey, firmLine(memoText)); }
void writeOilAnalysis(const QString &text) { writeText(OilAnalysisKey, text); }
void writeElectricStrength(const QString &text) { writeText(ElectricStrengthKey, text); }
void writeWaterContent(const QString &text) { writeText(WaterContentKey, text); }
void writeMechanicalImpurities(const QString &text) { writeText(MechanicalImpuritiesKey, text); }
void writeWeightedCoalContent(const QString &text) { writeText(WeightedCoalContentKey, text); }
void writeColor(const QString &text) { writeText(ColorKey, text); }
void writeAcidNumber(const QString &text) { writeText(AcidNumberKey, text); }
void writeReactionAqueousExtract(const QString &text) { writeText(ReactionAqueousExtractKey, text); }
void writeFlashTemperature(const QString &text) { writeText(FlashTemperatureKey, text); }

void writeAutoStop(bool ticked)
{
    KeyValueFile(path()).writeBool(Section, AutoStopKey, ticked);
}

void writePort(int portNum, int userBaudrate)
{
    KeyValueFile(path()).writeValues(Section, {{ComKey, QString::number(portNum)},
                                               {BaudKey, QString::number(userBaudrate)}});
}

QString firmLine(const QString &memoText)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n|\u2029|\u2028"));
    QStringList lines;
    for (const QString &line : memoText.split(lineBreak)) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    return lines.join(u' ');
}

} // namespace SettingsFile
