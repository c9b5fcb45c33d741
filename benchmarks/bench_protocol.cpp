// How long the protocol takes from a request to paper: both pages generated and page 1
// drawn at screen resolution must stay under 100 ms for the preview to appear at once;
// the PDF of both pages under 200 ms.

#include "report.h"
#include "sheetoutput.h"
#include "sheetstore.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void fill(TForm3 &form)
{
    form.setCaption(QStringLiteral("QRFirm"), QStringLiteral("ООО «Трансформаторный завод»"));
    form.setCaption(QStringLiteral("QRProtocolNumber"), QStringLiteral("Протокол №12 испытания трансформатора ТМ-400/10"));
    form.setCaption(QStringLiteral("QRLabel9"), QStringLiteral("Капитальный ремонт с заменой обмоток ВН и НН, сушка активной части"));
    form.setCaption(QStringLiteral("QRCircuit"), QStringLiteral("U / Uo - 0"));
    for (const char *name : {"QRUab00", "QRUbc00", "QRUca00", "QRUab10", "QRUbc10", "QRUca10"})
        form.setCaption(QString::fromLatin1(name), QStringLiteral("398.4"));
    for (const char *name : {"QRUI", "QRKI", "QRUII", "QRKII", "QRUnn"})
        form.setLines(QString::fromLatin1(name), {QStringLiteral("10500"), QStringLiteral("26.25"), QStringLiteral("26.24")});
    form.setCaption(QStringLiteral("QRConclusion"), QStringLiteral("Трансформатор испытания выдержал. ").repeated(20));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TForm3 form;
    fill(form);
    const QDate today(2026, 3, 14);
    const int runs = 30;

    // Warm the font caches once, as the first preview of a session would.
    form.previewStendReport(today);

    const double generated = medianMs(runs, [&] {
        form.previewStendReport(today);
        form.prepareStendReport2(today);
    });
    const double shown = medianMs(runs, [&] {
        form.previewStendReport(today);
        form.prepareStendReport2(today);
        SheetOutput::renderImage(*form.stendReportStore()->sheet(), 96.0);
    });
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("protocol.pdf"));
    const QList<Sheet> sheets{*form.stendReportStore()->sheet(), *form.stendReport2Store()->sheet()};
    const double written = medianMs(runs, [&] { SheetOutput::writePdf(sheets, pdf); });

    std::printf("both pages generated:                %7.2f ms (median of %d)\n", generated, runs);
    std::printf("both generated + page 1 at 96 dpi:   %7.2f ms (target < 100 ms)\n", shown);
    std::printf("PDF of both pages:                   %7.2f ms (target < 200 ms)\n", written);
    return shown < 100.0 && written < 200.0 ? 0 : 1;
}
