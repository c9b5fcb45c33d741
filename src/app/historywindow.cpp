#include "historywindow.h"

#include "cataloguefile.h"
#include "declaredstore.h"
#include "prompts.h"
#include "protocolarchive.h"
#include "recordslocation.h"
#include "sheet.h"
#include "sheetprinting.h"
#include "sheetrenderer.h"
#include "units.h"

#include "ui_historywindow.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QScatterSeries>
#include <QToolTip>
#include <QValueAxis>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QColor LineColours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44)};
const QColor BandColour(60, 170, 80);
constexpr double DayMs = 24.0 * 3600 * 1000;

QString valueText(double v)
{
    return QString::number(v, 'g', 6);
}

QString dateText(const QDateTime &moment)
{
    return moment.toLocalTime().toString(u"dd.MM.yyyy"_s);
}

// A band shaded in the colour of its line where the lines have bands of their own.
QColor bandColour(const QColor &line, bool own)
{
    QColor c = own ? line : BandColour;
    c.setAlpha(own ? 40 : 55);
    return c;
}

QString fileSafe(QString name)
{
    for (QChar &c : name) {
        if (u"/\\:*?\"<>|"_s.contains(c) || c.unicode() < 0x20)
            c = u'_';
    }
    return name.simplified();
}

} // namespace

// ---- HistoryPlot ----

HistoryPlot HistoryPlot::make(const HistorySeries::Chart &chart, const QList<std::optional<NormBand>> &lineBands,
                              bool forPaper)
{
    HistoryPlot plot;
    plot.chart = new QChart;
    QChart *c = plot.chart;
    c->setTitle(chart.title);
    c->legend()->setAlignment(Qt::AlignBottom);
    if (forPaper) {
        c->setBackgroundRoundness(0);
        c->setMargins(QMargins(2, 2, 2, 2));
        QFont titleFont = c->titleFont();
        titleFont.setBold(true);
        c->setTitleFont(titleFont);
    }

    auto *x = new QDateTimeAxis;
    x->setFormat(u"dd.MM.yyyy"_s);
    x->setTitleText(u"Дата протокола"_s);
    auto *y = new QValueAxis;
    y->setTitleText(chart.axisTitle);
    y->setLabelFormat(u"%.4g"_s);
    c->addAxis(x, Qt::AlignBottom);
    c->addAxis(y, Qt::AlignLeft);

    // The axes' spans: every point, baseline and closed side of a band, with a margin.
    double x0 = 0, x1 = 0;
    if (!chart.records.isEmpty()) {
        x0 = double(chart.records.first().moment.toMSecsSinceEpoch());
        x1 = double(chart.records.last().moment.toMSecsSinceEpoch());
    }
    // Protocols of one day still get a span of days to stand in.
    const double xPad = std::max((x1 - x0) * 0.04, x1 - x0 < DayMs ? 15 * DayMs : 0.0);
    x0 -= xPad;
    x1 += xPad;
    double y0 = 0, y1 = 1;
    bool anyY = false;
    const auto take = [&](double v) {
        y0 = anyY ? std::min(y0, v) : v;
        y1 = anyY ? std::max(y1, v) : v;
        anyY = true;
    };
    if (const auto range = chart.valueRange()) {
        take(range->first);
        take(range->second);
    }
    QList<NormBand> distinct;
    QList<int> bandLine;
    for (int i = 0; i < lineBands.size(); ++i) {
        if (!lineBands[i] || distinct.contains(*lineBands[i]))
            continue;
        distinct.append(*lineBands[i]);
        bandLine.append(i);
        if (lineBands[i]->lower)
            take(*lineBands[i]->lower);
        if (lineBands[i]->upper)
            take(*lineBands[i]->upper);
    }
    const double span = y1 - y0;
    const double yPad = span > 0 ? span * 0.08 : std::max(std::fabs(y0) * 0.05, 1e-3);
    y0 -= yPad;
    y1 += yPad;
    x->setRange(QDateTime::fromMSecsSinceEpoch(qint64(x0)), QDateTime::fromMSecsSinceEpoch(qint64(x1)));
    x->setTickCount(chart.records.size() > 1 ? 6 : 3);
    // Over years the day of a tick says nothing.
    if (x1 - x0 > 540 * DayMs)
        x->setFormat(u"MM.yyyy"_s);
    y->setRange(y0, y1);
    y->applyNiceNumbers();
    y0 = y->min();
    y1 = y->max();

    const auto attach = [&](QAbstractSeries *s, bool inLegend) {
        c->addSeries(s);
        s->attachAxis(x);
        s->attachAxis(y);
        if (!inLegend) {
            for (QLegendMarker *m : c->legend()->markers(s))
                m->setVisible(false);
        }
    };

    // The bands lie under the lines.
    const bool ownBands = distinct.size() > 1;
    for (int b = 0; b < distinct.size(); ++b) {
        const NormBand &band = distinct[b];
        auto *upper = new QLineSeries;
        auto *lower = new QLineSeries;
        upper->append(x0, band.upper.value_or(y1));
        upper->append(x1, band.upper.value_or(y1));
        lower->append(x0, band.lower.value_or(y0));
        lower->append(x1, band.lower.value_or(y0));
        auto *area = new QAreaSeries(upper, lower);
        // The area does not own its edges; they go with it.
        upper->setParent(area);
        lower->setParent(area);
        const QColor lineColour = LineColours[bandLine[b] % 3];
        area->setName(ownBands ? u"норма "_s + chart.lines[bandLine[b]].name : u"норма"_s);
        area->setBrush(bandColour(lineColour, ownBands));
        QPen edge(ownBands ? lineColour : BandColour.darker(130));
        edge.setWidthF(0.8);
        edge.setStyle(Qt::DotLine);
        area->setPen(edge);
        attach(area, true);
        plot.bands.append(area);
        plot.bandTexts.append((ownBands ? chart.lines[bandLine[b]].name + u": "_s : QString()) + band.text
                              + (band.source.isEmpty() ? QString() : u" ("_s + band.source + u')'));
    }

    for (int i = 0; i < chart.lines.size(); ++i) {
        const HistorySeries::Line &line = chart.lines[i];
        const QColor colour = LineColours[i % 3];
        QList<QLineSeries *> pieces;
        QLineSeries *piece = nullptr;
        auto *points = new QScatterSeries;
        points->setName(line.name);
        points->setColor(colour);
        points->setBorderColor(colour.darker(130));
        points->setMarkerSize(forPaper ? 6 : 9);
        QList<int> recordOf;
        for (int r = 0; r < line.values.size(); ++r) {
            const std::optional<double> v = line.values[r];
            if (!v) {
                piece = nullptr; // a gap
                continue;
            }
            const double t = double(chart.records[r].moment.toMSecsSinceEpoch());
            if (!piece) {
                piece = new QLineSeries;
                piece->setName(line.name);
                QPen pen(colour);
                pen.setWidthF(forPaper ? 1.2 : 2.0);
                piece->setPen(pen);
                pieces.append(piece);
            }
            piece->append(t, *v);
            points->append(t, *v);
            recordOf.append(r);
        }
        for (int p = 0; p < pieces.size(); ++p)
            attach(pieces[p], p == 0);
        QLineSeries *baseline = nullptr;
        if (const std::optional<double> b = line.baseline()) {
            baseline = new QLineSeries;
            baseline->setName(u"база "_s + line.name);
            QPen pen(colour.lighter(120));
            pen.setStyle(Qt::DashLine);
            pen.setWidthF(1.0);
            baseline->setPen(pen);
            baseline->append(x0, *b);
            baseline->append(x1, *b);
            attach(baseline, false);
        }
        attach(points, false);
        plot.pieces.append(pieces);
        plot.points.append(points);
        plot.recordOf.append(recordOf);
        plot.baselines.append(baseline);
    }
    return plot;
}

// ---- HistoryWindow ----

HistoryWindow::HistoryWindow(ProtocolArchive *archive, QWidget *parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::HistoryWindow>()), m_archive(archive)
{
    ui->setupUi(this);
    ui->HistoryChart->setRenderHint(QPainter::Antialiasing);

    connect(ui->HistoryQuantity, &QComboBox::currentIndexChanged, this, [this] { rebuild(); });
    if (m_archive) {
        connect(m_archive, &ProtocolArchive::recordStored, this, [this] {
            if (isVisible() && m_shownId != 0)
                showFor(m_shownId);
        });
    }
    connect(ui->HistoryPng, &QPushButton::clicked, this, &HistoryWindow::saveChartImage);
    connect(ui->HistoryPdf, &QPushButton::clicked, this, &HistoryWindow::saveChartPdf);
    connect(ui->HistorySheetPrint, &QPushButton::clicked, this, &HistoryWindow::printSheet);
    connect(ui->HistorySheetPdf, &QPushButton::clicked, this, &HistoryWindow::saveSheetPdf);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::message(const QString &text, bool error)
{
    Prompts::current().showMessage(this, Caption, text, error ? PromptIcon::Error : PromptIcon::Information);
}

bool HistoryWindow::showFor(qint64 id)
{
    const auto unreadable = [this] {
        message(m_archive->lastError().isEmpty() ? u"Запись не найдена в архиве."_s : m_archive->lastError(), true);
        return false;
    };
    const std::optional<ArchiveRecord> chosen = m_archive->record(id);
    if (!chosen)
        return unreadable();
    const QString serial = chosen->serialNumber.trimmed();
    if (serial.isEmpty()) {
        message(u"У записи нет заводского номера: динамику строят по протоколам одного трансформатора."_s, false);
        return false;
    }
    std::optional<QList<ArchiveSummary>> all = m_archive->summariesOfSerial(serial);
    if (!all)
        return unreadable();
    // A server's list read aside may not hold the record yet; the chosen one is shown all the same.
    if (std::none_of(all->cbegin(), all->cend(), [id](const ArchiveSummary &s) { return s.id == id; }))
        all->append({id, chosen->revision, chosen->moment.toMSecsSinceEpoch(), chosen->protocolNumber, chosen->type,
                     chosen->serialNumber, chosen->firm});
    QList<ArchiveRecord> records;
    for (const ArchiveSummary &s : HistorySeries::summariesOf(*all, serial)) {
        std::optional<ArchiveRecord> one = s.id == id ? chosen : m_archive->record(s.id);
        if (!one)
            return unreadable();
        // The sheets are not drawn here; a history of years stays small in memory.
        one->sheet1.clear();
        one->sheet2.clear();
        records.append(std::move(*one));
    }

    HistoryContext context;
    context.norms = loadNorms().table;
    TransformerType type;
    if (CatalogueFile::loadType(chosen->type, type) && type.material >= 0)
        context.options.materialConstant = type.material == 1 ? HistorySeries::AluminiumConstant
                                                              : HistorySeries::CopperConstant;
    context.bands.type = DeclaredStore::loadType(chosen->type);
    context.bands.serial = DeclaredStore::loadSerial(serial);
    showHistory(serial, records, context);
    m_shownId = id;
    return true;
}

void HistoryWindow::showHistory(const QString &serialNumber, const QList<ArchiveRecord> &records,
                                HistoryContext context)
{
    m_serial = serialNumber.trimmed();
    m_records = HistorySeries::recordsOf(records, m_serial);
    m_context = std::move(context);
    m_context.bands.materialConstant = m_context.options.materialConstant.value_or(HistorySeries::CopperConstant);
    m_context.bands.referenceTemperature = HistorySeries::ReferenceTemperature;

    const QString previous = ui->HistoryQuantity->currentData().toString();
    const QSignalBlocker blocker(ui->HistoryQuantity);
    ui->HistoryQuantity->clear();
    for (const HistorySeries::Quantity &q : HistorySeries::quantitiesWithData(m_records, m_serial, m_context.options))
        ui->HistoryQuantity->addItem(q.title, q.id);
    const int again = ui->HistoryQuantity->findData(previous);
    ui->HistoryQuantity->setCurrentIndex(again >= 0 ? again : 0);

    QString head = (m_records.isEmpty() ? QString() : m_records.last().type + u", "_s) + u"заводской № "_s + m_serial;
    if (!m_records.isEmpty())
        head += u"\nПротоколов: "_s + QString::number(m_records.size()) + u", с "_s
            + dateText(m_records.first().moment) + u" по "_s + dateText(m_records.last().moment);
    ui->HistoryTitle->setText(head);
    setWindowTitle(Caption + u" — заводской № "_s + m_serial);
    const bool any = ui->HistoryQuantity->count() > 0;
    for (QWidget *w : {static_cast<QWidget *>(ui->HistoryQuantity), static_cast<QWidget *>(ui->HistoryPng),
                       static_cast<QWidget *>(ui->HistoryPdf), static_cast<QWidget *>(ui->HistorySheetPrint),
                       static_cast<QWidget *>(ui->HistorySheetPdf)})
        w->setEnabled(any);
    rebuild();
}

bool HistoryWindow::showQuantity(const QString &quantityId)
{
    const int index = ui->HistoryQuantity->findData(quantityId);
    if (index < 0)
        return false;
    if (index == ui->HistoryQuantity->currentIndex())
        rebuild();
    else
        ui->HistoryQuantity->setCurrentIndex(index);
    return true;
}

QList<std::optional<NormBand>> HistoryWindow::bandsOf(const HistorySeries::Chart &chart) const
{
    BandInputs inputs = m_context.bands;
    inputs.highVoltage = chart.highVoltage;
    QList<std::optional<NormBand>> bands;
    for (const HistorySeries::Line &line : chart.lines)
        bands.append(normBand(line.normId, line.tap, line.row, m_context.norms, inputs));
    return bands;
}

void HistoryWindow::rebuild()
{
    const QString id = ui->HistoryQuantity->currentData().toString();
    m_chart = HistorySeries::build(id, m_records, m_serial, m_context.options);
    QChart *old = ui->HistoryChart->chart();
    m_plot = HistoryPlot::make(m_chart, bandsOf(m_chart));
    ui->HistoryChart->setChart(m_plot.chart);
    delete old;
    if (id.isEmpty())
        m_plot.chart->setTitle(u"В протоколах этого трансформатора нет чисел для графика"_s);

    for (int line = 0; line < m_plot.points.size(); ++line) {
        QScatterSeries *points = m_plot.points[line];
        const auto recordAt = [this, line, points](const QPointF &p) {
            // The record whose point lies nearest on the screen: two of one day stand apart by value.
            const QPointF at = m_plot.chart->mapToPosition(p, points);
            int best = -1;
            double nearest = 0;
            for (int r : m_plot.recordOf[line]) {
                const QPointF value(double(m_chart.records[r].moment.toMSecsSinceEpoch()), *m_chart.lines[line].values[r]);
                const double d = QLineF(at, m_plot.chart->mapToPosition(value, points)).length();
                if (best < 0 || d < nearest) {
                    best = r;
                    nearest = d;
                }
            }
            return best;
        };
        connect(points, &QScatterSeries::hovered, this, [this, line, recordAt](const QPointF &p, bool state) {
            if (!state) {
                QToolTip::hideText();
                return;
            }
            const int r = recordAt(p);
            if (r >= 0)
                QToolTip::showText(QCursor::pos(), pointText(line, r), ui->HistoryChart);
        });
        connect(points, &QScatterSeries::clicked, this, [this, recordAt](const QPointF &p) {
            const int r = recordAt(p);
            if (r >= 0)
                emit openRequested(m_chart.records[r].id);
        });
    }

    QStringList lines = m_plot.bandTexts;
    for (QString &t : lines)
        t.prepend(u"Норма: "_s);
    if (std::any_of(m_plot.baselines.cbegin(), m_plot.baselines.cend(), [](auto *b) { return b != nullptr; }))
        lines.append(u"Пунктир — значение первого протокола (база). Щелчок по точке открывает её протокол."_s);
    ui->HistoryNote->setText(lines.join(u'\n'));
}

QString HistoryWindow::pointText(int line, int recordIndex) const
{
    if (line < 0 || line >= m_chart.lines.size() || recordIndex < 0 || recordIndex >= m_chart.records.size())
        return QString();
    const HistorySeries::Line &l = m_chart.lines[line];
    const std::optional<double> v = l.values.value(recordIndex);
    if (!v)
        return QString();
    const HistorySeries::RecordMark &mark = m_chart.records[recordIndex];
    QString text = (m_chart.lines.size() > 1 ? l.name + u": "_s : QString()) + valueText(*v)
        + (m_chart.unit.isEmpty() ? QString() : u' ' + m_chart.unit);
    const std::optional<double> base = l.baseline();
    if (base && *base != 0 && l.values.indexOf(base) != recordIndex) {
        const double change = (*v - *base) / std::fabs(*base) * 100;
        text += u" ("_s + (change >= 0 ? u"+"_s : QString()) + QString::number(change, 'f', 1) + u" % от базы)"_s;
    }
    text += u"\n"_s + dateText(mark.moment) + u"\nпротокол № "_s + mark.protocolNumber;
    if (mark.revision > 1)
        text += u", ред. "_s + QString::number(mark.revision);
    return text;
}

QPoint HistoryWindow::viewportPosition(int line, int recordIndex) const
{
    const std::optional<double> v = m_chart.lines.value(line).values.value(recordIndex);
    if (!v || !m_plot.chart)
        return {};
    const QPointF value(double(m_chart.records[recordIndex].moment.toMSecsSinceEpoch()), *v);
    const QPointF inChart = m_plot.chart->mapToPosition(value, m_plot.points[line]);
    return ui->HistoryChart->mapFromScene(m_plot.chart->mapToScene(inChart));
}

void HistoryWindow::renderChart(QPainter &painter, const QRectF &target, const HistorySeries::Chart &chart) const
{
    // A chart of its own in a scene of its own, laid out at a size whose text reads well on
    // paper, then scaled into the target: lines and text stay vectors in a PDF.
    HistoryPlot plot = HistoryPlot::make(chart, bandsOf(chart), true);
    QGraphicsScene scene;
    scene.addItem(plot.chart);
    const double width = 500;
    const QSizeF size(width, width * target.height() / target.width());
    plot.chart->setGeometry(QRectF(QPointF(0, 0), size));
    plot.chart->setAnimationOptions(QChart::NoAnimation);
    scene.setSceneRect(QRectF(QPointF(0, 0), size));
    scene.render(&painter, target, scene.sceneRect());
}

QString HistoryWindow::proposedName(const QString &what, const QString &extension) const
{
    const QString documents = documentsDirectory();
    const QString folder = !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
    return QDir(folder).filePath(fileSafe(what + u", зав. №"_s + m_serial) + u'.' + extension);
}

QString HistoryWindow::askPath(const QString &title, const QString &filter, const QString &extension,
                               const QString &name)
{
    FileRequest request;
    request.title = title;
    request.filters = {filter};
    request.defaultExtension = extension;
    request.proposedName = name;
    return askSaveFileName(this, request, Caption);
}

void HistoryWindow::saveChartImage()
{
    if (m_chart.lines.isEmpty())
        return;
    const QString path = askPath(u"График в PNG"_s, u"Рисунок PNG (*.png)"_s, u"png"_s,
                                 proposedName(m_chart.title, u"png"_s));
    if (path.isEmpty())
        return;
    QImage image(1600, 1000, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderChart(painter, QRectF(image.rect()), m_chart);
    }
    if (!image.save(path, "PNG"))
        message(u"График не записан: "_s + QDir::toNativeSeparators(path), true);
}

void HistoryWindow::saveChartPdf()
{
    if (m_chart.lines.isEmpty())
        return;
    const QString path = askPath(u"График в PDF"_s, u"PDF (*.pdf)"_s, u"pdf"_s, proposedName(m_chart.title, u"pdf"_s));
    if (path.isEmpty())
        return;
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Landscape);
    pdf.setResolution(300);
    pdf.setTitle(m_chart.title);
    pdf.setCreator(QStringLiteral("Varnek"));
    QPainter painter;
    if (!painter.begin(&pdf)) {
        message(u"График не записан: "_s + QDir::toNativeSeparators(path), true);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));
    const double pxPerMm = Units::devicePerMm(pdf.resolution());
    QFont font(u"Liberation Sans"_s);
    font.setPointSizeF(11);
    painter.setFont(font);
    const QRectF head(page.left(), page.top(), page.width(), 12 * pxPerMm);
    painter.drawText(head, Qt::AlignLeft | Qt::AlignTop, ui->HistoryTitle->text());
    renderChart(painter, page.adjusted(0, 14 * pxPerMm, 0, 0), m_chart);
    painter.end();
}

Sheet HistoryWindow::sheetTexts() const
{
    Sheet sheet;
    const auto text = [&](const QRectF &rect, double points, bool bold, bool centred, const QStringList &lines) {
        SheetTextOp op;
        op.rectMm = rect;
        op.clipMm = rect;
        op.family = u"Liberation Sans"_s;
        op.pointSize = points;
        op.bold = bold;
        op.centred = centred;
        op.lineHeightMm = Units::pointsToMm(points) * 1.25;
        op.lines = lines;
        sheet.texts.append(op);
    };
    text(QRectF(15, 12, 180, 9), 16, true, true, {u"История испытаний"_s});
    QStringList head;
    const QString type = m_records.isEmpty() ? QString() : m_records.last().type;
    head.append(u"Трансформатор "_s + type + u", заводской № "_s + m_serial);
    if (!m_records.isEmpty()) {
        QStringList protocols;
        for (const ArchiveRecord &r : m_records)
            protocols.append(r.protocolNumber);
        head.append(u"Протоколов: "_s + QString::number(m_records.size()) + u", с "_s + dateText(m_records.first().moment)
                    + u" по "_s + dateText(m_records.last().moment));
        const QString firm = m_records.last().firm.simplified();
        if (!firm.isEmpty())
            head.append(u"Заказчик: "_s + firm);
    }
    text(QRectF(15, 23, 180, 16), 10, false, true, head);
    text(QRectF(15, 279, 180, 10), 8, false, false,
         {u"Пунктир — значение первого протокола (база); заливка — область нормы, где норма применима."_s,
          u"Сопротивления обмоток приведены к "_s + QString::number(HistorySeries::ReferenceTemperature)
              + u" °C. Составлено "_s + QDate::currentDate().toString(u"dd.MM.yyyy"_s) + u'.'});
    return sheet;
}

QList<QRectF> HistoryWindow::sheetChartRectsMm() const
{
    const QStringList ids = HistorySeries::sheetQuantities(m_records, m_serial, m_context.options);
    QList<QRectF> rects;
    const double left = 15, top = 42, width = 88, gap = 4, height = 76;
    for (int i = 0; i < ids.size(); ++i)
        rects.append(QRectF(left + (i % 2) * (width + gap), top + (i / 2) * (height + gap), width, height));
    return rects;
}

void HistoryWindow::paintSheet(QPainter &painter, QPointF originPx, double pxPerMm) const
{
    SheetRenderer::render(painter, sheetTexts(), originPx, pxPerMm);
    paintCharts(painter, originPx, pxPerMm);
}

void HistoryWindow::paintCharts(QPainter &painter, QPointF originPx, double pxPerMm) const
{
    const QStringList ids = HistorySeries::sheetQuantities(m_records, m_serial, m_context.options);
    const QList<QRectF> rects = sheetChartRectsMm();
    for (int i = 0; i < ids.size(); ++i) {
        const QRectF mm = rects[i];
        const QRectF target(originPx + mm.topLeft() * pxPerMm, mm.size() * pxPerMm);
        renderChart(painter, target, HistorySeries::build(ids[i], m_records, m_serial, m_context.options));
    }
}

// A job made afresh, on the sheet's A4 and one-sided, named after the transformer.
void HistoryWindow::printSheet()
{
    if (m_records.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    if (!Prompts::current().setUpPrinter(this, &printer))
        return;
    printer.setDocName(u"История испытаний, зав. №"_s + m_serial);
    const bool printed = SheetPrinting::print({sheetTexts()}, printer, nullptr,
                                              [this](QPainter &painter, qsizetype, QPointF origin, double pxPerMm) {
                                                  painter.setRenderHint(QPainter::Antialiasing);
                                                  paintCharts(painter, origin, pxPerMm);
                                              });
    if (!printed)
        message(u"История испытаний не напечатана: принтер не принял задание."_s, true);
}

void HistoryWindow::saveSheetPdf()
{
    if (m_records.isEmpty())
        return;
    const QString path = askPath(u"История испытаний в PDF"_s, u"PDF (*.pdf)"_s, u"pdf"_s,
                                 proposedName(u"История испытаний"_s, u"pdf"_s));
    if (path.isEmpty())
        return;
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageOrientation(QPageLayout::Portrait);
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(300);
    pdf.setTitle(u"История испытаний, зав. №"_s + m_serial);
    QPainter painter;
    if (!painter.begin(&pdf)) {
        message(u"История испытаний не записана: "_s + QDir::toNativeSeparators(path), true);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    paintSheet(painter, QPointF(0, 0), Units::devicePerMm(pdf.resolution()));
    painter.end();
}
