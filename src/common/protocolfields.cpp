#include "protocolfields.h"

using namespace Qt::StringLiterals;

namespace ProtocolFields {

const QList<Field> &copied()
{
    static const QList<Field> fields = {
        {u"QRLabel9"_s, u"Rem"_s},
        {u"QRLabel64"_s, u"ChiefName"_s},
        {Investigator, u"Investigator"_s},
        {Chief, u"Chief"_s},
        {u"QRName2"_s, u"Name"_s},
        {RepairNumber, u"RepairNumber"_s},
        {YearOfRepair, u"YearOfRepair"_s},
        {u"QRGroup"_s, u"Group"_s},
        {Circuit, CircuitControl},
        {u"QRRHigh15"_s, u"RHigh15"_s},
        {u"QRRHigh60"_s, u"RHigh60"_s},
        {u"QRKabsHigh"_s, u"KabsHigh"_s},
        {u"QRUhigh"_s, u"Uhigh"_s},
        {u"QRThigh"_s, u"Thigh"_s},
        {u"QRRLow15"_s, u"RLow15"_s},
        {u"QRRLow60"_s, u"RLow60"_s},
        {u"QRKabsLow"_s, u"KabsLow"_s},
        {u"QRUlow"_s, u"Ulow"_s},
        {u"QRTlow"_s, u"Tlow"_s},
        {u"QRRHL15"_s, u"RHL15"_s},
        {u"QRRHL60"_s, u"RHL60"_s},
        {u"QRKabsHL"_s, u"KabsHL"_s},
        {u"QRUHL"_s, u"UHL"_s},
        {u"QRTHL"_s, u"THL"_s},
        {u"QRUab00"_s, u"Uab00"_s},
        {u"QRUbc00"_s, u"Ubc00"_s},
        {u"QRUca00"_s, u"Uca00"_s},
        {u"QRIa00"_s, u"Ia00"_s},
        {u"QRIb00"_s, u"Ib00"_s},
        {u"QRIc00"_s, u"Ic00"_s},
        {u"QRIxx00"_s, u"Ixx00"_s},
        {u"QRIxx01"_s, u"Ixx01"_s},
        {u"QRPxx00"_s, u"Pxx00"_s},
        {u"QRUab10"_s, u"Uab10"_s},
        {u"QRUbc10"_s, u"Ubc10"_s},
        {u"QRUca10"_s, u"Uca10"_s},
        {u"QRUkz100"_s, u"Ukz100"_s},
        {u"QRIa10"_s, u"Ia10"_s},
        {u"QRIb10"_s, u"Ib10"_s},
        {u"QRIc10"_s, u"Ic10"_s},
        {u"QRUkz101"_s, u"Ukz101"_s},
        {u"QRUkz111"_s, u"Ukz111"_s},
        {u"QRPkz11"_s, u"Pkz11"_s},
    };
    return fields;
}

const QList<Field> &composed()
{
    // The carbon's words are spelled as the protocol has always printed them.
    static const QList<Field> fields = {
        {TransformerWeight, u"TransformerWeight"_s, {}, u" кг"_s},
        {Pnom, u"Pnom"_s, {}, u" кВА"_s},
        {Freq, u"Freq2"_s, {}, u" Гц"_s},
        {u"QRTemperature"_s, u"Temperature"_s, u"Короткое замыкание при "_s, u" °C"_s},
        {u"QRTemperature1"_s, u"Temperature"_s, u"Омическое сопротивление обмоток при "_s, u" °C"_s},
        {u"QRUkz102"_s, u"Ukz102"_s, u"Uкз приведенное к 75°С "_s, u" B"_s},
        {u"QRPkz12"_s, u"Pkz12"_s, u"Pкз приведенного к 75°С "_s, u" Вт"_s},
        {OilAnalysis, u"OilAnalysis"_s, u"Анализ масла № "_s, {}},
        {ElectricStrength, u"ElectricStrength"_s, u"Электрическая прочность "_s, {}},
        {WaterContent, u"WaterContent"_s, u"Содержание воды "_s, {}},
        {MechanicalImpurities, u"MechanicalImpurities"_s, u"Механические примеси "_s, {}},
        {WeightedCoalContent, u"WeightedCoalContent"_s, u"Содержание взвешанного угля "_s, {}},
        {Color, u"Color"_s, u"Цвет "_s, {}},
        {AcidNumber, u"AcidNumber"_s, u"Кислотное число КОН "_s, {}},
        {ReactionAqueousExtract, u"ReactionAqueousExtract"_s, u"Реакция водной вытяжки "_s, {}},
        {FlashTemperature, u"FlashTemperature"_s, u"Температура вспышки "_s, {}},
    };
    return fields;
}

const Field *find(const QString &name)
{
    for (const QList<Field> *list : {&copied(), &composed()})
        for (const Field &f : *list)
            if (f.name == name)
                return &f;
    return nullptr;
}

const QList<TwoSided> &twoSided()
{
    static const QList<TwoSided> fields = {
        {Unom, u"Unom2"_s, u"Unom"_s, u" В"_s},
        {Inom, u"Inom2"_s, u"Inom"_s, u" А"_s},
    };
    return fields;
}

} // namespace ProtocolFields
