#include "archivewindow.h"

#include "archiveexport.h"
#include "archivetransfer.h"
#include "archivelistmodel.h"
#include "archivelistsource.h"
#include "serverlistsource.h"
#include "controls.h"
#include "historywindow.h"
#include "prompts.h"
#include "protocolarchive.h"
#include "recordslocation.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QShortcut>
#include <QShowEvent>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <memory>

namespace {

const QColor MarkedRowColour(255, 220, 220);
// Where the records no archive took are proposed to be saved at close, and looked for
// when they are loaded.
const QString UnsavedFileName = QStringLiteral("протоколы-не-в-архиве.db");

QString recordTitle(const ArchiveRecord &record)
{
    return QStringLiteral("протокол №%1 от %2, ред. %3")
        .arg(record.protocolNumber, ArchiveListModel::dateText(record.moment.toMSecsSinceEpoch()))
        .arg(record.revision);
}

} // namespace

ProtocolArchive::StoreResult recordInArchive(QWidget *owner, ProtocolArchive &archive, const ArchiveRecord &record)
{
    const ProtocolArchive::StoreResult result = archive.store(record);
    if (result.report)
        Prompts::current().showMessage(owner, ProtocolArchive::Caption, result.message, PromptIcon::Warning);
    return result;
}

void offerToSaveUnsaved(QWidget *owner, ProtocolArchive &archive)
{
    while (archive.unsavedCount() > 0) {
        Prompts::current().showMessage(
            owner, ProtocolArchive::Caption,
            QStringLiteral("Не записаны в архив протоколы: %1. Они хранятся только в памяти программы и будут "
                           "потеряны при выходе. Выберите файл, в который их сохранить (отмена — не сохранять); "
                           "в архив их запишет кнопка «%2» окна «Архив протоколов».")
                .arg(archive.unsavedCount())
                .arg(archive.settings().isServer() ? QStringLiteral("Перенести на сервер")
                                                   : QStringLiteral("Загрузить из файла")),
            PromptIcon::Warning);
        FileRequest request;
        request.title = QStringLiteral("Сохранение не записанных в архив протоколов");
        request.filters = {QStringLiteral("Файлы архива (*.db)")};
        request.defaultExtension = QStringLiteral("db");
        request.proposedName = QDir(documentsDirectory()).filePath(UnsavedFileName);
        const QString path = Prompts::current().saveFileName(owner, request);
        if (path.isEmpty())
            return;
        QString error;
        if (!archive.saveUnsaved(path, &error))
            Prompts::current().showMessage(owner, ProtocolArchive::Caption, error, PromptIcon::Error);
    }
}

// ---- ArchiveCompareWindow ----

ArchiveCompareWindow::ArchiveCompareWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), title(new QLabel(this)), table(new QTableWidget(this)), legend(new QLabel(this))
{
    setObjectName(QStringLiteral("ArchiveCompareWindow"));
    setWindowTitle(QStringLiteral("Сравнение протоколов"));
    resize(1100, 620);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    title->setWordWrap(true);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({QStringLiteral("Испытание"), QStringLiteral("Величина"), QStringLiteral("Ранее"),
                                      QStringLiteral("Теперь"), QStringLiteral("Изменение, %"), QStringLiteral("Норма")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setFocusPolicy(Qt::NoFocus);
    table->horizontalHeader()->setSectionResizeMode(QuantityColumn, QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(NormColumn, QHeaderView::Stretch);
    legend->setText(QStringLiteral("Изменения сверх нормы величины выделены красным, норма названа рядом."));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(table, 1);
    layout->addWidget(legend);
}

void ArchiveCompareWindow::showComparison(const ArchiveRecord &before, const ArchiveRecord &after)
{
    title->setText(QStringLiteral("%1, заводской № %2\nРанее: %3\nТеперь: %4")
                       .arg(after.type, after.serialNumber, recordTitle(before), recordTitle(after)));
    const QList<ArchiveComparison::Row> rows = ArchiveComparison::compare(before, after);
    table->clearContents();
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const ArchiveComparison::Row &row = rows[r];
        // The test's name stands once, on the first of its rows.
        const bool firstOfSection = r == 0 || rows[r - 1].section != row.section;
        const QStringList texts = {firstOfSection ? row.section : QString(), row.quantity, row.before, row.after,
                                   ArchiveComparison::changeText(row.changePercent), row.norm};
        for (int c = 0; c < texts.size(); ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            if (c >= BeforeColumn && c != NormColumn)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == NormColumn)
                item->setToolTip(row.norm);
            if (row.marked) {
                item->setBackground(MarkedRowColour);
                if (c == ChangeColumn) {
                    item->setForeground(RedColour);
                    QFont font = item->font();
                    font.setBold(true);
                    item->setFont(font);
                }
            }
            if (c == ChangeColumn)
                item->setData(MarkedRole, row.marked);
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnToContents(SectionColumn);
    for (int c = BeforeColumn; c < NormColumn; ++c)
        table->resizeColumnToContents(c);
    legend->setVisible(true);
}

// ---- ArchiveWindow ----

ArchiveWindow::ArchiveWindow(ProtocolArchive *archive, QWidget *parent)
    : QWidget(parent, Qt::Window),
      filterEdit(new QLineEdit(this)),
      periodCheck(new QCheckBox(QStringLiteral("За период с"), this)),
      fromEdit(new QDateEdit(this)),
      toEdit(new QDateEdit(this)),
      table(new QTableView(this)),
      openButton(new QPushButton(QStringLiteral("Открыть"), this)),
      compareButton(new QPushButton(QStringLiteral("Сравнить"), this)),
      historyButton(new QPushButton(QStringLiteral("Динамика"), this)),
      judgementButton(new QPushButton(QStringLiteral("Оценка"), this)),
      attentionCheck(new QCheckBox(QStringLiteral("Только не соответствующие и требующие анализа"), this)),
      xlsxButton(new QPushButton(QStringLiteral("Выгрузить в Excel"), this)),
      csvButton(new QPushButton(QStringLiteral("Выгрузить в CSV"), this)),
      jsonButton(new QPushButton(QStringLiteral("Выгрузить в JSON"), this)),
      statusLabel(new QLabel(this)),
      loadingLabel(new QLabel(this)),
      archiveLabel(new QLabel(this)),
      moveButton(new QPushButton(QStringLiteral("Перенести на сервер"), this)),
      retryButton(new QPushButton(QStringLiteral("Отправить снова"), this)),
      model(new ArchiveListModel(this)),
      compareWindow(new ArchiveCompareWindow(this)),
      m_archive(archive)
{
    setObjectName(QStringLiteral("ArchiveWindow"));
    setWindowTitle(ProtocolArchive::Caption);
    resize(1100, 560);

    filterEdit->setObjectName(QStringLiteral("ArchiveFilter"));
    filterEdit->setPlaceholderText(QStringLiteral("Тип, заводской № или № протокола"));
    filterEdit->setClearButtonEnabled(true);
    auto *filterLabel = new QLabel(QStringLiteral("Поиск:"), this);
    filterLabel->setBuddy(filterEdit);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this, [this] {
        filterEdit->setFocus(Qt::ShortcutFocusReason);
        filterEdit->selectAll();
    });

    // The list's first days are this month's; the span applies once ticked.
    const QDate today = QDate::currentDate();
    for (QDateEdit *edit : {fromEdit, toEdit}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 36);
        edit->setEnabled(false);
    }
    fromEdit->setObjectName(QStringLiteral("ArchiveFrom"));
    toEdit->setObjectName(QStringLiteral("ArchiveTo"));
    fromEdit->setDate(QDate(today.year(), today.month(), 1));
    toEdit->setDate(today);
    auto *toLabel = new QLabel(QStringLiteral("по"), this);
    toLabel->setBuddy(toEdit);

    table->setModel(model);
    // A click on a column's head orders the list by it; the newest first to begin with.
    table->horizontalHeader()->setSortIndicator(ArchiveListModel::DateColumn, Qt::DescendingOrder);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed); // no per-row sizing of 100 000 rows
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(ArchiveListModel::DateColumn, 115);
    table->setColumnWidth(ArchiveListModel::ProtocolColumn, 85);
    table->setColumnWidth(ArchiveListModel::RevisionColumn, 70);
    table->setColumnWidth(ArchiveListModel::TypeColumn, 140);
    table->setColumnWidth(ArchiveListModel::SerialColumn, 100);
    table->setColumnWidth(ArchiveListModel::FirmColumn, 140);
    table->setColumnWidth(ArchiveListModel::VerdictColumn, 245);
    // The verdict beside the transformer it is of; the firm and the approval after it.
    table->horizontalHeader()->moveSection(ArchiveListModel::VerdictColumn, ArchiveListModel::FirmColumn);

    openButton->setToolTip(QStringLiteral("Открыть протокол в окне просмотра"));
    compareButton->setToolTip(QStringLiteral("Сравнить две записи одного трансформатора"));
    historyButton->setObjectName(QStringLiteral("ArchiveHistory"));
    historyButton->setToolTip(QStringLiteral("Графики результатов всех протоколов этого трансформатора по датам"));
    judgementButton->setObjectName(QStringLiteral("ArchiveJudgement"));
    judgementButton->setToolTip(QStringLiteral("Оценка результатов, сохранённая с протоколом, и оценка по действующим нормам"));
    attentionCheck->setObjectName(QStringLiteral("ArchiveAttention"));
    const QString exportTip = QStringLiteral("Выгрузить выбранные записи, а если ничего не выбрано, весь список");
    for (QPushButton *button : {xlsxButton, csvButton, jsonButton})
        button->setToolTip(exportTip);

    auto *top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filterEdit, 1);
    top->addSpacing(12);
    top->addWidget(periodCheck);
    top->addWidget(fromEdit);
    top->addWidget(toLabel);
    top->addWidget(toEdit);
    top->addSpacing(12);
    top->addWidget(attentionCheck);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(openButton);
    buttons->addWidget(compareButton);
    buttons->addWidget(historyButton);
    buttons->addWidget(judgementButton);
    buttons->addStretch(1);
    buttons->addWidget(xlsxButton);
    buttons->addWidget(csvButton);
    buttons->addWidget(jsonButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table, 1);
    layout->addLayout(buttons);
    layout->addWidget(statusLabel);
    archiveLabel->setObjectName(QStringLiteral("ArchiveInUse"));
    archiveLabel->setWordWrap(true);
    archiveLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    moveButton->setObjectName(QStringLiteral("MoveToServer"));
    if (m_archive->settings().isServer()) {
        moveButton->setToolTip(QStringLiteral("Скопировать на сервер архива все записи файла архива (varnek.db) "
                                              "или протоколы, сохранённые в файл при закрытии программы"));
    } else {
        moveButton->setText(QStringLiteral("Загрузить из файла"));
        moveButton->setToolTip(QStringLiteral("Записать в архив протоколы, сохранённые в файл при закрытии программы, "
                                              "или записи другого файла архива"));
    }
    retryButton->setObjectName(QStringLiteral("RetrySetAside"));
    retryButton->setToolTip(QStringLiteral("Отправить на сервер ещё раз записи, которые он не принял"));
    retryButton->hide();
    auto *archiveButtons = new QVBoxLayout;
    archiveButtons->addWidget(moveButton);
    archiveButtons->addWidget(retryButton);
    archiveButtons->addStretch(1);
    auto *archiveLine = new QHBoxLayout;
    archiveLine->addWidget(archiveLabel, 1);
    archiveLine->addLayout(archiveButtons);
    layout->addLayout(archiveLine);
    connect(moveButton, &QPushButton::clicked, this, &ArchiveWindow::moveFileToServer);
    connect(retryButton, &QPushButton::clicked, this, [this] { m_archive->retrySetAside(); });

    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        model->setFilterText(text);
        updateButtons();
    });
    connect(periodCheck, &QCheckBox::toggled, this, &ArchiveWindow::applyPeriod);
    connect(attentionCheck, &QCheckBox::toggled, this, [this](bool only) {
        model->setAttentionOnly(only);
        updateButtons();
    });
    connect(fromEdit, &QDateEdit::dateChanged, this, &ArchiveWindow::applyPeriod);
    connect(toEdit, &QDateEdit::dateChanged, this, &ArchiveWindow::applyPeriod);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ArchiveWindow::updateButtons);
    // Rows come after the list is reset (a page read, a server's answer): the export of
    // the whole list as shown is possible as soon as there is one.
    connect(model, &QAbstractItemModel::modelReset, this, &ArchiveWindow::updateButtons);
    connect(model, &QAbstractItemModel::rowsInserted, this, &ArchiveWindow::updateButtons);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &ArchiveWindow::updateButtons);
    connect(model, &ArchiveListModel::problem, this, &ArchiveWindow::showProblem);
    // A server's rows come later: a quiet note where they will appear.
    loadingLabel->setObjectName(QStringLiteral("ArchiveLoading"));
    loadingLabel->setText(QStringLiteral("загрузка…"));
    loadingLabel->setStyleSheet(QStringLiteral("color: gray; background: transparent;"));
    loadingLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    loadingLabel->hide();
    connect(model, &ArchiveListModel::loadingChanged, this, &ArchiveWindow::placeLoadingNote);
    connect(model, &ArchiveListModel::rowsArrived, this, [this] {
        m_problemShown = false;
        if (m_listFailed)
            statusLabel->setText(m_countText);
        m_listFailed = false;
        // A count lost to a failure or to a newer page is asked again.
        if (m_countText.isEmpty() && model->asyncSource())
            model->asyncSource()->askCount();
    });
    connect(table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit openRequested(model->idAt(index.row()));
    });
    // A protocol printed or a server back while the window is open shows at once.
    connect(m_archive, &ProtocolArchive::recordStored, this, [this] {
        if (isVisible())
            reload();
    });
    connect(m_archive, &ProtocolArchive::availabilityChanged, this, [this](bool available) {
        if (available && isVisible())
            reload();
    });
    connect(m_archive, &ProtocolArchive::waitingChanged, this, &ArchiveWindow::updateArchiveStatus);
    connect(openButton, &QPushButton::clicked, this, &ArchiveWindow::openSelected);
    connect(compareButton, &QPushButton::clicked, this, &ArchiveWindow::compareSelected);
    connect(historyButton, &QPushButton::clicked, this, &ArchiveWindow::showHistorySelected);
    connect(judgementButton, &QPushButton::clicked, this, [this] {
        const QList<qint64> ids = selectedIds();
        if (ids.size() == 1)
            emit judgementRequested(ids.first());
    });
    connect(xlsxButton, &QPushButton::clicked, this, [this] { exportSelected(ArchiveExport::Format::Xlsx); });
    connect(csvButton, &QPushButton::clicked, this, [this] { exportSelected(ArchiveExport::Format::Csv); });
    connect(jsonButton, &QPushButton::clicked, this, [this] { exportSelected(ArchiveExport::Format::Json); });
    updateButtons();
    updateArchiveStatus();
}

void ArchiveWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        m_countWanted = true;
        reload();
    }
}

void ArchiveWindow::reload()
{
    // A server's list is read a page at a time on a thread of its own and comes by a
    // signal, so the window never waits on the network; a file is read a page at a time
    // as scrolled.
    if (m_archive->settings().isServer()) {
        if (!model->asyncSource()) {
            auto source = std::make_unique<ServerListSource>(m_archive->settings());
            connect(source.get(), &AsyncArchiveListSource::countRead, this, [this](qint64 count) {
                m_countText = QStringLiteral("Записей в архиве: %1").arg(count);
                if (!m_listFailed)
                    statusLabel->setText(m_countText);
            });
            model->setAsyncSource(std::move(source));
        } else {
            model->reload();
        }
        // Counting a million rows takes the server most of a second: once per showing,
        // not for every protocol stored while the window is open.
        if (m_countWanted)
            model->asyncSource()->askCount();
        m_countWanted = false;
        return;
    }
    // The archive makes or migrates its database first; the list then reads it on a
    // connection of its own, a page at a time.
    if (!m_archive->open()) {
        model->setRecords({});
        showProblem(m_archive->lastError());
        return;
    }
    if (!dynamic_cast<SqlArchiveListSource *>(model->source())) {
        model->setSource(std::make_unique<SqlArchiveListSource>(m_archive->settings()));
    } else if (!model->reload()) {
        return;
    }
    const std::optional<qint64> count = model->source()->count();
    if (!count) {
        showProblem(model->source()->lastError());
        return;
    }
    m_problemShown = false;
    statusLabel->setText(QStringLiteral("Записей в архиве: %1").arg(*count));
}

void ArchiveWindow::applyPeriod()
{
    const bool on = periodCheck->isChecked();
    fromEdit->setEnabled(on);
    toEdit->setEnabled(on);
    model->setDateRange(on ? fromEdit->date() : QDate(), on ? toEdit->date() : QDate());
    updateButtons();
}

void ArchiveWindow::placeLoadingNote()
{
    if (!model->isLoading()) {
        loadingLabel->hide();
        return;
    }
    // Below the last row, or at the top of an empty list.
    QWidget *viewport = table->viewport();
    if (loadingLabel->parentWidget() != viewport)
        loadingLabel->setParent(viewport);
    const int rows = model->rowCount();
    int y = rows > 0 ? table->rowViewportPosition(rows - 1) + table->rowHeight(rows - 1) : 0;
    loadingLabel->adjustSize();
    if (y < 0 || y + loadingLabel->height() > viewport->height())
        y = viewport->height() - loadingLabel->height();
    loadingLabel->move(6, std::max(0, y));
    loadingLabel->show();
    loadingLabel->raise();
}

void ArchiveWindow::showProblem(const QString &problem)
{
    m_listFailed = m_archive->settings().isServer();
    statusLabel->setText(problem);
    if (m_problemShown)
        return;
    m_problemShown = true;
    Prompts::current().showMessage(this, ProtocolArchive::Caption, problem, PromptIcon::Warning);
}

void ArchiveWindow::message(const QString &text, bool error)
{
    Prompts::current().showMessage(this, ProtocolArchive::Caption, text,
                                   error ? PromptIcon::Error : PromptIcon::Information);
}

std::optional<ArchiveRecord> ArchiveWindow::record(qint64 id) const
{
    return m_archive->record(id);
}

QList<qint64> ArchiveWindow::selectedIds() const
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<qint64> ids;
    for (int row : rows)
        ids.append(model->idAt(row));
    return ids;
}

void ArchiveWindow::selectRows(const QList<int> &rows)
{
    QItemSelection selection;
    for (int row : rows)
        selection.select(model->index(row, 0), model->index(row, ArchiveListModel::ColumnCount - 1));
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void ArchiveWindow::updateButtons()
{
    const qsizetype chosen = table->selectionModel()->selectedRows().size();
    openButton->setEnabled(chosen == 1);
    compareButton->setEnabled(chosen == 2);
    historyButton->setEnabled(chosen == 1);
    judgementButton->setEnabled(chosen == 1);
    for (QPushButton *button : {xlsxButton, csvButton, jsonButton})
        button->setEnabled(model->rowCount() > 0);
}

void ArchiveWindow::moveFileToServer()
{
    const bool toServer = m_archive->settings().isServer();
    FileRequest request;
    request.title = toServer ? QStringLiteral("Перенос архива на сервер: файл архива")
                             : QStringLiteral("Загрузка протоколов в архив: файл");
    request.filters = {QStringLiteral("Архив протоколов (*.db)"), QStringLiteral("Все файлы (*)")};
    // A file archive takes the records saved at close; a server, first of all the bench's old file.
    request.proposedName = toServer ? recordFilePath(ArchiveSettings::DefaultFileName)
                                    : QDir(documentsDirectory()).filePath(UnsavedFileName);
    const QString path = Prompts::current().openFileName(this, request);
    if (path.isEmpty())
        return;
    // The copy waits on the server on a thread of its own; the dialog follows its count.
    struct Shared {
        std::atomic<int> done{0};
        std::atomic<int> total{0};
        std::atomic<bool> cancel{false};
        ArchiveTransferSummary summary;
    };
    auto shared = std::make_shared<Shared>();
    auto *dialog = new QProgressDialog((toServer ? QStringLiteral("Перенос записей из %1 на сервер %2…")
                                                 : QStringLiteral("Перенос записей из %1 в архив %2…"))
                                           .arg(QDir::toNativeSeparators(path), m_archive->settings().description()),
                                       QStringLiteral("Остановить"), 0, 0, this);
    dialog->setWindowTitle(ProtocolArchive::Caption);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    connect(dialog, &QProgressDialog::canceled, this, [shared] { shared->cancel = true; });
    auto *ticker = new QTimer(dialog);
    connect(ticker, &QTimer::timeout, dialog, [dialog, shared] {
        dialog->setMaximum(shared->total);
        dialog->setValue(shared->done);
    });
    ticker->start(100);
    const ArchiveSettings server = m_archive->settings();
    QThread *thread = QThread::create([shared, path, server] {
        shared->summary = copyArchiveFile(path, server, [shared](int done, int total) {
            shared->done = done;
            shared->total = total;
            return !shared->cancel;
        });
    });
    connect(thread, &QThread::finished, this, [this, thread, dialog, shared] {
        thread->deleteLater();
        dialog->close();
        dialog->deleteLater();
        moveButton->setEnabled(true);
        m_archive->listMayHaveChanged();
        m_countWanted = true;
        if (isVisible())
            reload();
        const ArchiveTransferSummary &summary = shared->summary;
        const QString text = summary.text();
        message(text, !summary.problem.isEmpty() || summary.refused > 0);
        emit transferFinished(text);
    });
    moveButton->setEnabled(false);
    dialog->show();
    thread->start();
}

void ArchiveWindow::updateArchiveStatus()
{
    const ArchiveSettings &settings = m_archive->settings();
    QStringList lines;
    lines << (settings.isServer() ? QStringLiteral("Архив: сервер %1") : QStringLiteral("Архив: файл %1"))
                 .arg(settings.description());
    if (m_archive->waitingCount() > 0)
        lines << QStringLiteral("Ожидают отправки на сервер: %1").arg(m_archive->waitingCount());
    if (!m_archive->waitingProblem().isEmpty())
        lines << QStringLiteral("Не отправлены: %1").arg(m_archive->waitingProblem());
    // A few of the refused records by name, with what the server said.
    const QList<OutboxSetAside> &aside = m_archive->setAsideRecords();
    if (!aside.isEmpty())
        lines << QStringLiteral("Не приняты сервером, отложены: %1").arg(aside.size());
    constexpr int Named = 3;
    for (qsizetype i = 0; i < aside.size() && i < Named; ++i) {
        QString reason = aside[i].problem.simplified();
        if (reason.size() > 160)
            reason = reason.left(159) + QChar(u'…');
        lines << QStringLiteral("  протокол №%1, зав. № %2 — %3")
                     .arg(aside[i].protocolNumber.left(40), aside[i].serialNumber.left(40), reason);
    }
    if (aside.size() > Named)
        lines << QStringLiteral("  и ещё %1").arg(aside.size() - Named);
    retryButton->setVisible(!aside.isEmpty());
    if (m_archive->unsavedCount() > 0)
        lines << QStringLiteral("Не записаны, хранятся в памяти программы: %1").arg(m_archive->unsavedCount());
    archiveLabel->setText(lines.join(u'\n'));
}

void ArchiveWindow::openSelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.size() == 1)
        emit openRequested(ids.first());
}

void ArchiveWindow::compareSelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.size() != 2)
        return;
    std::optional<ArchiveRecord> first = m_archive->record(ids[0]);
    std::optional<ArchiveRecord> second = m_archive->record(ids[1]);
    if (!first || !second) {
        showProblem(m_archive->lastError().isEmpty() ? QStringLiteral("Запись не найдена в архиве.")
                                                     : m_archive->lastError());
        return;
    }
    if (first->serialNumber.trimmed() != second->serialNumber.trimmed()) {
        message(QStringLiteral("Сравнивать можно только записи одного трансформатора: заводские номера "
                               "\"%1\" и \"%2\" различаются.")
                    .arg(first->serialNumber, second->serialNumber),
                false);
        return;
    }
    if (first->moment > second->moment || (first->moment == second->moment && first->id > second->id))
        std::swap(first, second);
    compareWindow->showComparison(*first, *second);
    compareWindow->show();
    compareWindow->raise();
}

void ArchiveWindow::showHistorySelected()
{
    const QList<qint64> ids = selectedIds();
    if (ids.size() != 1)
        return;
    if (!historyWindow) {
        historyWindow = new HistoryWindow(m_archive, this);
        connect(historyWindow, &HistoryWindow::openRequested, this, &ArchiveWindow::openRequested);
    }
    if (!historyWindow->showFor(ids.first()))
        return;
    historyWindow->show();
    historyWindow->raise();
}

QString ArchiveWindow::exportFolder() const
{
    if (!m_exportFolder.isEmpty() && QFileInfo(m_exportFolder).isDir())
        return m_exportFolder;
    // A system without a Documents folder still names one; a dialog proposing it fails.
    const QString documents = documentsDirectory();
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString ArchiveWindow::proposedExportName(ArchiveExport::Format format, const QList<qint64> &ids) const
{
    QString name;
    const QString today = QDate::currentDate().toString(QStringLiteral("dd.MM.yyyy"));
    std::optional<ArchiveRecord> one = ids.size() == 1 ? m_archive->record(ids.first()) : std::nullopt;
    if (one) {
        name = QStringLiteral("Протокол №%1, зав. №%2, ред. %3 от %4")
                   .arg(one->protocolNumber, one->serialNumber)
                   .arg(one->revision)
                   .arg(one->moment.toLocalTime().toString(QStringLiteral("dd.MM.yyyy")));
    } else if (!ids.isEmpty()) {
        name = QStringLiteral("Протоколы, %1 шт., выгружено %2").arg(ids.size()).arg(today);
    } else {
        name = QStringLiteral("Архив протоколов");
        if (!model->filterText().isEmpty())
            name += QStringLiteral(", ") + model->filterText();
        if (periodCheck->isChecked())
            name += QStringLiteral(", %1–%2").arg(fromEdit->date().toString(QStringLiteral("dd.MM.yyyy")),
                                                  toEdit->date().toString(QStringLiteral("dd.MM.yyyy")));
        name += QStringLiteral(", выгружено ") + today;
    }
    // Characters no file name may hold on either system become "_".
    for (QChar &c : name) {
        if (QStringLiteral("/\\:*?\"<>|").contains(c) || c.unicode() < 0x20)
            c = u'_';
    }
    return QDir(exportFolder()).filePath(name.simplified() + u'.' + ArchiveExport::extension(format));
}

void ArchiveWindow::exportSelected(ArchiveExport::Format format)
{
    QList<qint64> ids = selectedIds();
    const bool wholeList = ids.isEmpty();
    if (wholeList && model->rowCount() == 0)
        return;
    FileRequest request;
    switch (format) {
    case ArchiveExport::Format::Xlsx: request.title = QStringLiteral("Выгрузка протоколов в Excel"); break;
    case ArchiveExport::Format::Csv: request.title = QStringLiteral("Выгрузка протоколов в CSV"); break;
    case ArchiveExport::Format::Json: request.title = QStringLiteral("Выгрузка протоколов в JSON"); break;
    }
    request.filters = {ArchiveExport::fileFilter(format)};
    request.defaultExtension = ArchiveExport::extension(format);
    request.proposedName = proposedExportName(format, ids);
    const QString path = askSaveFileName(this, request, ProtocolArchive::Caption);
    if (path.isEmpty())
        return;
    m_exportFolder = QFileInfo(path).absolutePath();

    if (wholeList) {
        std::optional<QList<qint64>> all = model->allIds();
        if (!all) {
            showProblem(model->lastProblem());
            return;
        }
        ids = std::move(*all);
    }
    ArchiveExport::Writer writer(format);
    QString problem;
    bool readFailed = false;
    bool cancelled = false;
    if (ids.size() > writer.capacity()) {
        message(QStringLiteral("В одном файле Excel помещается не больше %1 записей, выбрано %2. "
                               "Сузьте список поиском или периодом.")
                    .arg(writer.capacity())
                    .arg(ids.size()),
                true);
        return;
    }
    // One record at a time: memory stays flat however many go out.
    QProgressDialog progress(QStringLiteral("Выгрузка протоколов…"), QStringLiteral("Отмена"), 0, int(ids.size()), this);
    progress.setWindowTitle(ProtocolArchive::Caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QElapsedTimer sinceUpdate;
    sinceUpdate.start();
    const bool ok = writer.write(path, ids.size(), [&](qsizetype i) -> std::optional<ArchiveRecord> {
        if (sinceUpdate.elapsed() >= 50) {
            progress.setValue(int(i)); // lets the cancel button work
            sinceUpdate.restart();
        }
        if (progress.wasCanceled()) {
            cancelled = true;
            return std::nullopt;
        }
        std::optional<ArchiveRecord> one = m_archive->record(ids[i]);
        if (!one) {
            problem = m_archive->lastError().isEmpty() ? QStringLiteral("Запись не найдена в архиве.")
                                                       : m_archive->lastError();
            readFailed = true;
        }
        return one;
    });
    progress.close();
    if (cancelled) {
        statusLabel->setText(QStringLiteral("Выгрузка отменена, файл %1 не записан").arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (readFailed) {
        showProblem(problem);
        return;
    }
    if (!ok) {
        message(writer.errorString(), true);
        return;
    }
    statusLabel->setText(QStringLiteral("Выгружено записей: %1 в файл %2")
                             .arg(ids.size())
                             .arg(QDir::toNativeSeparators(path)));
}
