#include "settingsfile.h"

#include "keyvaluefile.h"
#include "recordslocation.h"

#include <QRegularExpression>
#include <QStringList>

namespace SettingsFile {

namespace {
const QString FirmControl = QStringLiteral("Firm");
} // namespace

const QList<TextSetting> &textSettings()
{
    static const QList<TextSetting> settings{
        {QStringLiteral("Chief"), QStringLiteral("Начальник ОТК")},
        {QStringLiteral("ChiefName"), QStringLiteral("Начальник")},
        {QStringLiteral("Investigator"), QStringLiteral("Испытал")},
        {FirmControl, QStringLiteral("Название фирмы")},
        {QStringLiteral("OilAnalysis"), QStringLiteral("Анализ масла №")},
        {QStringLiteral("ElectricStrength"), QStringLiteral("Электрическая прочность")},
        {QStringLiteral("WaterContent"), QStringLiteral("Содержание воды")},
        {QStringLiteral("MechanicalImpurities"), QStringLiteral("Механические примеси")},
        {QStringLiteral("WeightedCoalContent"), QStringLiteral("Содержание взвешанного угля")},
        {QStringLiteral("Color"), QStringLiteral("Цвет")},
        {QStringLiteral("AcidNumber"), QStringLiteral("Кислотное число КОН")},
        {QStringLiteral("ReactionAqueousExtract"), QStringLiteral("Реакция водной вытяжки")},
        {QStringLiteral("FlashTemperature"), QStringLiteral("Температура вспышки")},
    };
    return settings;
}

QString path()
{
    return recordFilePath(FileName);
}

BenchSettings read()
{
    QStringList keys{AutoStopKey, ComKey, BaudKey};
    for (const TextSetting &t : textSettings())
        keys.append(t.key);
    const QHash<QString, QString> values = KeyValueFile(path()).readValues(Section, keys);

    BenchSettings s;
    for (const TextSetting &t : textSettings())
        s.texts.insert(t.control, values.value(t.key));
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

void writeText(const QString &control, const QString &text)
{
    for (const TextSetting &t : textSettings())
        if (t.control == control)
            KeyValueFile(path()).writeString(Section, t.key, control == FirmControl ? firmLine(text) : text);
}

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
