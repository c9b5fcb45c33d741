#include "circuitscheme.h"

using namespace Qt::StringLiterals;

bool lowVoltageIsDelta(const QString &circuit)
{
    const QString scheme = circuit.simplified();
    return scheme == u"U / D - 11"_s || scheme == u"D / D - 0"_s;
}

QStringList lowVoltagePairs(const QString &circuit)
{
    return lowVoltageIsDelta(circuit) ? QStringList{u"ab"_s, u"ca"_s, u"bc"_s}
                                      : QStringList{u"a0"_s, u"b0"_s, u"c0"_s};
}
