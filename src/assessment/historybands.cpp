#include "historybands.h"

#include "judgement.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {


NormBand around(double reference, double percent, const QString &what)
{
    const double span = std::fabs(reference) * percent / 100;
    return {reference - span, reference + span,
            u"±"_s + numberText(percent) + u" % от "_s + what + u' ' + numberText(reference), {}};
}

template<std::size_t N>
std::optional<double> at(const std::array<std::optional<double>, N> &row, int index)
{
    return index >= 0 && index < int(N) ? row[std::size_t(index)] : std::nullopt;
}

} // namespace

std::optional<NormBand> normBand(const QString &normId, int tap, int row, const NormsTable &norms,
                                 const BandInputs &in)
{
    if (normId.isEmpty() || !NormsTable::ids().contains(normId))
        return std::nullopt;
    const NormRow &norm = norms.norm(normId);
    const auto value = [&](int i) { return norm.values.value(i); };
    std::optional<NormBand> band;
    const auto above = [&](std::optional<double> declared, const QString &name) {
        if (declared && *declared > 0)
            band = NormBand{std::nullopt, *declared * (1 + value(0) / 100),
                            u"не более +"_s + numberText(value(0)) + u" % от паспортного "_s + name + u' '
                                + numberText(*declared), {}};
    };
    if (normId == u"noload.current") {
        above(in.type.i0, u"I0"_s);
    } else if (normId == u"losses.p0") {
        above(in.type.p0, u"P0"_s);
    } else if (normId == u"losses.pk") {
        above(in.type.pk, u"Pк"_s);
    } else if (normId == u"uk") {
        if (in.type.uk && *in.type.uk > 0)
            band = around(*in.type.uk, *in.type.uk < value(0) ? value(1) : value(2), u"паспортного uk"_s);
    } else if (normId == u"ratio.factory") {
        if (tap >= 0 && tap < RatioTaps) {
            if (const std::optional<double> k = at(in.serial.ratio[std::size_t(tap)], row); k && *k > 0)
                band = around(*k, value(0), u"заводского"_s);
        }
    } else if (normId == u"resistance.factory") {
        if (tap >= 0 && tap < ResistanceTaps && in.serial.resistanceTemperature) {
            const std::optional<double> r = at(in.serial.resistance[std::size_t(tap)], row);
            const double t = *in.serial.resistanceTemperature;
            if (r && *r > 0 && in.materialConstant + t > 0)
                band = around(resistanceAt(*r, t, in.referenceTemperature, in.materialConstant), value(0),
                              u"заводского, приведённого к "_s + numberText(in.referenceTemperature) + u" °C,"_s);
        }
    } else if (normId == u"insulation.kabs") {
        band = NormBand{value(0), std::nullopt,
                        u"не менее "_s + numberText(value(0)) + u" при "_s + numberText(value(1)) + u"-"_s
                            + numberText(value(2)) + u" °C"_s, {}};
    } else if (normId == u"oil.breakdown") {
        // Classes up to value(0) kV and up to value(3) kV, each: before filling, in service.
        if (in.highVoltage && *in.highVoltage > 0 && *in.highVoltage <= value(3) * 1000) {
            const double least = *in.highVoltage <= value(0) * 1000 ? value(2) : value(5);
            band = NormBand{least, std::nullopt, u"не менее "_s + numberText(least) + u" кВ (масло в эксплуатации)"_s, {}};
        }
    } else if (normId == u"oil.acid") {
        band = NormBand{std::nullopt, value(1),
                        u"не более "_s + numberText(value(1)) + u", предел "_s + numberText(value(2))
                            + u" (масло в эксплуатации)"_s, {}};
    } else if (normId == u"oil.water") {
        // A sealed unit has limits of its own, where the norms give them; without a declared
        // protection the band is the non-sealed one and says so.
        const bool sealed = in.type.oilProtection == OilProtection::Sealed;
        if (!sealed || norm.values.size() > 3)
            band = NormBand{std::nullopt, value(sealed ? 3 : 1),
                            u"не более "_s + numberText(value(sealed ? 3 : 1)) + u" г/т (масло в эксплуатации, "_s
                                + (sealed ? u"герметичное"_s : u"негерметичное"_s) + u" исполнение)"_s, {}};
    }
    if (band)
        band->source = norm.source;
    return band;
}
