#include "ratiotest.h"

#include "arithmetic.h"
#include "fieldsink.h"
#include "fixedpoint.h"
#include "resultrecord.h"

namespace {

bool isTap(int tap) { return tap >= 0 && tap < RatioTapCount; }

} // namespace

void runRatioTest(const BenchReadings &r, const RatedValues &rated, int voltageDigits, int tap,
                  bool onePhase, FieldSink &sink)
{
    if (!isTap(tap))
        return;
    const int uCol = 2 * tap;
    const int kCol = 2 * tap + 1;
    const int vd = voltageDigits;
    const long double un = rated.RatedVoltageLV;
    auto tapCell = [&sink](int column, int row, long double value, int decimals) {
        sink.set(Results::transformCell(column, row), fixedText(value, decimals, ResultWidth));
    };
    auto measureCell = [&sink](int column, int row, long double value, int decimals) {
        sink.set(Results::measureCell(column, row), fixedText(value, decimals, ResultWidth));
    };

    // Rows BC and CA are emptied first so that a one-phase press leaves nothing of an
    // earlier three-phase press of the same tap.
    for (int row = 1; row <= 2; ++row) {
        for (int column : {kCol, uCol, RatedVoltageColumn})
            sink.set(Results::transformCell(column, row), QString());
        for (int column : {1, 0, 2})
            sink.set(Results::measureCell(column, row), QString());
    }

    sink.set(ResultId::Group, fixedText(r.PhaseGroup, 0, 1));
    tapCell(kCol, 0, r.Kab, 2);
    measureCell(1, 0, r.Kab, 2);
    tapCell(uCol, 0, un * r.Kab, vd);
    tapCell(RatedVoltageColumn, 0, un, PrimaryVoltageDigits);

    if (onePhase) {
        measureCell(0, 0, r.U2ab, vd);
        measureCell(2, 0, r.Uab, vd);
        return;
    }

    tapCell(kCol, 1, r.Kbc, 2);
    measureCell(1, 1, r.Kbc, 2);
    tapCell(kCol, 2, r.Kca, 2);
    measureCell(1, 2, r.Kca, 2);
    tapCell(uCol, 1, un * r.Kbc, vd);
    tapCell(uCol, 2, un * r.Kca, vd);
    measureCell(0, 0, r.U2ab, vd);
    measureCell(0, 1, r.U2bc, vd);
    measureCell(0, 2, r.U2ca, vd);
    tapCell(RatedVoltageColumn, 1, un, PrimaryVoltageDigits);
    tapCell(RatedVoltageColumn, 2, un, PrimaryVoltageDigits);
    measureCell(2, 0, r.Uab, vd);
    measureCell(2, 1, r.Ubc, vd);
    measureCell(2, 2, r.Uca, vd);
}

void clearRatioTap(int tap, FieldSink &sink)
{
    if (!isTap(tap))
        return;
    for (int row = 0; row < 3; ++row) {
        sink.set(Results::ratioVoltage(tap, row), QString());
        sink.set(Results::ratio(tap, row), QString());
    }
}
