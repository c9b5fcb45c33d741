#include "noloadtest.h"

#include "arithmetic.h"
#include "fieldsink.h"
#include "fixedpoint.h"
#include "resultrecord.h"

void runNoLoadTest(const BenchReadings &r, const RatedValues &rated, int currentDigits,
                   bool onePhase, FieldSink &sink)
{
    const int d = currentDigits;
    using enum ResultId;
    auto put = [&sink](ResultId id, long double value, int decimals) {
        sink.set(id, fixedText(value, decimals, ResultWidth));
    };

    for (ResultId id : {Uab00, Ubc00, Uca00, Ia00, Ib00, Ic00, Ixx00, Ixx01, Pxx00})
        sink.set(id, QString());

    put(Ia00, r.Ia, d);
    // Powers carry one decimal fewer than currents; with none to spare they show none.
    put(Pxx00, r.Ptotal, d - 1);
    put(Ixx00, r.Iavg, d);
    put(Ixx01, checkedDivide(r.Iavg * 100, rated.RatedCurrentLV), 2);

    put(Uab00, r.Uab, PrimaryVoltageDigits);
    if (onePhase)
        return;
    put(Ubc00, r.Ubc, PrimaryVoltageDigits);
    put(Uca00, r.Uca, PrimaryVoltageDigits);
    put(Ib00, r.Ib, d);
    put(Ic00, r.Ic, d);
}
