// Renders the archive window and a comparison on sample data for the README:
// archive_screenshots <output folder>. Not a test; built on request only.

#include "archivewindow.h"
#include "archivelistmodel.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

namespace {

ArchiveRecord protocol(const QString &number, const QString &serial, const QString &type, const QDateTime &moment,
                       double losses, double current, double resistance, double imbalance, double insulation)
{
    ArchiveRecord record;
    record.protocolNumber = number;
    record.serialNumber = serial;
    record.type = type;
    record.firm = QStringLiteral("ООО \"Энергоремонт\"");
    record.moment = moment;
    record.fields.insert(QStringLiteral("QRCircuit"), QStringLiteral("U / Uo - 0"));
    auto &r = record.results;
    r[QStringLiteral("Ixx00")] = QString::number(current, 'f', 3);
    r[QStringLiteral("Ixx01")] = QString::number(current / 36.4 * 100, 'f', 2);
    r[QStringLiteral("Pxx00")] = QString::number(losses, 'f', 1);
    r[QStringLiteral("Ukz101")] = QStringLiteral("218.4");
    r[QStringLiteral("Ukz111")] = QStringLiteral("5.46");
    r[QStringLiteral("Pkz11")] = QString::number(losses * 6.1, 'f', 1);
    for (int tap = 0; tap < 3; ++tap) {
        for (int row = 0; row < 3; ++row) {
            r[StateFile::gridKey(StateFile::TransformGrid, 2 * tap + 1, row)] =
                QString::number(26.25 - tap * 0.63 + row * 0.01, 'f', 2);
            r[StateFile::gridKey(StateFile::ResistenceGrid, tap, row)] =
                QString::number(resistance * (1.0 - tap * 0.025) * (1.0 + row * imbalance / 200.0), 'f', 4).replace(u'.', u',');
        }
        r[StateFile::gridKey(StateFile::ResistenceGrid, tap, 3)] = QString::number(imbalance, 'f', 2).replace(u'.', u',');
    }
    r[QStringLiteral("RHigh15")] = QString::number(insulation, 'f', 0);
    r[QStringLiteral("RHigh60")] = QString::number(insulation * 1.4, 'f', 0);
    r[QStringLiteral("KabsHigh")] = QStringLiteral(" 1.40");
    return record;
}

// A judgement of `checks` rows, `failing` of them not conforming and `analysis` wanting analysis.
ArchiveJudgement judgement(int failing, int analysis)
{
    ArchiveJudgement j;
    j.judged = true;
    for (int i = 0; i < 12; ++i) {
        JudgedCheck c;
        c.id = QStringLiteral("check.%1").arg(i);
        c.verdict = i < failing ? StoredVerdict::Fails
            : i < failing + analysis ? StoredVerdict::NeedsAnalysis
                                     : StoredVerdict::Complies;
        j.rows.append(c);
    }
    j.programVersion = QStringLiteral("1.0.0");
    return j;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());
    ProtocolArchive archive(ArchiveSettings::sqliteDefault());

    const QDateTime day(QDate(2026, 11, 2), QTime(9, 40));
    const QStringList types = {"ТМ-630/10", "ТМГ-100/10", "ТМГ-250/6", "ТМ-1000/10", "ТМН-2500/35"};
    for (int i = 0; i < 14; ++i) {
        ArchiveRecord record = protocol(QString::number(210 + i), QString::number(40110 + i * 37), types[i % types.size()],
                                        day.addDays(i * 2).addSecs(i * 1700), 1180 + i * 20, 0.48 + i * 0.01, 0.34, 1.1, 1500);
        // The oldest were stored before judgements were kept.
        if (i >= 3)
            record.judgement = judgement(i % 5 == 0 ? 1 : 0, i % 4 == 1 ? 2 : 0);
        const auto stored = archive.store(record);
        if (i >= 3 && i % 3 == 0)
            archive.approve(stored.id, QStringLiteral("Петров П.П."), record.moment.addSecs(5400).toMSecsSinceEpoch());
    }
    const auto before = archive.store(protocol("118", "40147", "ТМ-630/10", QDateTime(QDate(2024, 5, 14), QTime(10, 5)),
                                               1240.5, 0.512, 0.3412, 1.20, 1800));
    const auto after = archive.store(protocol("236", "40147", "ТМ-630/10", day.addDays(30).addSecs(3600),
                                              1302.0, 0.518, 0.3436, 3.10, 1200));

    ArchiveWindow window(&archive);
    window.resize(1100, 520);
    window.show();
    QList<int> rows;
    for (int row = 0; row < window.model->rowCount(); ++row) {
        const qint64 id = window.model->idAt(row);
        if (id == before.id || id == after.id)
            rows.append(row);
    }
    window.selectRows(rows);
    QApplication::processEvents();
    window.grab().save(QDir(out).filePath(QStringLiteral("archive-window.png")));

    // The verdicts: the whole list, then only what wants attention.
    window.selectRows({});
    QApplication::processEvents();
    window.grab().save(QDir(out).filePath(QStringLiteral("archive-verdicts.png")));
    window.selectRows(rows);
    QApplication::processEvents();

    window.compareSelected();
    window.compareWindow->resize(760, 720);
    QApplication::processEvents();
    window.compareWindow->grab().save(QDir(out).filePath(QStringLiteral("archive-compare.png")));
    std::printf("written to %s\n", qPrintable(out));
    setRecordsDirectoryForTests(QString());
    return 0;
}
