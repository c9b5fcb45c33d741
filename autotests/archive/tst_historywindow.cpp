#include "archivefixture.h"
#include "archivelistmodel.h"
#include "archivewindow.h"
#include "historywindow.h"
#include "namedchild.h"
#include "protocolarchive.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "sheet.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QPushButton>
#include <QScatterSeries>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A protocol of `serial` on day `day` of 2024 with the given results.
ArchiveRecord dated(const QString &protocol, const QString &serial, int day, const QMap<QString, QString> &results)
{
    ArchiveRecord record = sampleRecord(protocol, serial);
    record.moment = QDateTime(QDate(2024, 1, 1).addDays(day), QTime(10, 0), Qt::UTC);
    record.results = results;
    return record;
}

QList<QPointF> pointsOf(const QList<QLineSeries *> &pieces)
{
    QList<QPointF> all;
    for (QLineSeries *piece : pieces)
        all += piece->points();
    return all;
}

double msecs(int day)
{
    return double(QDateTime(QDate(2024, 1, 1).addDays(day), QTime(10, 0), Qt::UTC).toMSecsSinceEpoch());
}

// The text of a PDF as pdftotext reads it, blanks simplified; empty without the tool.
QString pdfText(const QString &path)
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        return QString();
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).simplified();
}

// Near enough to `colour` for an antialiased marker's middle.
bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 60;
}

} // namespace

class tst_HistoryWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProtocolArchive> m_archive;
    std::unique_ptr<ArchiveWindow> m_window;
    QList<qint64> m_ids; // of the protocols 10, 11, 12 of serial 4411

    int rowOf(qint64 id) const
    {
        for (int row = 0; row < m_window->model->rowCount(); ++row) {
            if (m_window->model->idAt(row) == id)
                return row;
        }
        return -1;
    }

    // Chooses the record as the operator does and clicks "Динамика".
    HistoryWindow *openHistory(qint64 id)
    {
        m_window->selectRows({rowOf(id)});
        if (!m_window->historyButton->isEnabled())
            return nullptr;
        QTest::mouseClick(m_window->historyButton, Qt::LeftButton);
        return m_window->historyWindow;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        setRecordsDirectoryForTests(m_dir->path());
        m_archive = std::make_unique<ProtocolArchive>(ArchiveSettings::sqliteDefault());
        m_ids.clear();
        // Out of date order, with a gap in P0 and another transformer between them.
        for (const ArchiveRecord &r : {dated("12", "4411", 200, {{"Pxx00", "1100"}, {"Ixx01", "2.1"}}),
                                       dated("10", "4411", 10, {{"Pxx00", "1000"}, {"Ixx01", "2.0"}}),
                                       dated("11", "4411", 100, {{"Ixx01", "2.05"}})}) {
            const ProtocolArchive::StoreResult stored = m_archive->store(r);
            QVERIFY(stored.ok());
            m_ids.append(stored.id);
        }
        QVERIFY(m_archive->store(dated("90", "5500", 50, {{"Pxx00", "9000"}})).ok());
        std::swap(m_ids[0], m_ids[1]);
        std::swap(m_ids[1], m_ids[2]);
        m_window = std::make_unique<ArchiveWindow>(m_archive.get());
        m_window->resize(820, 560);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup()
    {
        m_window.reset();
        m_archive.reset();
        setRecordsDirectoryForTests(QString());
    }

    void historyNeedsOneChosenRecord()
    {
        m_window->selectRows({});
        QVERIFY(!m_window->historyButton->isEnabled());
        m_window->selectRows({0, 1});
        QVERIFY(!m_window->historyButton->isEnabled());
        m_window->selectRows({0});
        QVERIFY(m_window->historyButton->isEnabled());
    }

    void chartShowsTheTransformersRecordsInDateOrderWithGaps()
    {
        HistoryWindow *history = openHistory(m_ids[1]);
        QVERIFY(history);
        QVERIFY(history->isVisible());
        QVERIFY(history->windowTitle().contains(u"4411"));
        QVERIFY(history->showQuantity(QStringLiteral("p0")));
        QVERIFY(!history->showQuantity(QStringLiteral("pk75"))); // no record holds it
        QCOMPARE(history->chart().records.size(), 3);
        QCOMPARE(history->chart().records[0].id, m_ids[0]);
        QCOMPARE(history->chart().records[2].id, m_ids[2]);
        // The gap of protocol 11 splits the line; protocol 90 of another transformer is not there.
        const HistoryPlot &plot = history->plot();
        QCOMPARE(plot.pieces.size(), 1);
        QCOMPARE(plot.pieces[0].size(), 2);
        QCOMPARE(pointsOf(plot.pieces[0]), (QList<QPointF>{{msecs(10), 1000}, {msecs(200), 1100}}));
        QCOMPARE(plot.points[0]->points(), (QList<QPointF>{{msecs(10), 1000}, {msecs(200), 1100}}));
        QCOMPARE(plot.baselines[0]->points().first().y(), 1000.0);
        QCOMPARE(plot.baselines[0]->points().last().y(), 1000.0);
    }

    void protocolStoredWhileOpenJoinsTheChart()
    {
        HistoryWindow *history = openHistory(m_ids[0]);
        QVERIFY(history);
        QVERIFY(m_archive->store(dated("13", "4411", 300, {{"Pxx00", "1150"}})).ok());
        QVERIFY(m_archive->store(dated("91", "5500", 310, {{"Pxx00", "9100"}})).ok());
        QVERIFY(history->showQuantity(QStringLiteral("p0")));
        QCOMPARE(history->chart().records.size(), 4);
        QCOMPARE(history->chart().lines.first().values.last(), std::optional<double>(1150));
    }

    void renderedChartHasItsPointsWhereTheAxesPutThem()
    {
        HistoryWindow *history = openHistory(m_ids[0]);
        QVERIFY(history);
        QVERIFY(QTest::qWaitForWindowExposed(history));
        QVERIFY(history->showQuantity(QStringLiteral("i0.percent")));
        QTest::qWait(50);
        const QImage image = namedChild<QChartView>(history, QStringLiteral("HistoryChart"))->viewport()->grab().toImage();
        const QColor line = history->plot().points[0]->color();
        const qreal ratio = image.devicePixelRatio();
        for (int r = 0; r < 3; ++r) {
            const QPoint at = history->viewportPosition(0, r) * ratio;
            QVERIFY2(image.rect().contains(at), qPrintable(QString::number(r)));
            QVERIFY2(near(image.pixelColor(at), line),
                     qPrintable(QStringLiteral("record %1: %2").arg(r).arg(image.pixelColor(at).name())));
        }
        // Higher current, higher on the screen.
        QVERIFY(history->viewportPosition(0, 2).y() < history->viewportPosition(0, 0).y());
    }

    void pointTellsValueDateAndProtocolAndOpensItWhenClicked()
    {
        HistoryWindow *history = openHistory(m_ids[2]);
        QVERIFY(history);
        QVERIFY(QTest::qWaitForWindowExposed(history));
        QVERIFY(history->showQuantity(QStringLiteral("p0")));
        QCOMPARE(history->pointText(0, 2), QStringLiteral("1100 Вт (+10.0 % от базы)\n%1\nпротокол № 12")
                                               .arg(history->chart().records[2].moment.toLocalTime().toString("dd.MM.yyyy")));
        QCOMPARE(history->pointText(0, 1), QString()); // the gap
        QSignalSpy opened(m_window.get(), &ArchiveWindow::openRequested);
        QTest::mouseClick(namedChild<QChartView>(history, QStringLiteral("HistoryChart"))->viewport(), Qt::LeftButton, {}, history->viewportPosition(0, 2));
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toLongLong(), m_ids[2]);
    }

    void normBandIsShadedWhereTheNormApplies()
    {
        HistoryWindow history(m_archive.get());
        HistoryContext context;
        context.bands.type.p0 = 1000;
        history.showHistory(QStringLiteral("4411"),
                            {dated("1", "4411", 1, {{"Pxx00", "1000"}, {"Ixx00", "0.5"}}),
                             dated("2", "4411", 2, {{"Pxx00", "1200"}, {"Ixx00", "0.6"}})},
                            context);
        QVERIFY(history.showQuantity(QStringLiteral("p0")));
        QCOMPARE(history.plot().bands.size(), 1);
        const QAreaSeries *band = history.plot().bands.first();
        QCOMPARE(band->upperSeries()->points().first().y(), 1150.0);
        QVERIFY(namedChild<QLabel>(&history, QStringLiteral("HistoryNote"))->text().contains(u"не более +15 % от паспортного P0 1000"));
        QVERIFY(history.showQuantity(QStringLiteral("i0")));
        QCOMPARE(history.plot().bands.size(), 0); // no norm for the current in amperes
    }

    void chartAndSheetGoOutAsFilesAfterAskingToReplace()
    {
        HistoryWindow *history = openHistory(m_ids[0]);
        QVERIFY(history);
        RecordingPrompts prompts;
        const QString png = m_dir->filePath(QStringLiteral("chart.png"));
        const QString pdf = m_dir->filePath(QStringLiteral("chart.pdf"));
        const QString sheet = m_dir->filePath(QStringLiteral("sheet.pdf"));
        prompts.fileAnswers = {png, pdf, sheet};
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistoryPng")), Qt::LeftButton);
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistoryPdf")), Qt::LeftButton);
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistorySheetPdf")), Qt::LeftButton);
        QVERIFY(prompts.questions.isEmpty());
        QVERIFY(prompts.messages.isEmpty());
        QImage image(png);
        QCOMPARE(image.size(), QSize(1600, 1000));
        for (const QString &path : {pdf, sheet}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QVERIFY(file.read(5) == "%PDF-");
        }
        QVERIFY(prompts.fileDialogs.last().request.proposedName.endsWith(u"История испытаний, зав. №4411.pdf"));

        // An existing file stays when the operator says "Нет".
        const QByteArray before = [&] { QFile f(png); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        prompts.fileAnswers = {png};
        prompts.yesNoAnswers = {false};
        QVERIFY(history->showQuantity(QStringLiteral("p0")));
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistoryPng")), Qt::LeftButton);
        QCOMPARE(prompts.questions.size(), 1);
        QVERIFY(prompts.questions.first().text.contains(u"уже существует"));
        QFile again(png);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QCOMPARE(again.readAll(), before);
    }

    void sheetHoldsTheMainChartsOnOneA4Page()
    {
        HistoryWindow *history = openHistory(m_ids[0]);
        QVERIFY(history);
        const QList<QRectF> rects = history->sheetChartRectsMm();
        QCOMPARE(rects.size(), 2); // P0 and I0 %: what these records hold
        for (const QRectF &r : rects)
            QVERIFY(QRectF(0, 0, 210, 297).contains(r));
        QCOMPARE(history->sheetTexts().texts.first().lines, QStringList{QStringLiteral("История испытаний")});
        // Drawn at 1 px/mm, each chart's place is inked.
        QImage page(210, 297, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            history->paintSheet(painter, QPointF(0, 0), 1.0);
        }
        for (const QRectF &r : rects) {
            const QImage part = page.copy(r.toRect());
            int inked = 0;
            for (int y = 0; y < part.height(); ++y)
                for (int x = 0; x < part.width(); ++x)
                    inked += part.pixelColor(x, y) != Qt::white;
            QVERIFY2(inked > part.width() * part.height() / 50, qPrintable(QString::number(inked)));
        }
    }

    void sheetPrintsItsChartsOnA4PortraitAfterThePrinterIsChosen()
    {
        HistoryWindow *history = openHistory(m_ids[0]);
        QVERIFY(history);
        RecordingPrompts prompts;
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistorySheetPrint")), Qt::LeftButton);
        QCOMPARE(prompts.printSetups, 1);
        QVERIFY(prompts.messages.isEmpty());

        // The operator's landscape does not turn the A4 portrait sheet.
        const QString path = m_dir->filePath(QStringLiteral("printed.pdf"));
        prompts.onPrinterSetUp = [&](QPrinter *printer) {
            printer->setOutputFileName(path);
            printer->setPageOrientation(QPageLayout::Landscape);
            return true;
        };
        QTest::mouseClick(namedChild<QPushButton>(history, QStringLiteral("HistorySheetPrint")), Qt::LeftButton);
        QVERIFY(prompts.messages.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF-"));
        QVERIFY2(pdf.contains("/MediaBox [0 0 595"), pdf.mid(pdf.indexOf("/MediaBox"), 40).constData());
        // The charts are drawn over the sheet's texts.
        const QString text = pdfText(path);
        if (text.isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        for (const char *expected : {"История испытаний", "заводской № 4411", "Потери холостого хода", "Ток холостого хода, %"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), qPrintable(text));
    }
};

QTEST_MAIN(tst_HistoryWindow)
#include "tst_historywindow.moc"
