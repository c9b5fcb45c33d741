// Makes a filled protocol the way an operator would, through the real windows against the
// bench emulator, and leaves both pages as PNG (150 dpi) and the pair as one PDF in the
// current folder. Used by scripts/start.sh and for the pictures in docs/.
#include "protocolsession.h"
#include "sheetoutput.h"
#include "sheetstore.h"
#include "sheetview.h"

#include <QApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    QTextStream out(stdout);
    QTextStream err(stderr);

    bool ok = false;
    QList<Sheet> sheets;
    {
        WindowFixture fixture;
        ProtocolSession s(fixture, QStringLiteral(BENCH_EMULATOR));
        ok = fixture.isValid() && s.startWindow() && s.loadType() && s.runNoLoad()
             && s.runShortCircuit() && s.runRatio() && s.runResistance(true);
        if (ok) {
            s.typeEntries();
            ok = s.pressProtocol();
        }
        if (ok)
            sheets = {*s.form3->stendReportStore()->sheet(), *s.form4->pageStore(2)->sheet()};
        else
            err << "protocol-sample: " << s.error << "\n";
        for (const auto &m : fixture.prompts.messages)
            err << "protocol-sample: message " << m.caption << ": " << m.text << "\n";
        s.closeWindows();
    }
    if (!ok)
        return 1;

    const QDir here = QDir::current();
    for (int i = 0; i < sheets.size(); ++i) {
        const QString png = here.absoluteFilePath(QStringLiteral("protocol-page%1.png").arg(i + 1));
        if (!SheetOutput::renderImage(sheets[i], 150).save(png)) {
            err << "protocol-sample: cannot write " << png << "\n";
            return 1;
        }
        out << png << "\n";
    }
    const QString pdf = here.absoluteFilePath(QStringLiteral("protocol.pdf"));
    QString why;
    if (!SheetOutput::writePdf(sheets, pdf, &why)) {
        err << "protocol-sample: cannot write " << pdf << ": " << why << "\n";
        return 1;
    }
    out << pdf << "\n";
    return 0;
}
