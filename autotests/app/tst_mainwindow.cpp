#include "controls.h"
#include "resultrecord.h"
#include "errorreport.h"
#include "bencherror.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <memory>

namespace {
QString captionOf(QWidget *w)
{
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return g->title();
    if (auto *m = qobject_cast<QPlainTextEdit *>(w))
        return m->toPlainText();
    return QStringLiteral("<no caption>");
}

// The control the operator sees holding the focus: a radio button stands for its group,
// the edit line of a combo box for the box.
QString stopName(QWidget *w)
{
    for (; w; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            return w->objectName();
    return QStringLiteral("<none>");
}

// Places along one axis, as (start, length) pairs; a length of 0 marks an index
// without a head to line up with.
using Spans = QList<QPoint>;
} // namespace

class TstMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void controlsShowTheirLetterExactCaptions_data();
    void controlsShowTheirLetterExactCaptions();
    void tableHeadsAreLetterExact_data();
    void tableHeadsAreLetterExact();
    void windowHasItsFixedSizeAndCaption();
    void everyTabCaptionIsFullyReadable();
    void gridsHaveTheirSizeAndCannotBeEditedOrScrolled();
    void gridCellsSitUnderTheirHeads_data();
    void gridCellsSitUnderTheirHeads();
    void keyboardOrderRunsThroughThePage_data();
    void keyboardOrderRunsThroughThePage();
    void radioGroupIsOneStopAtItsCheckedItemAndArrowsMoveInside();
    void radioGroupsStartWithNoSelection();
    void listsHoldTheirItems();
    void clearEmptiesTheEntriesOfTheTransformer();
    void clearLeavesOtherEntriesAlone();
    void ctrlEFlipsDiagnosticsOnlyWhileTheWindowHoldsTheFocus();
    void ctrlEWorksByTheKeyWhateverTheLayout_data();
    void ctrlEWorksByTheKeyWhateverTheLayout();
    void panelClickFlipsTheCountersAndPowers();
    void ctrlShiftClickOnTheWindowSurfaceFlipsThePowers();
    void anErrorInAHandlerIsReportedAndTheProgramGoesOn();

private:
    std::unique_ptr<WindowFixture> f;
};

void TstMainWindow::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    f->createWindow();
}

void TstMainWindow::cleanup()
{
    f.reset();
}

void TstMainWindow::controlsShowTheirLetterExactCaptions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    const std::pair<const char *, const char *> rows[] = {
        {"sLabelFX3", "Параметры входного сигнала"},
        {"StaticText148", "Uнн,B"}, {"StaticText149", "Iнн,B"}, {"StaticText150", "Uвн,B"},
        {"StaticText151", "Uab"}, {"StaticText152", "Ia"}, {"StaticText153", "Uab"},
        {"StaticText157", "Ubc"}, {"StaticText159", "Ib"}, {"StaticText161", "Ubc"},
        {"StaticText163", "Uca"}, {"StaticText165", "Ic"}, {"StaticText167", "Uca"},
        {"StaticText19", "Uab ср,В"}, {"StaticText2", "Кф"}, {"StaticText169", "Частота, Гц"},
        {"sLabelFX4", "Параметры стенда"}, {"lbITN", "ИТН"}, {"lbITT", "ИТТ"},
        {"sLabel1", "Температура"}, {"Temperature", "25"}, {"sLabel2", "С"},
        {"sBitBtn2", "Очистить"}, {"Label5", "Получено пакетов"}, {"lbCRC", ""},
        {"Label2", "VA 0"}, {"Label6", "R 0"}, {"Label8", "F 0"}, {"Label7", ""},
        {"Gauge", "Юстировка"}, {"sBitBtn3", "Настройки"},
        {"VoltageTransformer", "Трансформатор напряжения 10кВ в 100В"}, {"Current", "Iвх, А"},
        {"StatusBarMain", "0"},
        {"sLabel3", "Тип трансформатора"}, {"sButton6", "Сохранить"}, {"sButton7", "Удалить"},
        {"FasNumber", "Число фаз"}, {"sLabel4", "Вес трансформатора"}, {"sLabel5", "кг"},
        {"sLabel6", "Рном"}, {"sLabel7", "кВА"}, {"sLabel10", "ВН"}, {"sLabel11", "НН"},
        {"sLabel12", "Uном"}, {"sLabel8", "/"}, {"sLabel14", "B"}, {"sLabel13", "Iном"},
        {"sLabel9", "/"}, {"sLabel15", "A"}, {"sLabel16", "Частота"}, {"Freq2", "50"},
        {"sLabel17", "Гц"}, {"sLabel18", "Схема"}, {"Material", "Материал обмоток"},
        {"IdleState", "Пуск"}, {"Label3", "Label3"}, {"Label4", "Label4"},
        {"StaticText111", "Приведенное к Iном"}, {"StaticText112", "Приведенное к 75 С"},
        {"ShortState", "Пуск"}, {"Transform", "Пуск"}, {"Group", ""},
        {"sButton1", "%"}, {"Resist", "Пуск"}, {"ResistStop", "Стоп"},
        {"ResistenceRange1", "Предел измерения, Ом"},
        {"cbAutoStop", "Автоотключение по времени измерения"}, {"Button1", "CC"}, {"Button2", "B5"},
        {"Firm", ""}, {"sLabel30", "Объем работ"}, {"Rem", "Капитальный ремонт"},
        {"sLabel28", "Заводской №"}, {"sLabel29", "Год ремонта"},
        {"IsolationCheckBox", "Испытание изоляции повышенной частотой"},
        {"sLabelFX1", "Испытание изоляции"}, {"sLabelFX2", "Заключение"}, {"Conclusion", "+"},
        {"sLabel33", "Протокол №"}, {"sLabel31", "Испытал"}, {"ChiefName", "Начальник ОТК"},
        {"Chief", ""}, {"Previw", "Протокол"},
    };
    for (const auto &[name, caption] : rows)
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(caption);
}

void TstMainWindow::controlsShowTheirLetterExactCaptions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto *w = f->form->findChild<QWidget *>(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(captionOf(w), caption);
}

void TstMainWindow::tableHeadsAreLetterExact_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("heads");
    QTest::newRow("no-load") << "Idle"
        << QStringList{"Uab,B", "Ubc,B", "Uca,B", "Ia,A", "Ib,A", "Ic,A", "Ixx,A", "Ixx,%", "Pxx,Вт"};
    QTest::newRow("short-circuit") << "Chort"
        << QStringList{"Uab, B", "Ubc,B", "Uca,B", "Uкз,B", "Uкз,%", "Ia,A", "Ib,A", "Ic,A", "Iкз,A", "Pкз,Вт"};
    QTest::newRow("ratio") << "Transformations"
        << QStringList{"U,B", "K", "Uном,B", "Фаза", "AB", "BC", "CA", "Группа", "Uвн,B", "Uнн,B"};
    QTest::newRow("resistance") << "Resistence" << QStringList{"Фаза", "R,Oм"};
    QTest::newRow("insulation") << "sTabSheet6"
        << QStringList{"R изоляции, МОм", "15 сек", "60 сек", "Кабс 60/15", "Uпов, кВ", "t, сек",
                       "ВН - К", "НН - К", "ВН-НН", "Анализ масла №", "Электрическая прочность",
                       "Содержание воды", "Механические примеси", "Содержание взвешанного угля",
                       "Цвет", "Кислотное число КОН", "Реакция водной вытяжки", "Температура вспышки"};
}

void TstMainWindow::tableHeadsAreLetterExact()
{
    QFETCH(QString, page);
    QFETCH(QStringList, heads);
    QStringList shown;
    for (QLabel *l : f->form->findChild<QWidget *>(page)->findChildren<QLabel *>())
        shown << l->text();
    for (const QString &h : heads)
        QVERIFY2(shown.contains(h), qPrintable(h));
}

void TstMainWindow::windowHasItsFixedSizeAndCaption()
{
    QCOMPARE(f->form->size(), QSize(896, 603));
    QCOMPARE(f->form->minimumSize(), f->form->maximumSize());
    QVERIFY(!(f->form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(f->form->windowTitle(), QStringLiteral("Электромагнитные испытания силовых трансформаторов"));
    QCOMPARE(f->form->palette().color(QPalette::Window), QColor(211, 213, 220));
}

void TstMainWindow::everyTabCaptionIsFullyReadable()
{
    const QStringList captions{"Трансформатор", "Холостой ход", "Короткое замыкание",
                               "Коэффициент трансформации", "Омическое сопротивление", "Протокол"};
    QCOMPARE(f->form->control<PageControl>("PageControl1")->pageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        QAbstractButton *tab = f->form->control<PageControl>("PageControl1")->tabButton(i);
        QCOMPARE(tab->text(), captions[i]);
        QVERIFY(tab->width() >= tab->fontMetrics().horizontalAdvance(tab->text()) + 8);
        QVERIFY(f->form->control<PageControl>("PageControl1")->rect().contains(tab->geometry()));
    }
}

void TstMainWindow::gridsHaveTheirSizeAndCannotBeEditedOrScrolled()
{
    struct { StringGrid *grid; int columns, rows; } grids[] = {
        {f->form->control<StringGrid>("TransformGrid"), 12, 3}, {f->form->control<StringGrid>("TransformGrid1"), 4, 3}, {f->form->control<StringGrid>("ResistenceGrid"), 7, 4}};
    for (auto g : grids) {
        QCOMPARE(g.grid->columnCount(), g.columns);
        QCOMPARE(g.grid->rowCount(), g.rows);
        QCOMPARE(g.grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(g.grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(g.grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!(g.grid->item(0, 0)->flags() & Qt::ItemIsEditable));
    }
    // Nothing scrolls the cells away from their headings.
    f->form->control<StringGrid>("TransformGrid")->horizontalScrollBar()->setValue(2);
    f->form->control<StringGrid>("TransformGrid")->scrollTo(f->form->control<StringGrid>("TransformGrid")->model()->index(0, 11));
    QCOMPARE(f->form->control<StringGrid>("TransformGrid")->horizontalScrollBar()->value(), 0);
    QCOMPARE(f->form->control<StringGrid>("TransformGrid")->columnViewportPosition(0), 0);
    // Eleven columns of TransformGrid are visible, the twelfth lies beyond the width.
    QVERIFY(11 * 54 <= f->form->control<StringGrid>("TransformGrid")->width());
    QVERIFY(12 * 54 > f->form->control<StringGrid>("TransformGrid")->width());
}

void TstMainWindow::gridCellsSitUnderTheirHeads_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<Spans>("columnHeads");
    QTest::addColumn<Spans>("rowHeads");
    Spans ratioColumns;
    for (int t = 0; t < 5; ++t)
        ratioColumns << QPoint(50 + 110 * t, 56) << QPoint(105 + 110 * t, 56);
    ratioColumns << QPoint(600, 53);
    QTest::newRow("ratio per tap") << "TransformGrid" << QRect(50, 78, 603, 118) << ratioColumns
                                   << Spans{{78, 40}, {117, 40}, {156, 41}};
    QTest::newRow("ratio of the second table") << "TransformGrid1" << QRect(266, 342, 166, 118)
                                               << Spans{{266, 56}, {321, 56}, {376, 56}}
                                               << Spans{{342, 40}, {381, 40}, {420, 40}};
    Spans resistanceColumns;
    for (int c = 0; c < 6; ++c)
        resistanceColumns << QPoint(80 + 79 * c, 80);
    // Row 3, the imbalance, is level with the button that computes it.
    QTest::newRow("resistance") << "ResistenceGrid" << QRect(80, 89, 475, 101) << resistanceColumns
                                << Spans{{0, 0}, {0, 0}, {0, 0}, {165, 25}};
}

// Each cell's edges lie within a pixel of its head's, a cut last cell ending at the
// grid's border; the heads are looked up on the page, so moving either side fails.
void TstMainWindow::gridCellsSitUnderTheirHeads()
{
    QFETCH(QString, grid);
    QFETCH(QRect, geometry);
    QFETCH(Spans, columnHeads);
    QFETCH(Spans, rowHeads);
    auto *g = f->form->findChild<StringGrid *>(grid);
    QVERIFY(g);
    f->showPageOf(g);
    f->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->form));
    QCOMPARE(g->geometry(), geometry);
    QWidget *page = g->parentWidget();
    const QRect viewport = g->viewport()->geometry().translated(g->pos());

    auto headAt = [page](bool column, QPoint span) {
        for (QWidget *w : page->findChildren<QWidget *>()) {
            if (w->parentWidget() != page || qobject_cast<StringGrid *>(w))
                continue;
            const QRect r = w->geometry();
            if (column ? (r.x() == span.x() && r.width() == span.y())
                       : (r.y() == span.x() && r.height() == span.y()))
                return true;
        }
        return false;
    };
    auto check = [&](bool column, int index, QPoint head) {
        const int start = column ? viewport.x() + g->columnViewportPosition(index)
                                 : viewport.y() + g->rowViewportPosition(index);
        const int size = column ? g->columnWidth(index) : g->rowHeight(index);
        const int edge = column ? geometry.right() + 1 : geometry.bottom() + 1;
        const int end = std::min(start + size, edge);
        const QString where = QStringLiteral("%1 %2 at %3..%4, head %5..%6")
                                  .arg(column ? "column" : "row").arg(index).arg(start).arg(end)
                                  .arg(head.x()).arg(head.x() + head.y());
        QVERIFY2(headAt(column, head), qPrintable(QStringLiteral("no head for ") + where));
        QVERIFY2(std::abs(start - head.x()) <= 1, qPrintable(where));
        QVERIFY2(std::abs(end - (head.x() + head.y())) <= 1, qPrintable(where));
    };
    for (int c = 0; c < columnHeads.size(); ++c)
        check(true, c, columnHeads[c]);
    for (int r = 0; r < rowHeads.size(); ++r)
        if (rowHeads[r].y() > 0)
            check(false, r, rowHeads[r]);
    // The column after the last head lies wholly beyond the visible width.
    QVERIFY(viewport.x() + g->columnViewportPosition(int(columnHeads.size())) >= viewport.right());
}

void TstMainWindow::keyboardOrderRunsThroughThePage_data()
{
    QTest::addColumn<QStringList>("order");
    QTest::newRow("Трансформатор")
        << QStringList{"Name", "FasNumber", "TransformerWeight", "Pnom", "Unom2", "Unom", "Inom2",
                       "Inom", "Freq2", "Circuit", "Material", "sButton6", "sButton7"};
    // "Пуск" waits for the bench and is no stop yet.
    QTest::newRow("Омическое сопротивление")
        << QStringList{"RadioGroup2", "RadioGroup3", "RadioGroup4", "sButton1", "ResistStop",
                       "ResistenceRange1", "cbAutoStop"};
    QTest::newRow("Протокол")
        << QStringList{"Firm", "Rem", "RepairNumber", "YearOfRepair", "IsolationCheckBox",
                       "OilAnalysis", "ElectricStrength", "WaterContent", "MechanicalImpurities",
                       "WeightedCoalContent", "Color", "AcidNumber", "ReactionAqueousExtract",
                       "FlashTemperature", "RHigh15", "RHigh60", "KabsHigh", "Uhigh", "Thigh",
                       "RLow15", "RLow60", "KabsLow", "Ulow", "Tlow", "RHL15", "RHL60", "KabsHL",
                       "UHL", "THL", "Conclusion", "ProtocolNumber", "Investigator", "ChiefName",
                       "Chief", "Previw"};
}

void TstMainWindow::keyboardOrderRunsThroughThePage()
{
    QFETCH(QStringList, order);
    f->deleteWindow();
    QVERIFY(f->startWindow());
    QWidget *first = f->form->findChild<QWidget *>(order.first());
    f->showPageOf(first);
    if (auto *group = qobject_cast<RadioGroup *>(first))
        first = group->button(0);
    first->setFocus(Qt::TabFocusReason);
    QStringList shown{stopName(QApplication::focusWidget())};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        shown << stopName(QApplication::focusWidget());
    }
    QCOMPARE(shown, order);
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstMainWindow::radioGroupIsOneStopAtItsCheckedItemAndArrowsMoveInside()
{
    f->deleteWindow();
    QVERIFY(f->startWindow());
    TForm1 *w = f->form;
    auto tab = [](Qt::Key key = Qt::Key_Tab) {
        QTest::keyClick(QApplication::focusWidget(), key);
        return QApplication::focusWidget();
    };
    w->control<QComboBox>("Name")->setFocus(Qt::TabFocusReason);
    // None selected: the first item is the stop, and it stays unselected until moved to.
    QCOMPARE(tab(), w->control<RadioGroup>("FasNumber")->button(0));
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), -1);
    QCOMPARE(tab(Qt::Key_Right), w->control<RadioGroup>("FasNumber")->button(1));
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), 1);
    QCOMPARE(tab(Qt::Key_Down), w->control<RadioGroup>("FasNumber")->button(0)); // round the end
    QCOMPARE(w->control<RadioGroup>("FasNumber")->itemIndex(), 0);
    QCOMPARE(tab(Qt::Key_Up), w->control<RadioGroup>("FasNumber")->button(1));
    QCOMPARE(tab(), w->control<QLineEdit>("TransformerWeight"));
    QCOMPARE(tab(Qt::Key_Backtab), w->control<RadioGroup>("FasNumber")->button(1));

    // A selection made by the program moves the stop with it; an arrow runs the click's handler.
    w->control<RadioGroup>("Material")->setItemIndex(1);
    w->control<QComboBox>("Circuit")->setFocus(Qt::TabFocusReason);
    QCOMPARE(tab(), w->control<RadioGroup>("Material")->button(1));
    QCOMPARE(tab(Qt::Key_Left), w->control<RadioGroup>("Material")->button(0));
    QCOMPARE(int(f->windows->rated.Rated.MaterialConstant), 235);
    QCOMPARE(tab(), w->control<QPushButton>("sButton6"));
}

void TstMainWindow::radioGroupsStartWithNoSelection()
{
    QCOMPARE(f->form->control<RadioGroup>("FasNumber")->itemIndex(), -1);
    QCOMPARE(f->form->control<RadioGroup>("Material")->itemIndex(), -1);
    QCOMPARE(f->form->control<RadioGroup>("FasNumber")->items(), (QStringList{"Одна", "Три"}));
    QCOMPARE(f->form->control<RadioGroup>("Material")->items(), (QStringList{"медь", "алюминий"}));
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup1")->itemIndex(), 0);
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup2")->items().last(), QStringLiteral("HH")); // Latin letters
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup3")->items(), (QStringList{"AB", "CA", "BC"}));
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup4")->items(), (QStringList{"A0", "B0", "C0"}));
    QCOMPARE(f->form->control<RadioGroup>("ResistenceRange1")->items(), (QStringList{"200", "20", "2", "0.2", "0.01"}));
}

void TstMainWindow::listsHoldTheirItems()
{
    auto items = [](QComboBox *c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    };
    QCOMPARE(items(f->form->control<QComboBox>("cbVoltage")), (QStringList{"Не используется", "10кВ/100В", "35кВ/100В"}));
    QCOMPARE(items(f->form->control<QComboBox>("cbCurrent")),
             (QStringList{"Не используется", "15А/5А", "50А/5А", "100А/5А", "150А/5А", "200А/5А",
                          "250А/5А", "300А/5А", "350А/5А", "400А/5А"}));
    QCOMPARE(f->form->control<QComboBox>("cbVoltage")->currentIndex(), 0);
    QCOMPARE(f->form->control<QComboBox>("cbCurrent")->currentIndex(), 0);
    QCOMPARE(items(f->form->control<QComboBox>("Circuit")),
             (QStringList{"U / Uo - 0", "U / U - 0", "U / D - 11", "U / Z - 11", "D / U - 11",
                          "I / I - 0", "D / D - 0"}));
    QCOMPARE(f->form->control<QComboBox>("Circuit")->currentText(), QString());
}

void TstMainWindow::clearEmptiesTheEntriesOfTheTransformer()
{
    const QList<QLineEdit *> edits{f->form->control<QLineEdit>("TransformerWeight"), f->form->control<QLineEdit>("Pnom"), f->form->control<QLineEdit>("Unom"), f->form->control<QLineEdit>("Unom2"),
                                   f->form->control<QLineEdit>("Inom"), f->form->control<QLineEdit>("Inom2"), f->form->control<QLineEdit>("RepairNumber"), f->form->control<QLineEdit>("RHigh15"),
                                   f->form->control<QLineEdit>("RHigh60"), f->form->control<QLineEdit>("RLow15"), f->form->control<QLineEdit>("RLow60"), f->form->control<QLineEdit>("Uhigh"),
                                   f->form->control<QLineEdit>("Ulow"), f->form->control<QLineEdit>("Thigh"), f->form->control<QLineEdit>("Tlow")};
    for (QLineEdit *e : edits)
        e->setText(QStringLiteral("7"));
    const QList<QLabel *> results{f->form->control<QLabel>("Uab00"), f->form->control<QLabel>("Ixx01"), f->form->control<QLabel>("Pxx00"), f->form->control<QLabel>("Uab10"),
                                  f->form->control<QLabel>("Ukz112"), f->form->control<QLabel>("Ikz10"), f->form->control<QLabel>("Pkz12"), f->form->control<QLabel>("Group")};
    for (QLabel *l : results)
        f->form->results().set(*Results::byKey(l->objectName()), QStringLiteral("1.0"));
    f->form->results().set(Results::transformCell(11, 2), QStringLiteral("x"));
    f->form->results().set(Results::transformCell(0, 0), QStringLiteral("x"));
    f->form->results().set(Results::resistenceCell(6, 3), QStringLiteral("x"));
    f->form->control<QComboBox>("Circuit")->setEditText(QStringLiteral("U / U - 0"));
    f->form->control<QLineEdit>("Freq2")->clear();
    f->form->control<QPlainTextEdit>("Conclusion")->setPlainText(QString());

    QTest::mouseClick(f->form->control<QPushButton>("sBitBtn2"), Qt::LeftButton);

    for (QLineEdit *e : edits)
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    for (QLabel *l : results)
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 3; ++r)
            QVERIFY(f->form->control<StringGrid>("TransformGrid")->cell(c, r).isEmpty());
    for (int c = 0; c < 7; ++c)
        for (int r = 0; r < 4; ++r)
            QVERIFY(f->form->control<StringGrid>("ResistenceGrid")->cell(c, r).isEmpty());
    QCOMPARE(f->form->control<QComboBox>("Circuit")->currentText(), QString());
    QCOMPARE(f->form->control<QLineEdit>("Freq2")->text(), QStringLiteral("50"));
    QCOMPARE(f->form->control<QPlainTextEdit>("Conclusion")->toPlainText(), QStringLiteral("Трансформатор годен к эксплуатации"));
    QVERIFY(f->prompts.messages.isEmpty());
}

void TstMainWindow::clearLeavesOtherEntriesAlone()
{
    f->form->control<QComboBox>("Name")->setEditText(QStringLiteral("ТМ-250"));
    f->form->control<QLineEdit>("Temperature")->setText(QStringLiteral("18"));
    f->form->control<RadioGroup>("FasNumber")->setItemIndex(1);
    f->form->control<RadioGroup>("Material")->setItemIndex(0);
    for (QLineEdit *e : {f->form->control<QLineEdit>("RHL15"), f->form->control<QLineEdit>("RHL60"), f->form->control<QLineEdit>("UHL"), f->form->control<QLineEdit>("THL"), f->form->control<QLineEdit>("Rem"),
                         f->form->control<QLineEdit>("ProtocolNumber"), f->form->control<QLineEdit>("Investigator"), f->form->control<QLineEdit>("Chief"), f->form->control<QLineEdit>("OilAnalysis")})
        e->setText(QStringLiteral("5"));
    f->form->results().set(Results::measureCell(0, 0), QStringLiteral("10000.00"));
    f->form->control<QPlainTextEdit>("Firm")->setPlainText(QStringLiteral("Фирма"));
    f->form->control<QCheckBox>("IsolationCheckBox")->setChecked(true);
    f->form->control<RadioGroup>("RadioGroup2")->setItemIndex(3);

    QTest::mouseClick(f->form->control<QPushButton>("sBitBtn2"), Qt::LeftButton);

    QCOMPARE(f->form->control<QComboBox>("Name")->currentText(), QStringLiteral("ТМ-250"));
    QCOMPARE(f->form->control<QLineEdit>("Temperature")->text(), QStringLiteral("18"));
    QCOMPARE(f->form->control<RadioGroup>("FasNumber")->itemIndex(), 1);
    QCOMPARE(f->form->control<RadioGroup>("Material")->itemIndex(), 0);
    for (QLineEdit *e : {f->form->control<QLineEdit>("RHL15"), f->form->control<QLineEdit>("RHL60"), f->form->control<QLineEdit>("UHL"), f->form->control<QLineEdit>("THL"), f->form->control<QLineEdit>("Rem"),
                         f->form->control<QLineEdit>("ProtocolNumber"), f->form->control<QLineEdit>("Investigator"), f->form->control<QLineEdit>("Chief"), f->form->control<QLineEdit>("OilAnalysis")})
        QCOMPARE(e->text(), QStringLiteral("5"));
    QCOMPARE(f->form->control<StringGrid>("TransformGrid1")->cell(0, 0), QStringLiteral("10000.00"));
    QCOMPARE(f->form->control<QPlainTextEdit>("Firm")->toPlainText(), QStringLiteral("Фирма"));
    QVERIFY(f->form->control<QCheckBox>("IsolationCheckBox")->isChecked());
    QCOMPARE(f->form->control<RadioGroup>("RadioGroup2")->itemIndex(), 3);
}

void TstMainWindow::ctrlEFlipsDiagnosticsOnlyWhileTheWindowHoldsTheFocus()
{
    f->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->form));
    QVERIFY(f->form->control<QLabel>("Label3")->isHidden() && f->form->control<QLabel>("Label4")->isHidden());
    QVERIFY(!f->form->control<QPushButton>("Gauge")->isHidden());

    f->form->control<PageControl>("PageControl1")->setActivePage(f->form->control<QWidget>("sTabSheet6"));
    f->form->control<QLineEdit>("RepairNumber")->setFocus();
    QTest::keyClick(f->form->control<QLineEdit>("RepairNumber"), Qt::Key_E, Qt::ControlModifier);
    QVERIFY(f->form->control<QLabel>("Label3")->isHidden());
    QVERIFY(!f->form->control<QPushButton>("Gauge")->isHidden());

    f->form->control<QLineEdit>("RepairNumber")->clearFocus();
    f->form->setFocus();
    QTest::keyClick(f->form, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(!f->form->control<QLabel>("Label3")->isHidden() && !f->form->control<QLabel>("Label4")->isHidden());
    QVERIFY(f->form->control<QPushButton>("Gauge")->isHidden());
    QVERIFY(f->form->control<QLabel>("Label8")->isHidden());

    QTest::keyClick(f->form, Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(f->form->control<QLabel>("Label3")->isHidden() && f->form->control<QLabel>("Label4")->isHidden());
    QVERIFY(!f->form->control<QPushButton>("Gauge")->isHidden());
}

void TstMainWindow::ctrlEWorksByTheKeyWhateverTheLayout_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<quint32>("virtualKey");
    QTest::addColumn<bool>("flips");
    const int cyrillicU = 0x0423, cyrillicK = 0x041A; // "У" on the key E, "К" on the key R
    QTest::newRow("Latin layout") << int(Qt::Key_E) << 26u << 0x65u << true;
    QTest::newRow("Russian layout under X11") << cyrillicU << 26u << 0x6d5u << true;
    QTest::newRow("Russian layout under Windows") << cyrillicU << 0x12u << 0x45u << true;
    QTest::newRow("the letter alone") << cyrillicU << 0u << 0u << true;
    QTest::newRow("Russian layout, the key R") << cyrillicK << 27u << 0x6cbu << false;
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    QTest::newRow("the key alone, no letter known") << int(Qt::Key_unknown) << 26u << 0u << true;
#endif
}

void TstMainWindow::ctrlEWorksByTheKeyWhateverTheLayout()
{
    QFETCH(int, key);
    QFETCH(quint32, scanCode);
    QFETCH(quint32, virtualKey);
    QFETCH(bool, flips);
    f->form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f->form));
    f->form->setFocus();
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier, scanCode, virtualKey, 0);
    QApplication::sendEvent(f->form, &press);
    QCOMPARE(!f->form->control<QLabel>("Label3")->isHidden(), flips);
    QCOMPARE(f->form->control<QPushButton>("Gauge")->isHidden(), flips);
    // The same key without Ctrl is no switch.
    QKeyEvent plain(QEvent::KeyPress, key, Qt::NoModifier, scanCode, virtualKey, 0);
    QApplication::sendEvent(f->form, &plain);
    QCOMPARE(!f->form->control<QLabel>("Label3")->isHidden(), flips);
}

void TstMainWindow::panelClickFlipsTheCountersAndPowers()
{
    QTest::mouseClick(f->form->control<QFrame>("sPanel1"), Qt::LeftButton);
    QVERIFY(!f->form->control<QLabel>("Label3")->isHidden() && !f->form->control<QLabel>("Label4")->isHidden() && !f->form->control<QLabel>("Label8")->isHidden());
    QVERIFY(!f->form->control<QPushButton>("Gauge")->isHidden());
    QTest::mouseClick(f->form->control<QFrame>("sPanel1"), Qt::LeftButton);
    QVERIFY(f->form->control<QLabel>("Label3")->isHidden() && f->form->control<QLabel>("Label4")->isHidden() && f->form->control<QLabel>("Label8")->isHidden());
}

void TstMainWindow::ctrlShiftClickOnTheWindowSurfaceFlipsThePowers()
{
    const QPoint surface(100, 400); // between the frames of the left column
    QVERIFY(f->form->childAt(surface) == nullptr);
    QTest::mouseClick(f->form, Qt::LeftButton, Qt::ControlModifier, surface);
    QVERIFY(f->form->control<QLabel>("Label3")->isHidden());
    QTest::mouseClick(f->form, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, surface);
    QVERIFY(!f->form->control<QLabel>("Label3")->isHidden() && !f->form->control<QLabel>("Label4")->isHidden());
    QVERIFY(f->form->control<QLabel>("Label8")->isHidden());
    // A click on a control is not a click on the window's surface.
    QTest::mouseClick(f->form->control<QLabel>("Uab"), Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!f->form->control<QLabel>("Label3")->isHidden());
}

void TstMainWindow::anErrorInAHandlerIsReportedAndTheProgramGoesOn()
{
    bool after = false;
    runGuarded([&] {
        throw BenchError(QStringLiteral("Unable to write to /x/varnek.tmp"));
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].text, QStringLiteral("Unable to write to /x/varnek.tmp"));
    QCOMPARE(f->prompts.messages[0].icon, PromptIcon::Error);
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
