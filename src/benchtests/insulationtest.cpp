#include "insulationtest.h"

#include "fieldsink.h"
#include "fixedpoint.h"
#include "numbersyntax.h"
#include "resultrecord.h"

#include <cmath>

QString absorptionCoefficientText(const QString &r15, const QString &r60)
{
    long double at15 = 0;
    long double at60 = 0;
    // A zero 15-second value is a half-typed entry (0 on the way to 0.5) far more often
    // than a measurement, so it leaves the coefficient empty instead of raising an error
    // at a keystroke.
    if (!readPlainNumber(r15, at15) || !readPlainNumber(r60, at60) || at15 == 0)
        return QString();
    const long double ratio = at60 / at15;
    if (!std::isfinite(ratio))
        return QString();
    return fixedText(ratio, 4, 5);
}

void computeAbsorptionCoefficients(const InsulationTexts &t, FieldSink &sink)
{
    sink.set(ResultId::KabsHigh, absorptionCoefficientText(t.RHigh15, t.RHigh60));
    sink.set(ResultId::KabsLow, absorptionCoefficientText(t.RLow15, t.RLow60));
    sink.set(ResultId::KabsHL, absorptionCoefficientText(t.RHL15, t.RHL60));
}
