#pragma once

#include "declaredvalues.h"
#include "norms.h"

#include <QString>
#include <optional>

// Where a norm's limit applies to a quantity of a transformer's history, the span of values
// that complies with it, for a chart to shade. Pure.
struct NormBand {
    std::optional<double> lower; // none: open below
    std::optional<double> upper; // none: open above
    QString text;                // "не более 1150 Вт (+15 % от паспортных 1000 Вт)"
    QString source;

    bool operator==(const NormBand &) const = default;
};

struct BandInputs {
    TypeDeclared type;
    SerialDeclared serial;
    double referenceTemperature = 20.0; // the chart's resistances are reduced to it
    double materialConstant = 235.0;
    std::optional<double> highVoltage;  // V, the class for the oil's breakdown voltage
};

// The band of the norm `normId` for the value kept under `tap` and `row` (-1 where the norm
// has none): nothing where the norm needs a value the inputs lack, or where it judges
// something a history cannot show (a temperature not recorded, a change since the previous
// test). The oil's limits are those for oil in service.
std::optional<NormBand> normBand(const QString &normId, int tap, int row, const NormsTable &norms,
                                 const BandInputs &inputs);
