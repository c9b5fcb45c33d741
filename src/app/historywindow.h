#pragma once

#include "historybands.h"
#include "historyseries.h"
#include "norms.h"

#include <QList>
#include <QWidget>
#include <memory>
#include <optional>

class ProtocolArchive;
class QAreaSeries;
class QChart;
class QLineSeries;
class QPainter;
class QScatterSeries;
struct Sheet;

namespace Ui {
class HistoryWindow;
}

// What the bands of a transformer's charts are drawn from.
struct HistoryContext {
    HistorySeries::Options options;
    BandInputs bands; // its material constant and high voltage are set from the records
    NormsTable norms = NormsTable::shipped();
};

// One chart of the history as Qt Charts draws it: per line, its pieces between gaps, its
// points (which record each stands for), its baseline; the norm bands, one per distinct band.
struct HistoryPlot {
    QChart *chart = nullptr; // owned by whoever shows or renders it
    QList<QList<QLineSeries *>> pieces;
    QList<QScatterSeries *> points;
    QList<QList<int>> recordOf; // [line][point] -> index in the chart's records
    QList<QLineSeries *> baselines;
    QList<QAreaSeries *> bands;
    QStringList bandTexts; // the band's norm and source, one per band

    static HistoryPlot make(const HistorySeries::Chart &chart, const QList<std::optional<NormBand>> &lineBands,
                            bool forPaper = false);
};

// "Динамика": the history of one transformer (serial number) as charts of any recorded
// quantity over the dates of its protocols, with the norm's band where one applies and the
// first protocol's value as a dashed baseline. A point tells its value, date and protocol
// number when the mouse rests on it and opens its protocol when clicked (openRequested, as
// the archive window's "Открыть"). The chart goes out as PNG or PDF, and a one-page sheet
// "История испытаний" with the main charts prints or goes to PDF. Every message and file
// dialog goes through Prompts.
class HistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit HistoryWindow(ProtocolArchive *archive, QWidget *parent = nullptr);
    ~HistoryWindow() override;

    // Reads every protocol of the serial number of record `id` from the archive and shows
    // them, again whenever a protocol is stored while the window is open; false (after a
    // message) when the archive cannot give them.
    bool showFor(qint64 id);
    // Shows `records` (of any transformers) for `serialNumber`; for tests and benchmarks.
    void showHistory(const QString &serialNumber, const QList<ArchiveRecord> &records, HistoryContext context);
    // Chooses the quantity as the chooser does; false for one not in the chooser.
    bool showQuantity(const QString &quantityId);

    const HistorySeries::Chart &chart() const { return m_chart; }
    const HistoryPlot &plot() const { return m_plot; }
    // What a point's tooltip says.
    QString pointText(int line, int recordIndex) const;
    // Where a point of the chart lies in the chart view's viewport.
    QPoint viewportPosition(int line, int recordIndex) const;

    void saveChartImage(); // PNG
    void saveChartPdf();
    void printSheet();
    void saveSheetPdf();

    // The sheet "История испытаний": its texts for the report engine, and the places of
    // its charts in millimetres (one per sheetQuantities()).
    Sheet sheetTexts() const;
    QList<QRectF> sheetChartRectsMm() const;
    // The whole sheet on `painter`; the paper's top-left corner at `originPx`.
    void paintSheet(QPainter &painter, QPointF originPx, double pxPerMm) const;
    // The file name proposed for the chart or the sheet, with its extension.
    QString proposedName(const QString &what, const QString &extension) const;

    static inline const QString Caption = QStringLiteral("Динамика");

signals:
    void openRequested(qint64 id);

private:
    void rebuild();
    QList<std::optional<NormBand>> bandsOf(const HistorySeries::Chart &chart) const;
    void paintCharts(QPainter &painter, QPointF originPx, double pxPerMm) const;
    void renderChart(QPainter &painter, const QRectF &target, const HistorySeries::Chart &chart) const;
    QString askPath(const QString &title, const QString &filter, const QString &extension, const QString &name);
    void message(const QString &text, bool error);

    std::unique_ptr<Ui::HistoryWindow> ui;
    ProtocolArchive *m_archive;
    qint64 m_shownId = 0; // the record whose transformer is shown, read again when a protocol is stored
    QString m_serial;
    QList<ArchiveRecord> m_records;
    HistoryContext m_context;
    HistorySeries::Chart m_chart;
    HistoryPlot m_plot;
};
