#include "shortcircuittest.h"

#include "arithmetic.h"
#include "fieldsink.h"
#include "fixedpoint.h"
#include "resultrecord.h"

#include <cmath>

long double temperatureFactor(std::uint8_t materialConstant, long double windingTemperature)
{
    const int numerator = int(materialConstant) + 75;
    return checkedDivide(numerator, materialConstant + windingTemperature);
}

namespace {

// A reduction to rated current that cannot be made (no current flowed) keeps the
// measured value: the operator still sees the measurement, and no box interrupts.
long double reducedOrMeasured(long double reduced, long double measured, long double current)
{
    if (current == 0 || !std::isfinite(reduced))
        return measured;
    return reduced;
}

} // namespace

void runShortCircuitTest(const BenchReadings &r, const RatedValues &rated, int currentDigits,
                         bool onePhase, FieldSink &sink)
{
    const int d = currentDigits;
    const long double p = r.Ptotal;
    const long double i = r.Iavg;
    const long double u = r.Uavg;
    const long double ir = rated.RatedCurrentHV;
    const long double ur = rated.RatedVoltageHV;
    using enum ResultId;
    auto put = [&sink](ResultId id, long double value, int decimals) {
        sink.set(id, fixedText(value, decimals, ResultWidth));
    };

    for (ResultId id : {Ubc10, Uca10, Ib10, Ic10})
        sink.set(id, QString());

    put(Ia10, r.Ia, d);
    put(Uab10, r.Uab, PrimaryVoltageDigits);
    if (!onePhase) {
        put(Ubc10, r.Ubc, PrimaryVoltageDigits);
        put(Uca10, r.Uca, PrimaryVoltageDigits);
        put(Ib10, r.Ib, d);
        put(Ic10, r.Ic, d);
    }

    // Powers carry one decimal fewer than currents; with none to spare they show none.
    put(Pkz10, p, d - 1);
    const long double pRated = reducedOrMeasured(p * ir * ir / i / i, p, i);
    put(Pkz11, pRated, d - 1);
    const long double k = temperatureFactor(rated.MaterialConstant, rated.WindingTemperature);
    put(Pkz12, pRated * k, d - 1);

    put(Ikz10, i, d);
    put(Ukz100, u, PrimaryVoltageDigits);
    put(Ukz110, checkedDivide(u * 100, ur), 2);
    const long double uRated = reducedOrMeasured(u * ir / i, u, i);
    put(Ukz101, uRated, PrimaryVoltageDigits);
    put(Ukz111, checkedDivide(uRated * 100, ur), 2);

    // The active part of uk in per cent is P' / (10 * RatedPower), P' in W, power in kVA.
    const long double uk = checkedDivide(uRated * 100, ur);
    const long double activeSquared =
        checkedDivide(checkedDivide(pRated * pRated / 100, rated.RatedPower), rated.RatedPower);
    const long double uk75 = checkedSquareRoot(uk * uk + activeSquared * (k * k - 1));

    // Deliberately the reverse of the rows above: per cent with one decimal, volts with two.
    put(Ukz112, uk75, PrimaryVoltageDigits);
    put(Ukz102, uk75 * ur / 100, 2);
}
