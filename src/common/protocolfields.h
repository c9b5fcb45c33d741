#pragma once

#include <QList>
#include <QString>

// The elements of the protocol's pages that show the main window's texts: the filling
// writes them from the controls, the archive keeps them and reads the values back out.
namespace ProtocolFields {

// The elements read back by name: by the archive, and by the windows for a record's title.
inline const QString ProtocolNumber = QStringLiteral("QRProtocolNumber");
inline const QString RepairNumber = QStringLiteral("QRRepairNumber");
inline const QString FasNumber = QStringLiteral("QRFasNumber");
inline const QString TransformerWeight = QStringLiteral("QRTransformerWeight");
inline const QString YearOfRepair = QStringLiteral("QRYearOfRepair");
inline const QString Pnom = QStringLiteral("QRPnom");
inline const QString Unom = QStringLiteral("QRUnom");
inline const QString Inom = QStringLiteral("QRInom");
inline const QString Freq = QStringLiteral("QRFreq");
inline const QString Circuit = QStringLiteral("QRCircuit");
inline const QString CircuitControl = QStringLiteral("Circuit"); // its text decides the delta rows
inline const QString OilAnalysis = QStringLiteral("QROilAnalysis");
inline const QString ElectricStrength = QStringLiteral("QRElectricStrength");
inline const QString WaterContent = QStringLiteral("QRWaterContent");
inline const QString MechanicalImpurities = QStringLiteral("QRMechanicalImpurities");
inline const QString WeightedCoalContent = QStringLiteral("QRWeightedCoalContent");
inline const QString Color = QStringLiteral("QRColor");
inline const QString AcidNumber = QStringLiteral("QRAcidNumber");
inline const QString ReactionAqueousExtract = QStringLiteral("QRReactionAqueousExtract");
inline const QString FlashTemperature = QStringLiteral("QRFlashTemperature");
inline const QString Conclusion = QStringLiteral("QRConclusion");
inline const QString Investigator = QStringLiteral("QRInvestigator");
inline const QString Chief = QStringLiteral("QRChief");

// An element that shows one control's text, between fixed words where it has any.
struct Field {
    QString name;
    QString control;
    QString prefix = {};
    QString suffix = {};
};

// The elements that show their control's text as it stands.
const QList<Field> &copied();
// The elements that show their control's text between fixed words.
const QList<Field> &composed();
// `name` among copied() and composed(); null for any other element.
const Field *find(const QString &name);

// An element that shows a rated value of both windings, "10000 В / 400 В".
struct TwoSided {
    QString name;
    QString highControl;
    QString lowControl;
    QString unit;
};
inline const QString SideSeparator = QStringLiteral(" / ");
const QList<TwoSided> &twoSided();

} // namespace ProtocolFields
