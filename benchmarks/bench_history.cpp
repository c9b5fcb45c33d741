// "Динамика" of a transformer with 200 protocols in an archive of 2 200: from the click on
// the button to the history window painted, and from choosing a chart of 12 series (three
// phases' lines, points, baselines and norm bands) to it painted. Median of 5 runs.
// Prints "name value" lines for benchmarks/run.sh; never part of ctest.

#include "archivewindow.h"
#include "archivelistmodel.h"
#include "declaredstore.h"
#include "historywindow.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int Runs = 5;
constexpr int OwnRecords = 200;
constexpr int OtherRecords = 2000;

ArchiveRecord protocol(int i, const QString &serial, QRandomGenerator &random)
{
    ArchiveRecord r;
    r.protocolNumber = QString::number(1000 + i);
    r.serialNumber = serial;
    r.type = QStringLiteral("ТМ-630/10");
    r.firm = QStringLiteral("ООО \"Энергоремонт\"");
    r.moment = QDateTime(QDate(2010, 1, 1), QTime(9, 0), Qt::UTC).addDays(i * 20);
    r.fields.insert(QStringLiteral("QRUnom"), QStringLiteral("10000 В / 400 В"));
    r.fields.insert(QStringLiteral("QRElectricStrength"), QStringLiteral("Электрическая прочность 52"));
    auto &v = r.results;
    const auto jitter = [&](double x) { return x * (1 + (random.generateDouble() - 0.5) * 0.02); };
    v[QStringLiteral("Temperature")] = QString::number(15 + random.bounded(20));
    v[QStringLiteral("Ixx01")] = QString::number(jitter(1.8), 'f', 3);
    v[QStringLiteral("Pxx00")] = QString::number(jitter(1240), 'f', 1);
    v[QStringLiteral("Pkz12")] = QString::number(jitter(7600), 'f', 1);
    v[QStringLiteral("Ukz112")] = QString::number(jitter(5.5), 'f', 2);
    for (int tap = 0; tap < 5; ++tap) {
        for (int row = 0; row < 3; ++row) {
            v[StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row)] = QString::number(jitter(26.25 - tap * 0.63), 'f', 3);
            v[StateFile::gridKey(StateFile::ResistenceGrid, tap, row)] = QString::number(jitter(0.34), 'f', 4);
        }
    }
    v[QStringLiteral("RHigh15")] = QString::number(jitter(1500), 'f', 0);
    v[QStringLiteral("RHigh60")] = QString::number(jitter(2100), 'f', 0);
    // The sheets as a protocol stores them, about 40 KB each.
    QByteArray sheet(40 * 1024, '\0');
    for (char &c : sheet)
        c = char(random.bounded(256));
    r.sheet1 = sheet;
    r.sheet2 = sheet;
    return r;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void out(const char *name, const QString &value)
{
    std::printf("%s %s\n", name, value.toUtf8().constData());
    std::fflush(stdout);
}

// Until everything posted has run and the window has painted.
void settle(QWidget *w)
{
    QCoreApplication::sendPostedEvents();
    w->repaint();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());
    ProtocolArchive archive(ArchiveSettings::sqliteDefault());
    QRandomGenerator random(24);
    qint64 ownId = 0;
    for (int i = 0; i < OwnRecords + OtherRecords; ++i) {
        const bool own = i % 11 == 0 && i / 11 < OwnRecords;
        const ProtocolArchive::StoreResult stored =
            archive.store(protocol(i, own ? QStringLiteral("40147") : QString::number(50000 + i), random));
        if (!stored.ok()) {
            out("error", stored.message);
            return 1;
        }
        if (own)
            ownId = stored.id;
    }
    // Factory resistances of tap III: each phase gets a band of its own.
    SerialDeclared factory;
    for (int row = 0; row < 3; ++row)
        factory.resistance[2][row] = 0.34 - row * 0.001;
    factory.resistanceTemperature = 20;
    DeclaredStore::saveSerial(QStringLiteral("40147"), factory);

    ArchiveWindow window(&archive);
    window.resize(860, 560);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    window.reload();
    int row = -1;
    for (int r = 0; r < window.model->rowCount() && row < 0; ++r) {
        if (window.model->idAt(r) == ownId)
            row = r;
    }

    QList<double> opened, switched;
    int seriesCount = 0, points = 0;
    for (int run = 0; run < Runs; ++run) {
        delete window.historyWindow;
        window.historyWindow = nullptr;
        window.selectRows({row});
        QElapsedTimer timer;
        timer.start();
        QTest::mouseClick(window.historyButton, Qt::LeftButton);
        HistoryWindow *history = window.historyWindow;
        if (!history) {
            out("error", QStringLiteral("the history window did not open"));
            return 1;
        }
        settle(history);
        opened.append(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        history->showQuantity(QStringLiteral("resistance.2"));
        settle(history);
        switched.append(double(timer.nsecsElapsed()) / 1e6);
        seriesCount = int(history->plot().chart->series().size());
        points = int(history->chart().records.size());
    }
    out("records", QString::number(points));
    out("series", QString::number(seriesCount));
    out("opened_ms", QString::number(median(opened), 'f', 1));
    out("opened_max_ms", QString::number(*std::max_element(opened.cbegin(), opened.cend()), 'f', 1));
    out("switched_ms", QString::number(median(switched), 'f', 1));
    out("switched_max_ms", QString::number(*std::max_element(switched.cbegin(), switched.cend()), 'f', 1));
    return 0;
}
