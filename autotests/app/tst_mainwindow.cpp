#include "controls.h"
#include "errorreport.h"
#include "main.h"
#include "recordingprompts.h"
#include "bencherror.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

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
    void radioGroupsStartWithNoSelection();
    void listsHoldTheirItems();
    void clearEmptiesTheEntriesOfTheTransformer();
    void clearLeavesOtherEntriesAlone();
    void ctrlEFlipsDiagnosticsOnlyWhileTheWindowHoldsTheFocus();
    void panelClickFlipsTheCountersAndPowers();
    void ctrlShiftClickOnTheWindowSurfaceFlipsThePowers();
    void anErrorInAHandlerIsReportedAndTheProgramGoesOn();

private:
    TForm1 *form = nullptr;
    RecordingPrompts *prompts = nullptr;
};

void TstMainWindow::init()
{
    prompts = new RecordingPrompts;
    form = new TForm1;
}

void TstMainWindow::cleanup()
{
    delete form;
    delete prompts;
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
    auto *w = form->findChild<QWidget *>(name);
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
    for (QLabel *l : form->findChild<QWidget *>(page)->findChildren<QLabel *>())
        shown << l->text();
    for (const QString &h : heads)
        QVERIFY2(shown.contains(h), qPrintable(h));
}

void TstMainWindow::windowHasItsFixedSizeAndCaption()
{
    QCOMPARE(form->size(), QSize(896, 603));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form->windowTitle(), QStringLiteral("Электромагнитные испытания силовых трансформаторов"));
    QCOMPARE(form->palette().color(QPalette::Window), QColor(211, 213, 220));
}

void TstMainWindow::everyTabCaptionIsFullyReadable()
{
    const QStringList captions{"Трансформатор", "Холостой ход", "Короткое замыкание",
                               "Коэффициент трансформации", "Омическое сопротивление", "Протокол"};
    QCOMPARE(form->PageControl1->pageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        QAbstractButton *tab = form->PageControl1->tabButton(i);
        QCOMPARE(tab->text(), captions[i]);
        QVERIFY(tab->width() >= tab->fontMetrics().horizontalAdvance(tab->text()) + 8);
        QVERIFY(form->PageControl1->rect().contains(tab->geometry()));
    }
}

void TstMainWindow::gridsHaveTheirSizeAndCannotBeEditedOrScrolled()
{
    struct { StringGrid *grid; int columns, rows; } grids[] = {
        {form->TransformGrid, 12, 3}, {form->TransformGrid1, 4, 3}, {form->ResistenceGrid, 7, 4}};
    for (auto g : grids) {
        QCOMPARE(g.grid->columnCount(), g.columns);
        QCOMPARE(g.grid->rowCount(), g.rows);
        QCOMPARE(g.grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(g.grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(g.grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(!(g.grid->item(0, 0)->flags() & Qt::ItemIsEditable));
    }
    // Nothing scrolls the cells away from their headings.
    form->TransformGrid->horizontalScrollBar()->setValue(2);
    form->TransformGrid->scrollTo(form->TransformGrid->model()->index(0, 11));
    QCOMPARE(form->TransformGrid->horizontalScrollBar()->value(), 0);
    QCOMPARE(form->TransformGrid->columnViewportPosition(0), 0);
    // Eleven columns of TransformGrid are visible, the twelfth lies beyond the width.
    QVERIFY(11 * 54 <= form->TransformGrid->width());
    QVERIFY(12 * 54 > form->TransformGrid->width());
}

void TstMainWindow::radioGroupsStartWithNoSelection()
{
    QCOMPARE(form->FasNumber->itemIndex(), -1);
    QCOMPARE(form->Material->itemIndex(), -1);
    QCOMPARE(form->FasNumber->items(), (QStringList{"Одна", "Три"}));
    QCOMPARE(form->Material->items(), (QStringList{"медь", "алюминий"}));
    QCOMPARE(form->RadioGroup1->itemIndex(), 0);
    QCOMPARE(form->RadioGroup2->items().last(), QStringLiteral("HH")); // Latin letters
    QCOMPARE(form->RadioGroup3->items(), (QStringList{"AB", "CA", "BC"}));
    QCOMPARE(form->RadioGroup4->items(), (QStringList{"A0", "B0", "C0"}));
    QCOMPARE(form->ResistenceRange1->items(), (QStringList{"200", "20", "2", "0.2", "0.01"}));
}

void TstMainWindow::listsHoldTheirItems()
{
    auto items = [](QComboBox *c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    };
    QCOMPARE(items(form->cbVoltage), (QStringList{"Не используется", "10кВ/100В", "35кВ/100В"}));
    QCOMPARE(items(form->cbCurrent),
             (QStringList{"Не используется", "15А/5А", "50А/5А", "100А/5А", "150А/5А", "200А/5А",
                          "250А/5А", "300А/5А", "350А/5А", "400А/5А"}));
    QCOMPARE(form->cbVoltage->currentIndex(), 0);
    QCOMPARE(form->cbCurrent->currentIndex(), 0);
    QCOMPARE(items(form->Circuit),
             (QStringList{"U / Uo - 0", "U / U - 0", "U / D - 11", "U / Z - 11", "D / U - 11",
                          "I / I - 0", "D / D - 0"}));
    QCOMPARE(form->Circuit->currentText(), QString());
}

void TstMainWindow::clearEmptiesTheEntriesOfTheTransformer()
{
    const QList<QLineEdit *> edits{form->TransformerWeight, form->Pnom, form->Unom, form->Unom2,
                                   form->Inom, form->Inom2, form->RepairNumber, form->RHigh15,
                                   form->RHigh60, form->RLow15, form->RLow60, form->Uhigh,
                                   form->Ulow, form->Thigh, form->Tlow};
    for (QLineEdit *e : edits)
        e->setText(QStringLiteral("7"));
    const QList<QLabel *> results{form->Uab00, form->Ixx01, form->Pxx00, form->Uab10,
                                  form->Ukz112, form->Ikz10, form->Pkz12, form->Group};
    for (QLabel *l : results)
        l->setText(QStringLiteral("1.0"));
    form->TransformGrid->setCell(11, 2, QStringLiteral("x"));
    form->TransformGrid->setCell(0, 0, QStringLiteral("x"));
    form->ResistenceGrid->setCell(6, 3, QStringLiteral("x"));
    form->Circuit->setEditText(QStringLiteral("U / U - 0"));
    form->Freq2->clear();
    form->Conclusion->setPlainText(QString());

    QTest::mouseClick(form->sBitBtn2, Qt::LeftButton);

    for (QLineEdit *e : edits)
        QVERIFY2(e->text().isEmpty(), qPrintable(e->objectName()));
    for (QLabel *l : results)
        QVERIFY2(l->text().isEmpty(), qPrintable(l->objectName()));
    for (int c = 0; c < 12; ++c)
        for (int r = 0; r < 3; ++r)
            QVERIFY(form->TransformGrid->cell(c, r).isEmpty());
    for (int c = 0; c < 7; ++c)
        for (int r = 0; r < 4; ++r)
            QVERIFY(form->ResistenceGrid->cell(c, r).isEmpty());
    QCOMPARE(form->Circuit->currentText(), QString());
    QCOMPARE(form->Freq2->text(), QStringLiteral("50"));
    QCOMPARE(form->Conclusion->toPlainText(), QStringLiteral("Трансформатор годен к эксплуатации"));
    QVERIFY(prompts->messages.isEmpty());
}

void TstMainWindow::clearLeavesOtherEntriesAlone()
{
    form->Name->setEditText(QStringLiteral("ТМ-250"));
    form->Temperature->setText(QStringLiteral("18"));
    form->FasNumber->setItemIndex(1);
    form->Material->setItemIndex(0);
    for (QLineEdit *e : {form->RHL15, form->RHL60, form->UHL, form->THL, form->Rem,
                         form->ProtocolNumber, form->Investigator, form->Chief, form->OilAnalysis})
        e->setText(QStringLiteral("5"));
    form->TransformGrid1->setCell(0, 0, QStringLiteral("10000.00"));
    form->Firm->setPlainText(QStringLiteral("Фирма"));
    form->IsolationCheckBox->setChecked(true);
    form->RadioGroup2->setItemIndex(3);

    QTest::mouseClick(form->sBitBtn2, Qt::LeftButton);

    QCOMPARE(form->Name->currentText(), QStringLiteral("ТМ-250"));
    QCOMPARE(form->Temperature->text(), QStringLiteral("18"));
    QCOMPARE(form->FasNumber->itemIndex(), 1);
    QCOMPARE(form->Material->itemIndex(), 0);
    for (QLineEdit *e : {form->RHL15, form->RHL60, form->UHL, form->THL, form->Rem,
                         form->ProtocolNumber, form->Investigator, form->Chief, form->OilAnalysis})
        QCOMPARE(e->text(), QStringLiteral("5"));
    QCOMPARE(form->TransformGrid1->cell(0, 0), QStringLiteral("10000.00"));
    QCOMPARE(form->Firm->toPlainText(), QStringLiteral("Фирма"));
    QVERIFY(form->IsolationCheckBox->isChecked());
    QCOMPARE(form->RadioGroup2->itemIndex(), 3);
}

void TstMainWindow::ctrlEFlipsDiagnosticsOnlyWhileTheWindowHoldsTheFocus()
{
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
    QVERIFY(form->Label3->isHidden() && form->Label4->isHidden());
    QVERIFY(!form->Gauge->isHidden());

    form->PageControl1->setActivePage(form->sTabSheet6);
    form->RepairNumber->setFocus();
    QTest::keyClick(form->RepairNumber, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(form->Label3->isHidden());
    QVERIFY(!form->Gauge->isHidden());

    form->RepairNumber->clearFocus();
    form->setFocus();
    QTest::keyClick(form, Qt::Key_E, Qt::ControlModifier);
    QVERIFY(!form->Label3->isHidden() && !form->Label4->isHidden());
    QVERIFY(form->Gauge->isHidden());
    QVERIFY(form->Label8->isHidden());

    QTest::keyClick(form, Qt::Key_E, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(form->Label3->isHidden() && form->Label4->isHidden());
    QVERIFY(!form->Gauge->isHidden());
}

void TstMainWindow::panelClickFlipsTheCountersAndPowers()
{
    QTest::mouseClick(form->sPanel1, Qt::LeftButton);
    QVERIFY(!form->Label3->isHidden() && !form->Label4->isHidden() && !form->Label8->isHidden());
    QVERIFY(!form->Gauge->isHidden());
    QTest::mouseClick(form->sPanel1, Qt::LeftButton);
    QVERIFY(form->Label3->isHidden() && form->Label4->isHidden() && form->Label8->isHidden());
}

void TstMainWindow::ctrlShiftClickOnTheWindowSurfaceFlipsThePowers()
{
    const QPoint surface(100, 400); // between the frames of the left column
    QVERIFY(form->childAt(surface) == nullptr);
    QTest::mouseClick(form, Qt::LeftButton, Qt::ControlModifier, surface);
    QVERIFY(form->Label3->isHidden());
    QTest::mouseClick(form, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier, surface);
    QVERIFY(!form->Label3->isHidden() && !form->Label4->isHidden());
    QVERIFY(form->Label8->isHidden());
    // A click on a control is not a click on the window's surface.
    QTest::mouseClick(form->Uab, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(!form->Label3->isHidden());
}

void TstMainWindow::anErrorInAHandlerIsReportedAndTheProgramGoesOn()
{
    bool after = false;
    RunGuarded([&] {
        throw BenchError(QStringLiteral("Unable to write to /x/varnek.tmp"));
        after = true;
    });
    QVERIFY(!after);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].text, QStringLiteral("Unable to write to /x/varnek.tmp"));
    QCOMPARE(prompts->messages[0].icon, PromptIcon::Error);
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
