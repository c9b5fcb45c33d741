// Renders "Динамика" on sample data for the README: the archive window with its button, the
// history window and the sheet "История испытаний":
// history_screenshots <output folder> [seconds to keep the windows open] [folder for the pictures to check:
// the archive window without and with its button, a chart of three phases, the chart's and the sheet's
// PDF]. Not a test; built on request only.

#include "archivelistmodel.h"
#include "archivewindow.h"
#include "cataloguefile.h"
#include "declaredstore.h"
#include "historywindow.h"
#include "prompts.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdio>

namespace {

ArchiveRecord protocol(int i, const QString &serial, const QDateTime &moment)
{
    ArchiveRecord r;
    r.protocolNumber = QString::number(100 + i * 17);
    r.serialNumber = serial;
    r.type = QStringLiteral("ТМ-630/10");
    r.firm = QStringLiteral("ООО \"Энергоремонт\"");
    r.moment = moment;
    r.fields.insert(QStringLiteral("QRCircuit"), QStringLiteral("U / Uo - 0"));
    r.fields.insert(QStringLiteral("QRUnom"), QStringLiteral("10000 В / 400 В"));
    r.fields.insert(QStringLiteral("QRElectricStrength"),
                    QStringLiteral("Электрическая прочность %1").arg(58 - i * 3.5, 0, 'f', 1));
    auto &v = r.results;
    const double age = i;
    v[QStringLiteral("Temperature")] = QString::number(12 + (i * 7) % 19);
    v[QStringLiteral("Ixx01")] = QString::number(1.62 + age * 0.04 + (i % 2) * 0.02, 'f', 2);
    v[QStringLiteral("Pxx00")] = QString::number(1180 + age * 14 + (i % 3) * 9, 'f', 1);
    v[QStringLiteral("Pkz12")] = QString::number(7450 + age * 22, 'f', 1);
    v[QStringLiteral("Ukz112")] = QString::number(5.48 + (i % 3) * 0.03, 'f', 2);
    for (int tap = 0; tap < 5; ++tap) {
        for (int row = 0; row < 3; ++row) {
            v[StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row)] =
                QString::number(26.25 - tap * 0.63 + row * 0.01, 'f', 2);
            // Phase BC drifts after the fourth repair: a loose contact.
            const double drift = row == 2 && i >= 4 ? 1 + (i - 3) * 0.012 : 1.0;
            const double theta = 12 + (i * 7) % 19;
            const double r20 = 0.3412 * (1 - tap * 0.025) * (1 + row * 0.004) * drift;
            if (!(i == 3 && row == 1))
                v[StateFile::gridKey(StateFile::ResistenceGrid, tap, row)] =
                    QString::number(r20 * (235 + theta) / 255, 'f', 4).replace(u'.', u',');
        }
    }
    const double insulation = 2400 * std::pow(0.9, age);
    v[QStringLiteral("RHigh15")] = QString::number(insulation / 1.45, 'f', 0);
    v[QStringLiteral("RHigh60")] = QString::number(insulation, 'f', 0);
    v[QStringLiteral("KabsHigh")] = QString::number(1.45 - age * 0.03, 'f', 2);
    v[QStringLiteral("RLow15")] = QString::number(insulation * 0.6 / 1.5, 'f', 0);
    v[QStringLiteral("RLow60")] = QString::number(insulation * 0.6, 'f', 0);
    v[QStringLiteral("KabsLow")] = QString::number(1.5 - age * 0.025, 'f', 2);
    v[QStringLiteral("RHL15")] = QString::number(insulation * 1.3 / 1.4, 'f', 0);
    v[QStringLiteral("RHL60")] = QString::number(insulation * 1.3, 'f', 0);
    return r;
}

// Names the files the window would ask for.
class NamedFiles : public WidgetPrompts {
public:
    QStringList names;
    QString saveFileName(QWidget *, const FileRequest &) override { return names.isEmpty() ? QString() : names.takeFirst(); }
};

bool save(QWidget *w, const QString &path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "failed", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const int hold = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());
    ProtocolArchive archive(ArchiveSettings::sqliteDefault());

    // The type's passport and the transformer's factory report give the bands.
    CatalogueFile::saveType(QStringLiteral("ТМ-630/10"), TransformerType{});
    TypeDeclared passport;
    passport.p0 = 1250;
    passport.pk = 7600;
    passport.i0 = 1.6;
    passport.uk = 5.5;
    DeclaredStore::saveType(QStringLiteral("ТМ-630/10"), passport);

    qint64 chosen = 0;
    const QDateTime first(QDate(2015, 4, 14), QTime(10, 5));
    for (int i = 0; i < 9; ++i)
        chosen = archive.store(protocol(i, QStringLiteral("40147"), first.addDays(i * 420 + (i % 3) * 37))).id;
    for (int i = 0; i < 12; ++i)
        archive.store(protocol(i % 4, QString::number(40200 + i * 31), first.addDays(3000 + i * 9)));

    ArchiveWindow window(&archive);
    window.resize(860, 520);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.reload();
    for (int row = 0; row < window.model->rowCount(); ++row) {
        if (window.model->idAt(row) == chosen)
            window.selectRows({row});
    }
    bool ok = true;
    const QDir check(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    window.historyButton->hide();
    QTest::qWait(50);
    if (argc > 3)
        ok &= save(&window, check.filePath(QStringLiteral("archive-window-without-history.png")));
    window.historyButton->show();
    QTest::qWait(50);
    if (argc > 3)
        ok &= save(&window, check.filePath(QStringLiteral("archive-window-history-button.png")));

    window.showHistorySelected();
    HistoryWindow *history = window.historyWindow;
    if (!history)
        return 1;
    history->resize(900, 600);
    if (!QTest::qWaitForWindowExposed(history))
        return 1;
    history->showQuantity(QStringLiteral("p0"));
    QTest::qWait(100);
    ok &= save(history, QDir(out).filePath(QStringLiteral("history-window.png")));
    history->showQuantity(QStringLiteral("resistance.2"));
    QTest::qWait(100);
    if (argc > 3)
        ok &= save(history, check.filePath(QStringLiteral("history-resistance.png")));

    // The sheet at 100 dpi.
    const double pxPerMm = 100 / 25.4;
    QImage sheet(int(210 * pxPerMm), int(297 * pxPerMm), QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
        QPainter painter(&sheet);
        painter.setRenderHint(QPainter::Antialiasing);
        history->paintSheet(painter, QPointF(0, 0), pxPerMm);
    }
    const QString sheetPath = QDir(out).filePath(QStringLiteral("history-sheet.png"));
    const bool sheetSaved = sheet.save(sheetPath);
    std::printf("%s %s\n", sheetSaved ? "wrote" : "failed", qPrintable(sheetPath));
    ok &= sheetSaved;
    if (argc > 3) {
        NamedFiles files;
        files.names = {check.filePath(QStringLiteral("history-chart.pdf")), check.filePath(QStringLiteral("history-sheet.pdf"))};
        Prompts *before = Prompts::install(&files);
        history->saveChartPdf();
        history->saveSheetPdf();
        Prompts::install(before);
    }
    if (hold > 0) {
        history->showQuantity(QStringLiteral("p0"));
        QTimer::singleShot(hold * 1000, &app, &QApplication::quit);
        app.exec();
    }
    return ok ? 0 : 1;
}
