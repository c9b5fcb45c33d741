#include "main.h"

#include "benchtables.h"
#include "controls.h"
#include "errorreport.h"
#include "formarchive.h"
#include "formassessment.h"
#include "formlink.h"
#include "formrecords.h"
#include "formtests.h"
#include "instrumentranges.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {


QLineEdit *makeEdit(QWidget *parent, const char *name, int x, int y, int w,
                    const QString &text = QString(), int h = 21)
{
    auto *e = new QLineEdit(text, parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, h);
    return e;
}

QPushButton *makeButton(QWidget *parent, const char *name, int x, int y, int w, int h,
                        const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, h);
    return b;
}

QComboBox *makeCombo(QWidget *parent, const char *name, int x, int y, int w,
                     const QStringList &items)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setGeometry(x, y, w, 21);
    return c;
}

QFrame *makeFrame(QWidget *parent, const char *name, int x, int y, int w, int h,
                  QFrame::Shape shape = QFrame::Box, QFrame::Shadow shadow = QFrame::Sunken)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QString::fromLatin1(name));
    f->setGeometry(x, y, w, h);
    f->setFrameShape(shape);
    f->setFrameShadow(shadow);
    return f;
}

// A frame with its title in the top edge.
QLabel *makeTitledFrame(QWidget *parent, QFrame *&frame, const char *frameName,
                        const char *titleName, int x, int y, int w, int h, const QString &title)
{
    frame = makeFrame(parent, frameName, x, y, w, h);
    auto *t = new QLabel(title, parent);
    t->setObjectName(QString::fromLatin1(titleName));
    QFont f = t->font();
    f.setBold(true);
    t->setFont(f);
    t->setAlignment(Qt::AlignCenter);
    t->setGeometry(x + 2, y + 4, w - 4, 18);
    return t;
}

RadioGroup *makeRadioGroup(QWidget *parent, const char *name, int x, int y, int w, int h,
                           const QString &caption, const QStringList &items, int columns,
                           int selected)
{
    auto *g = new RadioGroup(caption, items, columns, parent);
    g->setObjectName(QString::fromLatin1(name));
    g->setGeometry(x, y, w, h);
    g->setItemIndex(selected);
    return g;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(896, 603);
    setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    setBackgroundColour(this, WindowColour);
    setFocusPolicy(Qt::ClickFocus);

    buildLeftColumn();

    PageControl1 = new PageControl(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(227, 0, 669, 584);
    Main = PageControl1->addPage(QStringLiteral("Main"), QStringLiteral("Трансформатор"));
    Idle = PageControl1->addPage(QStringLiteral("Idle"), QStringLiteral("Холостой ход"));
    Chort = PageControl1->addPage(QStringLiteral("Chort"), QStringLiteral("Короткое замыкание"));
    Transformations = PageControl1->addPage(QStringLiteral("Transformations"),
                                            QStringLiteral("Коэффициент трансформации"));
    Resistence = PageControl1->addPage(QStringLiteral("Resistence"),
                                       QStringLiteral("Омическое сопротивление"));
    sTabSheet6 = PageControl1->addPage(QStringLiteral("sTabSheet6"), QStringLiteral("Протокол"));
    PageControl1->finishTabs();

    buildPageMain();
    buildPageIdle();
    buildPageChort();
    buildPageTransformations();
    buildPageResistence();
    buildPageProtocol();

    StatusBarMain = new QLabel(QStringLiteral("0"), this);
    StatusBarMain->setObjectName(QStringLiteral("StatusBarMain"));
    StatusBarMain->setGeometry(0, 584, 896, 19);
    StatusBarMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBarMain->setIndent(4);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(30000);

    for (QWidget *w : findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty())
            m_controls.insert(w->objectName(), w);
    }

    connectShell();
    setupLink();
    setupTests();
    setupRecords();
    setupDialogs();
    setupRated();
    setupArchive();
    setupAssessment();
    FormCreate();
}

TForm1::~TForm1() = default;

QWidget *TForm1::control(const QString &name) const
{
    return m_controls.value(name);
}

StringGrid *TForm1::grid(const QString &name) const
{
    return qobject_cast<StringGrid *>(m_controls.value(name));
}

void TForm1::buildLeftColumn()
{
    sLabelFX3 = makeTitledFrame(this, sBevel1, "sBevel1", "sLabelFX3", 8, 8, 209, 201,
                                QStringLiteral("Параметры входного сигнала"));
    StaticText148 = makeFramedLabel(this, "StaticText148", 15, 40, 66, 25, QStringLiteral("Uнн,B"));
    StaticText149 = makeFramedLabel(this, "StaticText149", 80, 40, 66, 25, QStringLiteral("Iнн,B"));
    StaticText150 = makeFramedLabel(this, "StaticText150", 145, 40, 66, 25, QStringLiteral("Uвн,B"));

    StaticText151 = makeFramedLabel(this, "StaticText151", 15, 64, 26, 25, QStringLiteral("Uab"));
    Uab = makeFramedLabel(this, "Uab", 40, 64, 41, 25);
    StaticText152 = makeFramedLabel(this, "StaticText152", 80, 64, 26, 25, QStringLiteral("Ia"));
    Ia = makeFramedLabel(this, "Ia", 105, 64, 41, 25);
    StaticText153 = makeFramedLabel(this, "StaticText153", 145, 64, 26, 25, QStringLiteral("Uab"));
    U_AB = makeFramedLabel(this, "U_AB", 170, 64, 41, 25);

    StaticText157 = makeFramedLabel(this, "StaticText157", 15, 88, 26, 25, QStringLiteral("Ubc"));
    Ubc = makeFramedLabel(this, "Ubc", 40, 88, 41, 25);
    StaticText159 = makeFramedLabel(this, "StaticText159", 80, 88, 26, 25, QStringLiteral("Ib"));
    Ib = makeFramedLabel(this, "Ib", 105, 88, 41, 25);
    StaticText161 = makeFramedLabel(this, "StaticText161", 145, 88, 26, 25, QStringLiteral("Ubc"));
    U_BC = makeFramedLabel(this, "U_BC", 170, 88, 41, 25);

    StaticText163 = makeFramedLabel(this, "StaticText163", 15, 112, 26, 25, QStringLiteral("Uca"));
    Uca = makeFramedLabel(this, "Uca", 40, 112, 41, 25);
    StaticText165 = makeFramedLabel(this, "StaticText165", 80, 112, 26, 25, QStringLiteral("Ic"));
    Ic = makeFramedLabel(this, "Ic", 105, 112, 41, 25);
    StaticText167 = makeFramedLabel(this, "StaticText167", 145, 112, 26, 25, QStringLiteral("Uca"));
    U_CA = makeFramedLabel(this, "U_CA", 170, 112, 41, 25);

    StaticText19 = makeFramedLabel(this, "StaticText19", 15, 144, 34, 33, QStringLiteral("Uab ср,В"));
    StaticText19->setWordWrap(true);
    Uab2 = makeFramedLabel(this, "Uab2", 48, 144, 65, 33);
    StaticText2 = makeFramedLabel(this, "StaticText2", 111, 144, 34, 33, QStringLiteral("Кф"));
    Kf = makeFramedLabel(this, "Kf", 144, 144, 66, 33);
    setBackgroundColour(Kf, WindowColour);
    setBackgroundColour(StaticText2, WindowColour);
    StaticText169 = makeFramedLabel(this, "StaticText169", 15, 176, 98, 25, QStringLiteral("Частота, Гц"));
    Freq = makeFramedLabel(this, "Freq", 111, 176, 99, 25);

    sPanel1 = makeFrame(this, "sPanel1", 8, 208, 209, 25, QFrame::Panel, QFrame::Sunken);
    sPanel1->installEventFilter(this);

    sLabelFX4 = makeTitledFrame(this, sBevel2, "sBevel2", "sLabelFX4", 8, 232, 209, 145,
                                QStringLiteral("Параметры стенда"));
    lbITN = makeLabel(this, "lbITN", 16, 283, QStringLiteral("ИТН"));
    cbVoltage = makeCombo(this, "cbVoltage", 48, 280, 161, voltageTransformerItems());
    lbITT = makeLabel(this, "lbITT", 16, 315, QStringLiteral("ИТТ"));
    cbCurrent = makeCombo(this, "cbCurrent", 48, 312, 161, currentTransformerItems());
    sLabel1 = makeLabel(this, "sLabel1", 40, 347, QStringLiteral("Температура"));
    Temperature = makeEdit(this, "Temperature", 112, 344, 41, QStringLiteral("25"));
    sLabel2 = makeLabel(this, "sLabel2", 160, 347, QStringLiteral("С"));

    sBitBtn2 = makeButton(this, "sBitBtn2", 8, 424, 209, 33, QStringLiteral("Очистить"));
    Label5 = makeLabel(this, "Label5", 16, 464, QStringLiteral("Получено пакетов"));
    lbCRC = makeLabel(this, "lbCRC", 140, 464, QString());
    lbCRC->setFixedWidth(77);
    Label2 = makeLabel(this, "Label2", 16, 480, QStringLiteral("VA 0"));
    Label6 = makeLabel(this, "Label6", 72, 480, QStringLiteral("R 0"));
    Label8 = makeLabel(this, "Label8", 120, 480, QStringLiteral("F 0"));
    Label7 = makeLabel(this, "Label7", 160, 480, QString());
    for (QLabel *l : {Label2, Label6, Label8, Label7})
        l->setFixedWidth(l == Label2 ? 56 : l == Label7 ? 57 : 48);
    setTextColour(Label2, RedColour);
    setTextColour(Label6, RedColour);
    setTextColour(Label8, RedColour);
    Label8->hide();
    Gauge = makeButton(this, "Gauge", 8, 504, 209, 33, QStringLiteral("Юстировка"));
    Gauge->setEnabled(false);
    sBitBtn3 = makeButton(this, "sBitBtn3", 8, 544, 209, 33, QStringLiteral("Настройки"));

    VoltageTransformer = new QCheckBox(QStringLiteral("Трансформатор напряжения 10кВ в 100В"), this);
    VoltageTransformer->setObjectName(QStringLiteral("VoltageTransformer"));
    VoltageTransformer->hide();
    Current = makeRadioGroup(this, "Current", 0, 0, 120, 41, QStringLiteral("Iвх, А"),
                             {QStringLiteral("5"), QStringLiteral("15"), QStringLiteral("50")}, 3, 0);
    Current->hide();
}

void TForm1::buildPageMain()
{
    QWidget *p = Main;
    sLabel3 = makeLabel(p, "sLabel3", 24, 24, QStringLiteral("Тип трансформатора"));
    Name = makeCombo(p, "Name", 24, 40, 201, {});
    Name->setCurrentIndex(-1);
    Name->setEditText(QString());
    sButton6 = makeButton(p, "sButton6", 240, 40, 75, 25, QStringLiteral("Сохранить"));
    sButton7 = makeButton(p, "sButton7", 344, 40, 75, 25, QStringLiteral("Удалить"));
    FasNumber = makeRadioGroup(p, "FasNumber", 24, 72, 121, 41, QStringLiteral("Число фаз"),
                               {QStringLiteral("Одна"), QStringLiteral("Три")}, 2, 1);
    sLabel4 = makeLabel(p, "sLabel4", 24, 130, QStringLiteral("Вес трансформатора"));
    TransformerWeight = makeEdit(p, "TransformerWeight", 136, 128, 41);
    sLabel5 = makeLabel(p, "sLabel5", 184, 130, QStringLiteral("кг"));
    sLabel6 = makeLabel(p, "sLabel6", 24, 154, QStringLiteral("Рном"));
    Pnom = makeEdit(p, "Pnom", 136, 152, 41);
    sLabel7 = makeLabel(p, "sLabel7", 184, 154, QStringLiteral("кВА"));
    sLabel10 = makeLabel(p, "sLabel10", 80, 192, QStringLiteral("ВН"));
    sLabel11 = makeLabel(p, "sLabel11", 144, 192, QStringLiteral("НН"));
    sLabel12 = makeLabel(p, "sLabel12", 24, 210, QStringLiteral("Uном"));
    Unom2 = makeEdit(p, "Unom2", 64, 208, 49);
    sLabel8 = makeLabel(p, "sLabel8", 118, 208, QStringLiteral("/"));
    Unom = makeEdit(p, "Unom", 128, 208, 49);
    sLabel14 = makeLabel(p, "sLabel14", 184, 210, QStringLiteral("B"));
    sLabel13 = makeLabel(p, "sLabel13", 24, 234, QStringLiteral("Iном"));
    Inom2 = makeEdit(p, "Inom2", 64, 232, 49);
    sLabel9 = makeLabel(p, "sLabel9", 118, 232, QStringLiteral("/"));
    Inom = makeEdit(p, "Inom", 128, 232, 49);
    sLabel15 = makeLabel(p, "sLabel15", 184, 234, QStringLiteral("A"));
    for (QLabel *slash : {sLabel8, sLabel9}) {
        QFont f = slash->font();
        f.setPixelSize(16);
        slash->setFont(f);
        slash->adjustSize();
    }
    sLabel16 = makeLabel(p, "sLabel16", 24, 266, QStringLiteral("Частота"));
    Freq2 = makeEdit(p, "Freq2", 128, 264, 49, QStringLiteral("50"));
    sLabel17 = makeLabel(p, "sLabel17", 184, 266, QStringLiteral("Гц"));
    sLabel18 = makeLabel(p, "sLabel18", 24, 298, QStringLiteral("Схема"));
    Circuit = makeCombo(p, "Circuit", 64, 296, 137,
                        {QStringLiteral("U / Uo - 0"), QStringLiteral("U / U - 0"),
                         QStringLiteral("U / D - 11"), QStringLiteral("U / Z - 11"),
                         QStringLiteral("D / U - 11"), QStringLiteral("I / I - 0"),
                         QStringLiteral("D / D - 0")});
    Circuit->setCurrentIndex(-1);
    Circuit->setEditText(QString());
    Material = makeRadioGroup(p, "Material", 32, 328, 169, 41, QStringLiteral("Материал обмоток"),
                              {QStringLiteral("медь"), QStringLiteral("алюминий")}, 2, 0);

    setTabChain({Name, FasNumber, TransformerWeight, Pnom, Unom2, Unom, Inom2, Inom, Freq2,
                 Circuit, Material, sButton6, sButton7});
}

void TForm1::buildPageIdle()
{
    QWidget *p = Idle;
    const QString heads[] = {QStringLiteral("Uab,B"), QStringLiteral("Ubc,B"),
                             QStringLiteral("Uca,B"), QStringLiteral("Ia,A"),
                             QStringLiteral("Ib,A"),  QStringLiteral("Ic,A"),
                             QStringLiteral("Ixx,A"), QStringLiteral("Ixx,%"),
                             QStringLiteral("Pxx,Вт")};
    const char *names[] = {"Uab00", "Ubc00", "Uca00", "Ia00", "Ib00",
                           "Ic00",  "Ixx00", "Ixx01", "Pxx00"};
    QLabel **cells[] = {&Uab00, &Ubc00, &Uca00, &Ia00, &Ib00, &Ic00, &Ixx00, &Ixx01, &Pxx00};
    for (int i = 0; i < 9; ++i) {
        const int x = 72 + 56 * i;
        makeFramedLabel(p, "", x, 48, 57, 20, heads[i], true);
        *cells[i] = makeFramedLabel(p, names[i], x, 67, 57, 33);
    }
    IdleState = makeButton(p, "IdleState", 72, 112, 506, 33, QStringLiteral("Пуск"));
    IdleState->setEnabled(false);
    Label3 = makeLabel(p, "Label3", 144, 200, QStringLiteral("Label3"));
    Label4 = makeLabel(p, "Label4", 144, 216, QStringLiteral("Label4"));
    Label3->setMinimumWidth(200);
    Label4->setMinimumWidth(200);
    Label3->hide();
    Label4->hide();
}

void TForm1::buildPageChort()
{
    QWidget *p = Chort;
    const QString heads[] = {QStringLiteral("Uab, B"), QStringLiteral("Ubc,B"),
                             QStringLiteral("Uca,B"),  QStringLiteral("Uкз,B"),
                             QStringLiteral("Uкз,%"),  QStringLiteral("Ia,A"),
                             QStringLiteral("Ib,A"),   QStringLiteral("Ic,A"),
                             QStringLiteral("Iкз,A"),  QStringLiteral("Pкз,Вт")};
    const char *row1[] = {"Uab10", "Ubc10", "Uca10", "Ukz100", "Ukz110",
                          "Ia10",  "Ib10",  "Ic10",  "Ikz10",  "Pkz10"};
    QLabel **cells1[] = {&Uab10, &Ubc10, &Uca10, &Ukz100, &Ukz110,
                         &Ia10,  &Ib10,  &Ic10,  &Ikz10,  &Pkz10};
    for (int i = 0; i < 10; ++i) {
        const int x = 40 + 56 * i;
        makeFramedLabel(p, "", x, 48, 57, 20, heads[i], true);
        *cells1[i] = makeFramedLabel(p, row1[i], x, 67, 57, 33);
    }
    StaticText111 = makeFramedLabel(p, "StaticText111", 40, 99, 169, 33,
                               QStringLiteral("Приведенное к Iном"), true);
    StaticText112 = makeFramedLabel(p, "StaticText112", 40, 131, 169, 33,
                               QStringLiteral("Приведенное к 75 С"), true);
    Ukz101 = makeFramedLabel(p, "Ukz101", 40 + 56 * 3, 99, 57, 33);
    Ukz111 = makeFramedLabel(p, "Ukz111", 40 + 56 * 4, 99, 57, 33);
    Pkz11 = makeFramedLabel(p, "Pkz11", 40 + 56 * 9, 99, 57, 33);
    Ukz102 = makeFramedLabel(p, "Ukz102", 40 + 56 * 3, 131, 57, 33);
    Ukz112 = makeFramedLabel(p, "Ukz112", 40 + 56 * 4, 131, 57, 33);
    Pkz12 = makeFramedLabel(p, "Pkz12", 40 + 56 * 9, 131, 57, 33);
    ShortState = makeButton(p, "ShortState", 40, 184, 561, 33, QStringLiteral("Пуск"));
    ShortState->setEnabled(false);
}

void TForm1::buildPageTransformations()
{
    QWidget *p = Transformations;
    RadioGroup1 = makeRadioGroup(p, "RadioGroup1", 50, 17, 555, 41, QString(),
                                 {QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"),
                                  QStringLiteral("IV"), QStringLiteral("V")}, 5, 0);
    for (int t = 0; t < 5; ++t) {
        makeFramedLabel(p, "", 50 + 110 * t, 55, 56, 24, QStringLiteral("U,B"), true);
        makeFramedLabel(p, "", 105 + 110 * t, 55, 56, 24, QStringLiteral("K"), true);
    }
    makeFramedLabel(p, "", 600, 24, 53, 55, QStringLiteral("Uном,B"), true);
    makeFramedLabel(p, "", 2, 24, 49, 55, QStringLiteral("Фаза"), true);
    makeFramedLabel(p, "", 2, 78, 49, 40, QStringLiteral("AB"), true);
    makeFramedLabel(p, "", 2, 117, 49, 40, QStringLiteral("BC"), true);
    makeFramedLabel(p, "", 2, 156, 49, 41, QStringLiteral("CA"), true);
    TransformGrid = new StringGrid(TransformGridColumns, TransformGridRows, 54, 38, p);
    TransformGrid->setObjectName(QStringLiteral("TransformGrid"));
    // Column 10 ends at the grid's edge under "Uном,B"; column 11 lies beyond the width.
    TransformGrid->setGeometry(50, 78, 603, 118);
    makeFramedLabel(p, "", 2, 195, 49, 40, QStringLiteral("Группа"), true);
    Group = makeFramedLabel(p, "Group", 50, 195, 56, 40);
    Transform = makeButton(p, "Transform", 5, 248, 649, 33, QStringLiteral("Пуск"));
    Transform->setEnabled(false);

    makeFramedLabel(p, "", 211, 319, 56, 24, QStringLiteral("Фаза"), true);
    makeFramedLabel(p, "", 266, 319, 56, 24, QStringLiteral("Uвн,B"), true);
    makeFramedLabel(p, "", 321, 319, 56, 24, QStringLiteral("K"), true);
    makeFramedLabel(p, "", 376, 319, 56, 24, QStringLiteral("Uнн,B"), true);
    makeFramedLabel(p, "", 211, 342, 56, 40, QStringLiteral("AB"), true);
    makeFramedLabel(p, "", 211, 381, 56, 40, QStringLiteral("BC"), true);
    makeFramedLabel(p, "", 211, 420, 56, 40, QStringLiteral("CA"), true);
    TransformGrid1 = new StringGrid(4, 3, 54, 38, p);
    TransformGrid1->setObjectName(QStringLiteral("TransformGrid1"));
    TransformGrid1->setGeometry(266, 342, 166, 118);
}

void TForm1::buildPageResistence()
{
    QWidget *p = Resistence;
    RadioGroup2 = makeRadioGroup(p, "RadioGroup2", 80, 24, 480, 41, QString(),
                                 {QStringLiteral("I"), QStringLiteral("II"), QStringLiteral("III"),
                                  QStringLiteral("IV"), QStringLiteral("V"), QStringLiteral("HH")},
                                 6, 0);
    makeFramedLabel(p, "", 10, 31, 71, 59, QStringLiteral("Фаза"), true);
    makeFramedLabel(p, "", 554, 31, 70, 59, QStringLiteral("Фаза"), true);
    for (int c = 0; c < 6; ++c)
        makeFramedLabel(p, "", 80 + 79 * c, 64, 80, 26, QStringLiteral("R,Oм"), true);
    RadioGroup3 = makeRadioGroup(p, "RadioGroup3", 10, 77, 71, 88, QString(),
                                 {QStringLiteral("AB"), QStringLiteral("CA"), QStringLiteral("BC")},
                                 1, 0);
    RadioGroup4 = makeRadioGroup(p, "RadioGroup4", 554, 77, 70, 88, QString(),
                                 {QStringLiteral("A0"), QStringLiteral("B0"), QStringLiteral("C0")},
                                 1, 0);
    ResistenceGrid = new StringGrid(ResistenceGridColumns, ResistenceGridRows, 78, 24, p);
    ResistenceGrid->setObjectName(QStringLiteral("ResistenceGrid"));
    ResistenceGrid->setGeometry(80, 89, 475, 101);
    sButton1 = makeButton(p, "sButton1", 555, 165, 70, 25, QStringLiteral("%"));
    Resist = makeButton(p, "Resist", 10, 200, 295, 33, QStringLiteral("Пуск"));
    Resist->setEnabled(false);
    ResistStop = makeButton(p, "ResistStop", 336, 200, 289, 33, QStringLiteral("Стоп"));
    ResistenceRange1 = makeRadioGroup(p, "ResistenceRange1", 10, 240, 620, 49,
                                      QStringLiteral("Предел измерения, Ом"),
                                      {QStringLiteral("200"), QStringLiteral("20"), QStringLiteral("2"),
                                       QStringLiteral("0.2"), QStringLiteral("0.01")},
                                      5, 0);
    cbAutoStop = new QCheckBox(QStringLiteral("Автоотключение по времени измерения"), p);
    cbAutoStop->setObjectName(QStringLiteral("cbAutoStop"));
    cbAutoStop->setGeometry(8, 312, 233, 19);
    cbAutoStop->setChecked(true);
    Button1 = makeButton(p, "Button1", 352, 328, 75, 25, QStringLiteral("CC"));
    Button2 = makeButton(p, "Button2", 448, 328, 75, 25, QStringLiteral("B5"));
    Label1 = makeLabel(p, "Label1", 176, 352, QStringLiteral("Label1"));
    Button1->hide();
    Button2->hide();
    Label1->hide();
}

void TForm1::buildPageProtocol()
{
    QWidget *page = sTabSheet6;
    sPanel4 = makeFrame(page, "sPanel4", 8, 8, 313, 297, QFrame::Panel, QFrame::Raised);
    QWidget *p = sPanel4;
    Firm = new QPlainTextEdit(p);
    Firm->setTabChangesFocus(true);
    Firm->setObjectName(QStringLiteral("Firm"));
    Firm->setGeometry(16, 8, 281, 49);
    sLabel30 = makeLabel(p, "sLabel30", 16, 75, QStringLiteral("Объем работ"));
    Rem = makeEdit(p, "Rem", 104, 72, 193, QStringLiteral("Капитальный ремонт"));
    sLabel28 = makeLabel(p, "sLabel28", 16, 112, QStringLiteral("Заводской №"));
    RepairNumber = makeEdit(p, "RepairNumber", 16, 128, 137);
    sLabel29 = makeLabel(p, "sLabel29", 160, 112, QStringLiteral("Год ремонта"));
    YearOfRepair = makeEdit(p, "YearOfRepair", 160, 128, 137);
    IsolationCheckBox = new QCheckBox(QStringLiteral("Испытание изоляции повышенной частотой"), p);
    IsolationCheckBox->setObjectName(QStringLiteral("IsolationCheckBox"));
    IsolationCheckBox->setGeometry(40, 256, 251, 19);

    sPanel5 = makeFrame(page, "sPanel5", 328, 8, 321, 297, QFrame::Panel, QFrame::Raised);
    struct OilRow { const char *name; const char *label; QString caption; int left; QLineEdit **edit; };
    const OilRow rows[] = {
        {"OilAnalysis", "sLabel19", QStringLiteral("Анализ масла №"), 104, &OilAnalysis},
        {"ElectricStrength", "sLabel20", QStringLiteral("Электрическая прочность"), 152, &ElectricStrength},
        {"WaterContent", "sLabel21", QStringLiteral("Содержание воды"), 112, &WaterContent},
        {"MechanicalImpurities", "sLabel22", QStringLiteral("Механические примеси"), 144, &MechanicalImpurities},
        {"WeightedCoalContent", "sLabel23", QStringLiteral("Содержание взвешанного угля"), 176, &WeightedCoalContent},
        {"Color", "sLabel24", QStringLiteral("Цвет"), 48, &Color},
        {"AcidNumber", "sLabel25", QStringLiteral("Кислотное число КОН"), 128, &AcidNumber},
        {"ReactionAqueousExtract", "sLabel26", QStringLiteral("Реакция водной вытяжки"), 152, &ReactionAqueousExtract},
        {"FlashTemperature", "sLabel27", QStringLiteral("Температура вспышки"), 144, &FlashTemperature},
    };
    for (int i = 0; i < 9; ++i) {
        makeLabel(sPanel5, rows[i].label, 10, 11 + 32 * i, rows[i].caption);
        *rows[i].edit = makeEdit(sPanel5, rows[i].name, rows[i].left, 8 + 32 * i, 313 - rows[i].left);
    }

    sLabelFX1 = makeTitledFrame(page, sBevel3, "sBevel3", "sLabelFX1", 8, 320, 313, 209,
                                QStringLiteral("Испытание изоляции"));
    makeFramedLabel(page, "", 40, 368, 44, 57);
    auto *rHead = makeFramedLabel(page, "", 83, 368, 87, 29, QStringLiteral("R изоляции, МОм"), true);
    rHead->setWordWrap(true);
    makeFramedLabel(page, "", 83, 396, 44, 29, QStringLiteral("15 сек"), true);
    makeFramedLabel(page, "", 126, 396, 44, 29, QStringLiteral("60 сек"), true);
    for (auto [x, text] : {std::pair{168, QStringLiteral("Кабс 60/15")},
                           std::pair{211, QStringLiteral("Uпов, кВ")},
                           std::pair{254, QStringLiteral("t, сек")}}) {
        auto *h = makeFramedLabel(page, "", x, 368, 44, 57, text, true);
        h->setWordWrap(true);
    }
    struct InsRow { QString label; int top; const char *names[5]; QLineEdit **edits[5]; };
    const InsRow ins[] = {
        {QStringLiteral("ВН - К"), 424, {"RHigh15", "RHigh60", "KabsHigh", "Uhigh", "Thigh"},
         {&RHigh15, &RHigh60, &KabsHigh, &Uhigh, &Thigh}},
        {QStringLiteral("НН - К"), 452, {"RLow15", "RLow60", "KabsLow", "Ulow", "Tlow"},
         {&RLow15, &RLow60, &KabsLow, &Ulow, &Tlow}},
        {QStringLiteral("ВН-НН"), 480, {"RHL15", "RHL60", "KabsHL", "UHL", "THL"},
         {&RHL15, &RHL60, &KabsHL, &UHL, &THL}},
    };
    const int lefts[] = {83, 126, 169, 212, 255};
    for (const InsRow &r : ins) {
        makeFramedLabel(page, "", 40, r.top, 44, 28, r.label, true);
        for (int k = 0; k < 5; ++k)
            *r.edits[k] = makeEdit(page, r.names[k], lefts[k], r.top, 43, QString(), 28);
    }

    sLabelFX2 = makeTitledFrame(page, sBevel4, "sBevel4", "sLabelFX2", 328, 320, 321, 209,
                                QStringLiteral("Заключение"));
    Conclusion = new QPlainTextEdit(QStringLiteral("+"), page);
    Conclusion->setObjectName(QStringLiteral("Conclusion"));
    Conclusion->setTabChangesFocus(true);
    Conclusion->setGeometry(344, 352, 289, 49);
    sLabel33 = makeLabel(page, "sLabel33", 344, 411, QStringLiteral("Протокол №"));
    ProtocolNumber = makeEdit(page, "ProtocolNumber", 416, 408, 217);
    sLabel31 = makeLabel(page, "sLabel31", 344, 432, QStringLiteral("Испытал"));
    Investigator = makeEdit(page, "Investigator", 344, 456, 137);
    ChiefName = makeEdit(page, "ChiefName", 496, 432, 137, QStringLiteral("Начальник ОТК"));
    Chief = makeEdit(page, "Chief", 496, 456, 137);
    Previw = makeButton(page, "Previw", 344, 480, 289, 25, QStringLiteral("Протокол"));
}

void TForm1::connectShell()
{
    connect(sBitBtn2, &QPushButton::clicked, this, [this] { runGuarded([this] { sBitBtn2Click(); }); });
}

// Captions are set again here, as they were laid out; refilling the two radio groups
// drops their selection, so a new window shows neither a phase count nor a material.
void TForm1::FormCreate()
{
    setWindowTitle(QStringLiteral("Электромагнитные испытания силовых трансформаторов"));
    FasNumber->setItems({QStringLiteral("Одна"), QStringLiteral("Три")});
    Material->setItems({QStringLiteral("медь"), QStringLiteral("алюминий")});
}

void TForm1::sBitBtn2Click()
{
    for (QLineEdit *e : {TransformerWeight, Pnom, Unom, Unom2, Inom, Inom2})
        e->clear();
    Circuit->setEditText(QString());
    Freq2->setText(QStringLiteral("50"));
    for (QLabel *l : {Uab00, Ubc00, Uca00, Ia00, Ic00, Ib00, Ixx00, Ixx01, Pxx00})
        l->clear();
    for (QLabel *l : {Uab10, Ubc10, Uca10, Ukz100, Ukz101, Ukz102, Ukz110, Ukz111, Ukz112,
                      Ia10, Ic10, Ib10, Ikz10, Pkz10, Pkz11, Pkz12})
        l->clear();
    TransformGrid->clearCells();
    Group->clear();
    ResistenceGrid->clearCells();
    RepairNumber->clear();
    Conclusion->setPlainText(QStringLiteral("Трансформатор годен к эксплуатации"));
    for (QLineEdit *e : {RHigh15, RHigh60, RLow15, RLow60, Uhigh, Ulow, Thigh, Tlow})
        e->clear();
}

void TForm1::toggleDiagnostics(Diagnostics which)
{
    if (which.testFlag(Diagnostic::Labels3And4)) {
        Label3->setVisible(Label3->isHidden());
        Label4->setVisible(Label4->isHidden());
    }
    if (which.testFlag(Diagnostic::Label8))
        Label8->setVisible(Label8->isHidden());
    if (which.testFlag(Diagnostic::Gauge))
        Gauge->setVisible(Gauge->isHidden());
}

void TForm1::sPanel1Click()
{
    toggleDiagnostics({Diagnostic::Labels3And4, Diagnostic::Label8});
}

namespace {

// The switch belongs to the key E wherever the layout puts its letter: operators type
// Russian, and then the key gives "У". The native codes name the key itself (Windows'
// virtual key 'E', the XKB keycode of E under X11 and Wayland, macOS' ANSI E).
bool isKeyE(const QKeyEvent *event)
{
    constexpr int KeyCyrillicU = 0x0423; // Qt's key for "У"/"у"
    if (event->key() == Qt::Key_E || event->key() == KeyCyrillicU)
        return true;
#if defined(Q_OS_WIN)
    return event->nativeVirtualKey() == 0x45;
#elif defined(Q_OS_MACOS)
    return event->nativeVirtualKey() == 0x0E;
#else
    return event->nativeScanCode() == 26;
#endif
}

} // namespace

void TForm1::keyPressEvent(QKeyEvent *event)
{
    // Only while the window itself holds the focus: a key an edit field does not use
    // must not reach the switch.
    QWidget *focus = focusWidget();
    if (isKeyE(event) && (event->modifiers() & Qt::ControlModifier)
        && (focus == nullptr || focus == this)) {
        toggleDiagnostics({Diagnostic::Labels3And4, Diagnostic::Gauge});
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm1::mousePressEvent(QMouseEvent *event)
{
    const auto mods = event->modifiers();
    if (childAt(event->position().toPoint()) == nullptr && (mods & Qt::ControlModifier)
        && (mods & Qt::ShiftModifier))
        toggleDiagnostics(Diagnostic::Labels3And4);
    QWidget::mousePressEvent(event);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (isIdleNameEnter(watched, event))
        return true;
    if (watched == sPanel1 && event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (sPanel1->rect().contains(me->position().toPoint()))
            runGuarded([this] { sPanel1Click(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    runGuarded([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent *event)
{
    runGuarded([this] { FormClose(); });
    QWidget::closeEvent(event);
    emit closed();
}
