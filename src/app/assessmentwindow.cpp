#include "assessmentwindow.h"

#include "assessmentsheet.h"
#include "bencherror.h"
#include "pagedocument.h"
#include "sheetoutput.h"
#include "sheetrenderer.h"
#include "sheetstore.h"
#include "sheetview.h"
#include "units.h"
#include "declaredstore.h"
#include "errorreport.h"
#include "prompts.h"
#include "protocolfields.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString Caption = u"Оценка результатов"_s;
// The sizes the windows are drawn for: within a 1366 × 768 screen with a taskbar and a title bar.
constexpr QSize WindowSize(1260, 680);
constexpr QSize PreviewSize(1000, 680);
// What a window manager adds around a window: its title bar and borders.
constexpr QSize FrameAllowance(16, 40);
const QStringList ProtectionItems = {u"не указано"_s, u"герметичное"_s, u"негерметичное"_s};
const QString TapNames[ResistanceTaps] = {u"I"_s, u"II"_s, u"III"_s, u"IV"_s, u"V"_s, u"НН"_s};
// How often a shown window looks at the main window's results.
constexpr int FollowIntervalMs = 400;

QLineEdit *numberEdit(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaximumWidth(90);
    return e;
}

QTableWidget *valueGrid(QWidget *parent, const QString &name, const QStringList &rows, const QStringList &columns)
{
    auto *t = new QTableWidget(int(rows.size()), int(columns.size()), parent);
    t->setObjectName(name);
    t->setVerticalHeaderLabels(rows);
    t->setHorizontalHeaderLabels(columns);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->verticalHeader()->setDefaultSectionSize(22);
    for (int r = 0; r < t->rowCount(); ++r)
        for (int c = 0; c < t->columnCount(); ++c)
            t->setItem(r, c, new QTableWidgetItem);
    t->setFixedHeight(24 + 22 * int(rows.size()));
    return t;
}

void setNumber(QLineEdit *e, const std::optional<double> &v)
{
    e->setText(DeclaredStore::declaredText(v));
}

void setNumber(QTableWidgetItem *item, const std::optional<double> &v)
{
    item->setText(DeclaredStore::declaredText(v));
}

// `wanted`, or on a smaller screen its free area less the window's frame.
QSize fittedSize(const QWidget *window, QSize wanted)
{
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? wanted.boundedTo(screen->availableGeometry().size() - FrameAllowance) : wanted;
}

// The items of OilProtection in its order: Unknown, Sealed, Open.
QComboBox *protectionCombo(QWidget *parent, const QString &name, const QString &unknown)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems(ProtectionItems);
    c->setItemText(0, unknown);
    return c;
}

} // namespace

QColor AssessmentWindow::verdictColour(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complies:
        return QColor(0xc6, 0xef, 0xc6);
    case Verdict::Fails:
        return QColor(0xf6, 0xc0, 0xc0);
    case Verdict::NeedsAnalysis:
        return QColor(0xff, 0xe2, 0x9a);
    case Verdict::NotAssessed:
        break;
    }
    return QColor(0xe6, 0xe6, 0xe6);
}

AssessmentWindow::AssessmentWindow(AssessmentSources sources, QWidget *parent)
    : QWidget(parent, Qt::Window), m_sources(std::move(sources)), m_follow(new QTimer(this))
{
    setObjectName(u"AssessmentWindow"_s);
    setWindowTitle(Caption);
    resize(fittedSize(this, WindowSize));

    title = new QLabel(this);
    title->setObjectName(u"title"_s);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    normsLine = new QLabel(this);
    normsLine->setObjectName(u"normsLine"_s);
    normsLine->setWordWrap(true);
    normsCopyButton = new QPushButton(u"Копия норм для правки"_s, this);
    normsCopyButton->setObjectName(u"normsCopyButton"_s);

    table = new QTableWidget(0, ColumnCount, this);
    table->setObjectName(u"table"_s);
    table->setHorizontalHeaderLabels({u"Проверка"_s, u"Измерено"_s, u"Сравнивается с"_s, u"Норма"_s,
                                      u"Отклонение"_s, u"Заключение"_s, u"Примечание"_s, u"Источник"_s,
                                      u"Отметка нормы"_s});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setWordWrap(true);
    table->verticalHeader()->hide();
    const int widths[ColumnCount] = {185, 130, 150, 165, 85, 175, 120, 125, 85};
    for (int c = 0; c < ColumnCount; ++c)
        table->setColumnWidth(c, widths[c]);
    table->horizontalHeader()->setStretchLastSection(true);
    summary = new QLabel(this);
    summary->setObjectName(u"summary"_s);
    summary->setWordWrap(true);

    auto *overrideRow = new QHBoxLayout;
    overrideVerdict = new QComboBox(this);
    overrideVerdict->setObjectName(u"overrideVerdict"_s);
    for (Verdict v : {Verdict::Complies, Verdict::Fails, Verdict::NeedsAnalysis, Verdict::NotAssessed})
        overrideVerdict->addItem(verdictText(v), int(v));
    overrideReason = new QLineEdit(this);
    overrideReason->setObjectName(u"overrideReason"_s);
    overrideReason->setPlaceholderText(u"причина решения"_s);
    overrideButton = new QPushButton(u"Решение инженера"_s, this);
    overrideButton->setObjectName(u"overrideButton"_s);
    removeOverrideButton = new QPushButton(u"Снять решение"_s, this);
    removeOverrideButton->setObjectName(u"removeOverrideButton"_s);
    overrideRow->addWidget(new QLabel(u"Выбранная строка:"_s, this));
    overrideRow->addWidget(overrideVerdict);
    overrideRow->addWidget(overrideReason, 1);
    overrideRow->addWidget(overrideButton);
    overrideRow->addWidget(removeOverrideButton);

    declaredTabs = new QTabWidget(this);
    declaredTabs->setObjectName(u"declaredTabs"_s);
    auto *typePage = new QWidget;
    auto *typeForm = new QFormLayout(typePage);
    typeForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    p0Edit = numberEdit(typePage, u"p0Edit"_s);
    pkEdit = numberEdit(typePage, u"pkEdit"_s);
    i0Edit = numberEdit(typePage, u"i0Edit"_s);
    ukEdit = numberEdit(typePage, u"ukEdit"_s);
    tapStepEdit = numberEdit(typePage, u"tapStepEdit"_s);
    typeForm->addRow(u"Потери холостого хода P0, Вт"_s, p0Edit);
    typeForm->addRow(u"Потери короткого замыкания Pк при 75 °C, Вт"_s, pkEdit);
    typeForm->addRow(u"Ток холостого хода I0, %"_s, i0Edit);
    typeForm->addRow(u"Напряжение короткого замыкания uk, %"_s, ukEdit);
    typeForm->addRow(u"Шаг регулирования между положениями, %"_s, tapStepEdit);
    oilProtectionCombo = protectionCombo(typePage, u"oilProtectionCombo"_s, ProtectionItems[0]);
    typeForm->addRow(u"Защита масла"_s, oilProtectionCombo);
    declaredTabs->addTab(typePage, u"Паспорт типа"_s);

    auto *serialPage = new QWidget;
    auto *serialGrid = new QGridLayout(serialPage);
    QStringList taps;
    for (const QString &t : TapNames)
        taps.append(t);
    resistanceTable = valueGrid(serialPage, u"resistanceTable"_s, taps, {u"AB"_s, u"CA"_s, u"BC"_s});
    ratioTable = valueGrid(serialPage, u"ratioTable"_s, taps.mid(0, RatioTaps), {u"AB"_s, u"BC"_s, u"CA"_s});
    resistanceTemperatureEdit = numberEdit(serialPage, u"resistanceTemperatureEdit"_s);
    r60TemperatureEdit = numberEdit(serialPage, u"r60TemperatureEdit"_s);
    serialGrid->addWidget(new QLabel(u"Сопротивление обмоток, Ом"_s), 0, 0);
    serialGrid->addWidget(resistanceTable, 1, 0, 3, 1);
    serialGrid->addWidget(new QLabel(u"Коэффициент трансформации"_s), 0, 1);
    serialGrid->addWidget(ratioTable, 1, 1, 3, 1);
    auto *insulation = new QFormLayout;
    const QString gaps[InsulationGaps] = {u"R60 ВН-К, МОм"_s, u"R60 НН-К, МОм"_s, u"R60 ВН-НН, МОм"_s};
    insulation->addRow(u"Температура, °C (R)"_s, resistanceTemperatureEdit);
    for (int g = 0; g < InsulationGaps; ++g) {
        r60Edits[g] = numberEdit(serialPage, u"r60Edit"_s + QString::number(g));
        insulation->addRow(gaps[g], r60Edits[g]);
    }
    insulation->addRow(u"Температура, °C (R60)"_s, r60TemperatureEdit);
    serialGrid->addWidget(new QLabel(u"Заводские температуры и изоляция"_s), 0, 2);
    serialGrid->addLayout(insulation, 1, 2);
    declaredTabs->addTab(serialPage, u"Заводские данные"_s);

    auto *testPage = new QWidget;
    auto *testForm = new QFormLayout(testPage);
    testForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    insulationTemperatureEdit = numberEdit(testPage, u"insulationTemperatureEdit"_s);
    oilCombo = new QComboBox(testPage);
    oilCombo->setObjectName(u"oilCombo"_s);
    oilCombo->addItems({u"не указано"_s, u"до заливки"_s, u"в эксплуатации"_s});
    testForm->addRow(u"Температура при измерении изоляции, °C"_s, insulationTemperatureEdit);
    testForm->addRow(u"Состояние масла"_s, oilCombo);
    testProtectionCombo = protectionCombo(testPage, u"testProtectionCombo"_s, u"как у типа"_s);
    testForm->addRow(u"Защита масла этого трансформатора"_s, testProtectionCombo);
    declaredTabs->addTab(testPage, u"Это испытание"_s);

    normsTable = new QTableWidget(0, 5, this);
    normsTable->setObjectName(u"normsTable"_s);
    normsTable->setHorizontalHeaderLabels({u"Величина"_s, u"Норма"_s, u"Условие"_s, u"Источник"_s, u"Отметка"_s});
    normsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    normsTable->setWordWrap(true);
    normsTable->verticalHeader()->hide();
    const int normWidths[] = {260, 320, 360, 200, 90};
    for (int c = 0; c < 5; ++c)
        normsTable->setColumnWidth(c, normWidths[c]);
    declaredTabs->addTab(normsTable, u"Нормы"_s);

    saveButton = new QPushButton(u"Сохранить данные"_s, this);
    saveButton->setObjectName(u"saveButton"_s);
    inputProblems = new QLabel(this);
    inputProblems->setObjectName(u"inputProblems"_s);
    inputProblems->setWordWrap(true);

    approvalLabel = new QLabel(this);
    approvalLabel->setObjectName(u"approvalLabel"_s);
    approvalLabel->setWordWrap(true);
    approverEdit = new QLineEdit(this);
    approverEdit->setObjectName(u"approverEdit"_s);
    approverEdit->setPlaceholderText(u"кто утверждает"_s);
    approverEdit->setMaximumWidth(180);
    approveButton = new QPushButton(u"Утвердить"_s, this);
    approveButton->setObjectName(u"approveButton"_s);
    approveButton->setToolTip(u"Утвердить протокол в архиве: последнюю сохранённую редакцию с этой оценкой"_s);
    withdrawReasonEdit = new QLineEdit(this);
    withdrawReasonEdit->setObjectName(u"withdrawReasonEdit"_s);
    withdrawReasonEdit->setPlaceholderText(u"причина снятия утверждения"_s);
    withdrawButton = new QPushButton(u"Снять утверждение"_s, this);
    withdrawButton->setObjectName(u"withdrawButton"_s);
    auto *approvalRow = new QHBoxLayout;
    approvalRow->addWidget(approvalLabel, 1);
    approvalRow->addWidget(approverEdit);
    approvalRow->addWidget(approveButton);
    approvalRow->addWidget(withdrawReasonEdit);
    approvalRow->addWidget(withdrawButton);

    auto *top = new QHBoxLayout;
    top->addWidget(normsLine, 1);
    top->addWidget(normsCopyButton);
    previewButton = new QPushButton(u"Лист оценки"_s, this);
    previewButton->setObjectName(u"previewButton"_s);
    printButton = new QPushButton(u"Печать листа"_s, this);
    printButton->setObjectName(u"printButton"_s);
    pdfButton = new QPushButton(u"Лист в PDF"_s, this);
    pdfButton->setObjectName(u"pdfButton"_s);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(inputProblems, 1);
    bottom->addWidget(previewButton);
    bottom->addWidget(printButton);
    bottom->addWidget(pdfButton);
    bottom->addWidget(saveButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(top);
    // The verdicts above, the declared values below: on a small screen the engineer moves
    // the line between them.
    auto *verdicts = new QWidget(this);
    auto *verdictsLayout = new QVBoxLayout(verdicts);
    verdictsLayout->setContentsMargins(0, 0, 0, 0);
    verdictsLayout->addWidget(table, 1);
    verdictsLayout->addWidget(summary);
    verdictsLayout->addLayout(overrideRow);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(u"split"_s);
    split->setChildrenCollapsible(false);
    split->addWidget(verdicts);
    split->addWidget(declaredTabs);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    layout->addWidget(split, 1);
    layout->addLayout(approvalRow);
    layout->addLayout(bottom);

    const auto guarded = [this](void (AssessmentWindow::*f)()) {
        return [this, f] { runGuarded([this, f] { (this->*f)(); }); };
    };
    connect(saveButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::saveDeclared));
    connect(overrideButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::applyOverride));
    connect(removeOverrideButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::removeOverride));
    connect(normsCopyButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::makeNormsCopy));
    connect(previewButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::previewSheets));
    connect(printButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::printSheets));
    connect(pdfButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::writeSheetsPdf));
    connect(approveButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::approveStored));
    connect(withdrawButton, &QPushButton::clicked, this, guarded(&AssessmentWindow::withdrawApproval));
    connect(approverEdit, &QLineEdit::textChanged, this, [this] { showApproval(); });
    connect(withdrawReasonEdit, &QLineEdit::textChanged, this, [this] { showApproval(); });
    for (QLineEdit *e : findChildren<QLineEdit *>()) {
        if (e != overrideReason && e != approverEdit && e != withdrawReasonEdit)
            connect(e, &QLineEdit::textChanged, this, [this] { if (!m_loading) judge(); });
    }
    for (QTableWidget *t : {resistanceTable, ratioTable})
        connect(t, &QTableWidget::itemChanged, this, [this] { if (!m_loading) judge(); });
    for (QComboBox *c : {oilCombo, oilProtectionCombo, testProtectionCombo})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { if (!m_loading) judge(); });
    connect(table, &QTableWidget::itemSelectionChanged, this, [this] {
        overrideReason->setText(m_overrides.value(selectedId()).reason);
        updateOverrideButtons();
    });
    m_follow->setInterval(FollowIntervalMs);
    connect(m_follow, &QTimer::timeout, this, [this] {
        if (m_sources.texts && m_sources.texts() != m_texts)
            refresh();
    });
}

// The norms are read at the first show and again only when the workshop's copy changed.
void AssessmentWindow::refreshNorms()
{
    if (!m_normsSource.refresh())
        return;
    m_norms = m_normsSource.norms();
    m_refusalShown = false;
    showNorms();
}

void AssessmentWindow::showNorms()
{
    if (!m_norms.refusal.isEmpty())
        normsLine->setText(u"<b>Внимание:</b> "_s + m_norms.refusal.toHtmlEscaped());
    else if (m_norms.origin.isEmpty())
        normsLine->setText(u"Нормы: поставляемые с программой. Строки с отметкой «уточнить» - значения, текст "
                           "источника которых не сверен."_s);
    else
        normsLine->setText(u"Нормы: файл мастерской "_s + m_norms.origin.toHtmlEscaped()
                           + u". Строки с отметкой «уточнить» - значения, текст источника которых не сверен."_s);
    normsCopyButton->setEnabled(!QFileInfo::exists(workshopNormsPath()));
    const QList<NormRow> &norms = m_norms.table.rows();
    normsTable->setRowCount(int(norms.size()));
    for (int r = 0; r < norms.size(); ++r) {
        const NormRow &n = norms[r];
        const QString texts[] = {n.quantity, n.limit, n.condition, n.source,
                                 n.confirmed ? u"подтверждено"_s : u"уточнить"_s};
        for (int c = 0; c < 5; ++c)
            normsTable->setItem(r, c, new QTableWidgetItem(texts[c]));
    }
    normsTable->resizeRowsToContents();
}

void AssessmentWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshNorms();
    if (!m_norms.refusal.isEmpty() && !m_refusalShown) {
        m_refusalShown = true;
        Prompts::current().showMessage(this, Caption, m_norms.refusal, PromptIcon::Warning);
    }
    refresh();
    m_follow->start();
}

void AssessmentWindow::hideEvent(QHideEvent *event)
{
    m_follow->stop();
    QWidget::hideEvent(event);
}

void AssessmentWindow::refresh()
{
    m_texts = m_sources.texts ? m_sources.texts() : QHash<QString, QString>();
    const QString type = m_texts.value(u"Name"_s).trimmed();
    const QString serial = m_texts.value(u"RepairNumber"_s).trimmed();
    const QString protocol = m_texts.value(u"ProtocolNumber"_s).trimmed();
    if (type != m_type || serial != m_serial || protocol != m_protocol) {
        // A protocol number typed after the test's values keeps them, unless it has its own.
        const bool sameTransformer = type == m_type && serial == m_serial;
        m_type = type;
        m_serial = serial;
        m_protocol = protocol;
        loadDeclared(sameTransformer);
        approverEdit->clear();
        withdrawReasonEdit->clear();
    }
    readStored();
    title->setText(u"Тип: "_s + (m_type.isEmpty() ? u"не указан"_s : m_type) + u"    Заводской №: "_s
                   + (m_serial.isEmpty() ? u"не указан"_s : m_serial) + u"    Протокол №: "_s
                   + (m_protocol.isEmpty() ? u"не указан"_s : m_protocol));
    judge();
}

void AssessmentWindow::loadDeclared(bool keepUnstoredTest)
{
    m_loading = true;
    const TypeDeclared t = DeclaredStore::loadType(m_type);
    setNumber(p0Edit, t.p0);
    setNumber(pkEdit, t.pk);
    setNumber(i0Edit, t.i0);
    setNumber(ukEdit, t.uk);
    setNumber(tapStepEdit, t.tapStep);
    const SerialDeclared s = DeclaredStore::loadSerial(m_serial);
    for (int tap = 0; tap < ResistanceTaps; ++tap)
        for (int r = 0; r < Phases; ++r)
            setNumber(resistanceTable->item(tap, r), s.resistance[tap][r]);
    for (int tap = 0; tap < RatioTaps; ++tap)
        for (int r = 0; r < Phases; ++r)
            setNumber(ratioTable->item(tap, r), s.ratio[tap][r]);
    setNumber(resistanceTemperatureEdit, s.resistanceTemperature);
    for (int g = 0; g < InsulationGaps; ++g)
        setNumber(r60Edits[g], s.r60[g]);
    setNumber(r60TemperatureEdit, s.r60Temperature);
    oilProtectionCombo->setCurrentIndex(int(t.oilProtection));
    const DeclaredStore::TestRecord test = DeclaredStore::loadTest(m_serial, m_protocol);
    if (!keepUnstoredTest || test.declared != TestDeclared() || !test.overrides.isEmpty()) {
        setNumber(insulationTemperatureEdit, test.declared.insulationTemperature);
        oilCombo->setCurrentIndex(int(test.declared.oil));
        testProtectionCombo->setCurrentIndex(int(test.declared.oilProtection));
        m_overrides = test.overrides;
        m_dropped.clear();
    }
    m_previous = m_sources.previous && !m_serial.isEmpty() ? m_sources.previous(m_serial, m_protocol) : PreviousRecord();
    m_loading = false;
}

TypeDeclared AssessmentWindow::typeDeclared() const
{
    using DeclaredStore::declaredNumber;
    return {declaredNumber(p0Edit->text()), declaredNumber(pkEdit->text()), declaredNumber(i0Edit->text()),
            declaredNumber(ukEdit->text()), declaredNumber(tapStepEdit->text()),
            OilProtection(oilProtectionCombo->currentIndex())};
}

SerialDeclared AssessmentWindow::serialDeclared() const
{
    using DeclaredStore::declaredNumber;
    SerialDeclared s;
    for (int tap = 0; tap < ResistanceTaps; ++tap)
        for (int r = 0; r < Phases; ++r)
            s.resistance[tap][r] = declaredNumber(resistanceTable->item(tap, r)->text());
    for (int tap = 0; tap < RatioTaps; ++tap)
        for (int r = 0; r < Phases; ++r)
            s.ratio[tap][r] = declaredNumber(ratioTable->item(tap, r)->text());
    s.resistanceTemperature = declaredNumber(resistanceTemperatureEdit->text());
    for (int g = 0; g < InsulationGaps; ++g)
        s.r60[g] = declaredNumber(r60Edits[g]->text());
    s.r60Temperature = declaredNumber(r60TemperatureEdit->text());
    return s;
}

TestDeclared AssessmentWindow::testDeclared() const
{
    return {DeclaredStore::declaredNumber(insulationTemperatureEdit->text()), OilState(oilCombo->currentIndex()),
            OilProtection(testProtectionCombo->currentIndex())};
}

AssessmentInput AssessmentWindow::input() const
{
    AssessmentInput in;
    in.texts = m_texts;
    in.type = typeDeclared();
    in.serial = serialDeclared();
    in.test = testDeclared();
    in.previous = m_previous;
    in.overrides = m_overrides;
    in.dropped = m_dropped;
    return in;
}

void AssessmentWindow::judge()
{
    // A typed text that is not a number counts as missing; the window says which.
    QStringList problems;
    for (QLineEdit *e : findChildren<QLineEdit *>()) {
        if (e != overrideReason && e != approverEdit && e != withdrawReasonEdit && !e->text().trimmed().isEmpty()
            && !DeclaredStore::declaredNumber(e->text()))
            problems.append(u"«"_s + e->text() + u"»"_s);
    }
    for (QTableWidget *t : {resistanceTable, ratioTable})
        for (int r = 0; r < t->rowCount(); ++r)
            for (int c = 0; c < t->columnCount(); ++c)
                if (!t->item(r, c)->text().trimmed().isEmpty() && !DeclaredStore::declaredNumber(t->item(r, c)->text()))
                    problems.append(u"«"_s + t->item(r, c)->text() + u"»"_s);
    QString said = problems.isEmpty() ? QString() : u"Не числа, не учитываются: "_s + problems.join(u", "_s);
    const QStringList outside = temperaturesOutside();
    if (!outside.isEmpty())
        said += (said.isEmpty() ? QString() : u"; "_s) + u"температуры вне "_s + numberText(LeastTemperature) + u"…"_s
            + numberText(MostTemperature) + u" °C не учитываются: "_s + outside.join(u", "_s);
    inputProblems->setText(said);
    if (!m_normsSource.isLoaded())
        refreshNorms();
    m_rows = assess(input(), m_norms.table);
    keepDecisionsWithTheirValues();
    fillTable();
}

QStringList AssessmentWindow::temperaturesOutside() const
{
    QStringList outside;
    for (const QLineEdit *e : {resistanceTemperatureEdit, r60TemperatureEdit, insulationTemperatureEdit}) {
        const std::optional<double> t = DeclaredStore::declaredNumber(e->text());
        if (t && (*t < LeastTemperature || *t > MostTemperature))
            outside.append(u"«"_s + e->text().trimmed() + u"»"_s);
    }
    return outside;
}

// A decision whose values changed is dropped, and its row says so while the window shows
// this test; one kept from before decisions held their values takes today's.
void AssessmentWindow::keepDecisionsWithTheirValues()
{
    bool changed = false;
    for (const AssessmentRow &row : m_rows) {
        const auto o = m_overrides.find(row.id);
        if (o == m_overrides.end())
            continue;
        if (row.dropped) {
            m_dropped.insert(row.id, *o);
            m_overrides.erase(o);
            changed = true;
        } else if (o->basis.isEmpty()) {
            o->basis = row.basis;
            changed = true;
        }
    }
    if (changed && DeclaredStore::canStore(m_serial, m_protocol))
        DeclaredStore::saveTest(m_serial, m_protocol, {testDeclared(), m_overrides});
}

void AssessmentWindow::fillTable()
{
    const QString chosen = selectedId();
    const QSignalBlocker blocker(table);
    table->setRowCount(int(m_rows.size()));
    int counts[4] = {};
    for (int i = 0; i < m_rows.size(); ++i) {
        const AssessmentRow &row = m_rows[i];
        ++counts[int(row.verdict)];
        const QString texts[ColumnCount] = {row.quantity, row.measured, row.reference, row.limit, row.deviation,
                                            row.verdictLine(), row.note, row.source,
                                            row.confirmed ? u"подтверждено"_s : u"уточнить"_s};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            item->setToolTip(texts[c]);
            if (c == VerdictColumn || c == DeviationColumn) {
                item->setBackground(verdictColour(row.verdict));
                QFont f = item->font();
                f.setBold(c == VerdictColumn);
                f.setItalic(row.manual);
                item->setFont(f);
            }
            if (c == CheckColumn)
                item->setData(IdRole, row.id);
            table->setItem(i, c, item);
        }
        if (row.id == chosen)
            table->selectRow(i);
    }
    table->resizeRowsToContents();
    updateOverrideButtons();
    summary->setText(u"Итог: соответствует - "_s + QString::number(counts[int(Verdict::Complies)])
                     + u", не соответствует - "_s + QString::number(counts[int(Verdict::Fails)])
                     + u", требует анализа - "_s + QString::number(counts[int(Verdict::NeedsAnalysis)])
                     + u", не оценивается - "_s + QString::number(counts[int(Verdict::NotAssessed)])
                     + u". Заключение о годности пишет инженер."_s);
}

void AssessmentWindow::updateOverrideButtons()
{
    overrideButton->setEnabled(!selectedId().isEmpty());
    removeOverrideButton->setEnabled(m_overrides.contains(selectedId()) || m_dropped.contains(selectedId()));
}

QString AssessmentWindow::selectedId() const
{
    const QList<QTableWidgetItem *> chosen = table->selectedItems();
    if (chosen.isEmpty())
        return {};
    const QTableWidgetItem *first = table->item(chosen.first()->row(), CheckColumn);
    return first ? first->data(IdRole).toString() : QString();
}

void AssessmentWindow::applyOverride()
{
    const QString id = selectedId();
    if (id.isEmpty())
        return;
    if (overrideReason->text().trimmed().isEmpty()) {
        Prompts::current().showMessage(this, Caption, u"Укажите причину решения инженера."_s, PromptIcon::Warning);
        overrideReason->setFocus();
        return;
    }
    QString basis;
    for (const AssessmentRow &row : m_rows) {
        if (row.id == id)
            basis = row.basis;
    }
    m_overrides.insert(id, {Verdict(overrideVerdict->currentData().toInt()), overrideReason->text().trimmed(), basis});
    m_dropped.remove(id);
    saveTest();
    judge();
}

void AssessmentWindow::removeOverride()
{
    const bool wasDropped = m_dropped.remove(selectedId()) > 0;
    if (m_overrides.remove(selectedId()) == 0) {
        if (wasDropped)
            judge();
        return;
    }
    overrideReason->clear();
    saveTest();
    judge();
}

// An engineer's verdict is kept at once with the test; without a serial number it lives
// only while the window does, and the window says so.
void AssessmentWindow::saveTest()
{
    if (!DeclaredStore::canStore(m_serial, m_protocol)) {
        Prompts::current().showMessage(this, Caption,
                                       u"Решение не сохранено: введите заводской № на странице «Протокол»."_s,
                                       PromptIcon::Warning);
        return;
    }
    DeclaredStore::saveTest(m_serial, m_protocol, {testDeclared(), m_overrides});
}

void AssessmentWindow::saveDeclared()
{
    const QStringList outside = temperaturesOutside();
    if (!outside.isEmpty()) {
        Prompts::current().showMessage(this, Caption,
                                       u"Не сохранено: температура вне "_s + numberText(LeastTemperature) + u"…"_s
                                           + numberText(MostTemperature) + u" °C: "_s + outside.join(u", "_s),
                                       PromptIcon::Warning);
        return;
    }
    QStringList notSaved;
    if (m_type.isEmpty())
        notSaved.append(u"паспорт типа: не указан тип трансформатора"_s);
    else if (!DeclaredStore::saveType(m_type, typeDeclared()))
        notSaved.append(u"паспорт типа: тип «"_s + m_type
                        + u"» не сохранён в каталоге (кнопка «Сохранить» на странице «Трансформатор»)"_s);
    if (!DeclaredStore::canStore(m_serial, m_protocol)) {
        notSaved.append(u"заводские данные и данные испытания: введите заводской № на странице «Протокол»"_s);
    } else {
        DeclaredStore::saveSerial(m_serial, serialDeclared());
        DeclaredStore::saveTest(m_serial, m_protocol, {testDeclared(), m_overrides});
    }
    if (!notSaved.isEmpty())
        Prompts::current().showMessage(this, Caption, u"Не сохранено:\n"_s + notSaved.join(u"\n"_s),
                                       PromptIcon::Warning);
}

void AssessmentWindow::makeNormsCopy()
{
    if (writeWorkshopNormsCopy())
        Prompts::current().showMessage(this, Caption,
                                       u"Копия норм записана: "_s + workshopNormsPath()
                                           + u". Правки в ней действуют со следующего открытия окна."_s,
                                       PromptIcon::Information);
    showNorms();
}

QList<Sheet> AssessmentWindow::sheets() const
{
    AssessmentSheetHeader header;
    header.protocolNumber = m_protocol;
    header.type = m_type;
    header.serialNumber = m_serial;
    header.norms = m_norms.origin.isEmpty() ? u"Нормы: поставляемые с программой"_s
                                            : u"Нормы: файл мастерской "_s + m_norms.origin;
    if (m_stored)
        header.approval = approvalLine(m_stored->approvals);
    QList<Sheet> result;
    const QDate today = QDate::currentDate();
    for (const PageDocument &page : assessmentPages(header, m_rows))
        result.append(page.generate(today));
    return result;
}

void AssessmentWindow::previewSheets()
{
    if (!sheetPreview) {
        sheetPreview = new QWidget(this, Qt::Window);
        sheetPreview->setObjectName(u"sheetPreview"_s);
        sheetPreview->resize(fittedSize(sheetPreview, PreviewSize));
        sheetView = new SheetView(sheetPreview);
        sheetPageLabel = new QLabel(sheetPreview);
        auto *previous = new QPushButton(u"Предыдущий лист"_s, sheetPreview);
        auto *next = new QPushButton(u"Следующий лист"_s, sheetPreview);
        auto *row = new QHBoxLayout;
        row->addWidget(previous);
        row->addWidget(next);
        row->addWidget(sheetPageLabel, 1);
        auto *layout = new QVBoxLayout(sheetPreview);
        layout->addLayout(row);
        layout->addWidget(sheetView, 1);
        connect(previous, &QPushButton::clicked, this, [this] { showPreviewPage(m_previewPage - 1); });
        connect(next, &QPushButton::clicked, this, [this] { showPreviewPage(m_previewPage + 1); });
    }
    m_previewSheets = sheets();
    sheetPreview->setWindowTitle(assessmentSheetTitle(m_protocol));
    showPreviewPage(0);
    sheetPreview->show();
    sheetPreview->raise();
    sheetView->fitToWidth();
}

void AssessmentWindow::showPreviewPage(int page)
{
    if (page < 0 || page >= m_previewSheets.size())
        return;
    m_previewPage = page;
    auto store = std::make_shared<SheetStore>();
    store->setSheet(m_previewSheets[page]);
    sheetView->setStore(store);
    sheetPageLabel->setText(u"Лист "_s + QString::number(page + 1) + u" из "_s
                            + QString::number(m_previewSheets.size()));
}

// One job for all pages, made afresh, A4 landscape and one-sided, named after the protocol.
void AssessmentWindow::printSheets()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
    if (!Prompts::current().setUpPrinter(this, &printer))
        return;
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setDocName(assessmentSheetTitle(m_protocol));
    const QList<Sheet> pages = sheets();
    QPainter painter;
    if (!painter.begin(&printer))
        throw BenchError(u"Лист оценки не напечатан: принтер не начал задание"_s);
    const double pxPerMm = Units::devicePerMm(printer.resolution());
    const QPointF origin = printer.paperRect(QPrinter::DevicePixel).topLeft()
        - printer.pageRect(QPrinter::DevicePixel).topLeft();
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0 && !printer.newPage())
            break;
        SheetRenderer::render(painter, pages[i], origin, pxPerMm);
    }
    painter.end();
}

void AssessmentWindow::writeSheetsPdf()
{
    FileRequest request;
    request.title = u"Лист оценки в PDF"_s;
    request.filters = {u"PDF (*.pdf)"_s};
    request.defaultExtension = u"pdf"_s;
    request.proposedName = u"Оценка к протоколу "_s + m_protocol + u".pdf"_s;
    const QString path = Prompts::current().saveFileName(this, request);
    if (path.isEmpty())
        return;
    QString error;
    if (!SheetOutput::writePdf(sheets(), path, &error))
        Prompts::current().showMessage(this, Caption, u"Лист оценки не записан: "_s + path + u" ("_s + error + u')',
                                       PromptIcon::Error);
}

QString approvalLine(const QList<ApprovalEvent> &events)
{
    const std::optional<ApprovalEvent> approval = approvalInForce(events);
    if (!approval)
        return {};
    return u"Утверждено: "_s + approval->person + u", "_s
        + QDateTime::fromMSecsSinceEpoch(approval->msecs).toString(u"dd.MM.yyyy HH:mm"_s);
}

// The stored revision is read when the protocol shown changes and after an approval; a
// protocol printed while the window is open is found at the next change of the results.
void AssessmentWindow::readStored()
{
    m_stored = m_sources.stored ? m_sources.stored(m_protocol, m_serial) : std::nullopt;
    if (m_stored && approverEdit->text().trimmed().isEmpty())
        approverEdit->setText(m_stored->fields.value(ProtocolFields::Chief).trimmed());
    showApproval();
}

void AssessmentWindow::showApproval()
{
    const bool approved = m_stored && approvalInForce(m_stored->approvals);
    QString text;
    if (!m_stored) {
        text = u"Протокол ещё не сохранён в архиве: утвердить его можно после печати, сохранения или записи в PDF."_s;
    } else {
        text = u"В архиве: редакция "_s + QString::number(m_stored->revision) + u" от "_s
            + m_stored->moment.toLocalTime().toString(u"dd.MM.yyyy HH:mm"_s) + u". "_s
            + (approved ? approvalLine(m_stored->approvals) : u"Не утверждено."_s);
        // The last withdrawal stays in sight until a new approval.
        if (!approved && !m_stored->approvals.isEmpty())
            text += u" Утверждение снято: "_s + m_stored->approvals.last().person + u", «"_s
                + m_stored->approvals.last().reason + u"»."_s;
    }
    approvalLabel->setText(text);
    approveButton->setEnabled(m_stored && !approved && !approverEdit->text().trimmed().isEmpty());
    withdrawButton->setEnabled(approved && !withdrawReasonEdit->text().trimmed().isEmpty());
    withdrawReasonEdit->setEnabled(approved);
}

void AssessmentWindow::approveStored()
{
    if (!m_stored || !m_sources.approve)
        return;
    const QString refusal = m_sources.approve(m_stored->id, approverEdit->text().trimmed(), m_rows);
    if (!refusal.isEmpty())
        Prompts::current().showMessage(this, Caption, u"Протокол не утверждён: "_s + refusal, PromptIcon::Warning);
    readStored();
}

void AssessmentWindow::withdrawApproval()
{
    if (!m_stored || !m_sources.withdraw)
        return;
    const QString refusal =
        m_sources.withdraw(m_stored->id, approverEdit->text().trimmed(), withdrawReasonEdit->text().trimmed());
    if (!refusal.isEmpty())
        Prompts::current().showMessage(this, Caption, u"Утверждение не снято: "_s + refusal, PromptIcon::Warning);
    else
        withdrawReasonEdit->clear();
    readStored();
}

// ---- ArchivedJudgementWindow ----

ArchivedJudgementWindow::ArchivedJudgementWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(u"ArchivedJudgementWindow"_s);
    setWindowTitle(Caption + u" — архивная копия"_s);
    resize(fittedSize(this, QSize(1200, 600)));
    title = new QLabel(this);
    title->setObjectName(u"title"_s);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    madeBy = new QLabel(this);
    madeBy->setObjectName(u"madeBy"_s);
    madeBy->setWordWrap(true);
    madeBy->setTextInteractionFlags(Qt::TextSelectableByMouse);
    approval = new QLabel(this);
    approval->setObjectName(u"approval"_s);
    approval->setWordWrap(true);
    table = new QTableWidget(0, ColumnCount, this);
    table->setObjectName(u"table"_s);
    table->setHorizontalHeaderLabels({u"Проверка"_s, u"Измерено"_s, u"Сравнивается с"_s, u"Норма"_s,
                                      u"Отклонение"_s, u"Заключение (сохранено)"_s, u"По действующим нормам"_s,
                                      u"Источник"_s});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(true);
    table->verticalHeader()->hide();
    const int widths[ColumnCount] = {185, 120, 150, 160, 85, 190, 190, 120};
    for (int c = 0; c < ColumnCount; ++c)
        table->setColumnWidth(c, widths[c]);
    table->horizontalHeader()->setStretchLastSection(true);
    summary = new QLabel(this);
    summary->setObjectName(u"summary"_s);
    summary->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(madeBy);
    layout->addWidget(approval);
    layout->addWidget(table, 1);
    layout->addWidget(summary);
}

namespace {

Verdict verdictOf(StoredVerdict verdict)
{
    switch (verdict) {
    case StoredVerdict::Complies: return Verdict::Complies;
    case StoredVerdict::Fails: return Verdict::Fails;
    case StoredVerdict::NeedsAnalysis: return Verdict::NeedsAnalysis;
    case StoredVerdict::NotAssessed: break;
    }
    return Verdict::NotAssessed;
}

QString normsText(const ArchiveJudgement &judgement)
{
    return (judgement.normsOrigin.isEmpty() ? u"поставляемые с программой"_s
                                            : u"файл мастерской "_s + judgement.normsOrigin)
        + u" (SHA-256 "_s + judgement.normsDigest.left(16) + u"…)"_s;
}

} // namespace

void ArchivedJudgementWindow::showJudgements(const ArchiveRecord &record, const ArchiveJudgement &today)
{
    const ArchiveJudgement &stored = record.judgement;
    title->setText(u"Протокол № "_s + record.protocolNumber + u", редакция "_s + QString::number(record.revision)
                   + u" от "_s + record.moment.toLocalTime().toString(u"dd.MM.yyyy HH:mm"_s) + u"    Тип: "_s
                   + record.type + u"    Заводской №: "_s + record.serialNumber);
    madeBy->setText(stored.judged ? u"Оценка сохранена с протоколом "_s
                                        + QDateTime::fromMSecsSinceEpoch(stored.judgedMsecs).toString(u"dd.MM.yyyy HH:mm"_s)
                                        + u": нормы - "_s + normsText(stored) + u", программа "_s + stored.programVersion
                                        + u". Действующие нормы - "_s + normsText(today) + u"."_s
                                  : u"Протокол сохранён без оценки: не оценивалось. Справа - оценка по действующим нормам ("_s
                                        + normsText(today) + u")."_s);
    QStringList events;
    for (const ApprovalEvent &e : record.approvals)
        events.append((e.approved ? u"утверждено: "_s : u"утверждение снято: "_s) + e.person + u", "_s
                      + QDateTime::fromMSecsSinceEpoch(e.msecs).toString(u"dd.MM.yyyy HH:mm"_s)
                      + (e.reason.isEmpty() ? QString() : u", причина: «"_s + e.reason + u"»"_s));
    const QString inForce = approvalLine(record.approvals);
    approval->setText((inForce.isEmpty() ? u"Не утверждено."_s : inForce)
                      + (events.size() > 1 || (!events.isEmpty() && inForce.isEmpty())
                             ? u" История: "_s + events.join(u"; "_s) + u"."_s
                             : QString()));

    // The stored rows in their order, then those only today's judgement has.
    QList<const JudgedCheck *> shown;
    for (const JudgedCheck &c : stored.rows)
        shown.append(&c);
    QHash<QString, const JudgedCheck *> todayById;
    for (const JudgedCheck &c : today.rows) {
        todayById.insert(c.id, &c);
        const bool there = std::any_of(stored.rows.cbegin(), stored.rows.cend(),
                                       [&c](const JudgedCheck &s) { return s.id == c.id; });
        if (!there)
            shown.append(&c);
    }
    table->setRowCount(int(shown.size()));
    int differing = 0;
    for (int i = 0; i < shown.size(); ++i) {
        const JudgedCheck &row = *shown[i];
        const bool isStored = i < stored.rows.size();
        const JudgedCheck *now = todayById.value(row.id);
        const bool differs = !now || !isStored || now->verdictLine != row.verdictLine || now->measured != row.measured
            || now->reference != row.reference || now->limit != row.limit;
        differing += differs ? 1 : 0;
        const QString texts[ColumnCount] = {
            row.check, row.measured, row.reference, row.limit, row.deviation,
            isStored ? row.verdictLine : u"не оценивалось"_s,
            !differs ? QString() : now ? now->verdictLine + (now->limit != row.limit ? u" (норма: "_s + now->limit + u')' : QString())
                                       : u"нет такой проверки"_s,
            row.source};
        for (int c = 0; c < ColumnCount; ++c) {
            auto *item = new QTableWidgetItem(texts[c]);
            item->setToolTip(texts[c]);
            if (c == VerdictColumn && isStored)
                item->setBackground(AssessmentWindow::verdictColour(verdictOf(row.verdict)));
            if (c == TodayColumn && differs && now)
                item->setBackground(AssessmentWindow::verdictColour(verdictOf(now->verdict)));
            table->setItem(i, c, item);
        }
    }
    table->resizeRowsToContents();
    summary->setText(!stored.judged ? u"Сохранённой оценки нет."_s
                     : differing == 0
                         ? u"Оценка по действующим нормам не отличается от сохранённой."_s
                         : u"Строк, где оценка по действующим нормам отличается от сохранённой: "_s
                             + QString::number(differing) + u"."_s);
}
