#include "main.h"

#include "benchtables.h"
#include "controls.h"
#include "errorreport.h"
#include "instrumentranges.h"
#include "resultbinding.h"

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

    Ui::Form1::setupUi(this);
    Main = PageControl1->addPage(QStringLiteral("Main"), QStringLiteral("Трансформатор"));
    Idle = PageControl1->addPage(QStringLiteral("Idle"), QStringLiteral("Холостой ход"));
    Chort = PageControl1->addPage(QStringLiteral("Chort"), QStringLiteral("Короткое замыкание"));
    Transformations = PageControl1->addPage(QStringLiteral("Transformations"),
                                            QStringLiteral("Коэффициент трансформации"));
    Resistence = PageControl1->addPage(QStringLiteral("Resistence"),
                                       QStringLiteral("Омическое сопротивление"));
    sTabSheet6 = PageControl1->addPage(QStringLiteral("sTabSheet6"), QStringLiteral("Протокол"));
    PageControl1->finishTabs();
    Ui::PageMain::setupUi(Main);
    Ui::PageIdle::setupUi(Idle);
    Ui::PageChort::setupUi(Chort);
    Ui::PageTransformations::setupUi(Transformations);
    Ui::PageResistence::setupUi(Resistence);
    Ui::PageProtocol::setupUi(sTabSheet6);
    finishForms();
    m_inputErrors = std::make_unique<InputErrors>(*this, *PageControl1);


    for (QWidget *w : findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty())
            m_controls.insert(w->objectName(), w);
    }

    connectShell();
    FormCreate();
    // Before any controller connects to the entries: whoever reacts to a typed text finds
    // it in the record already.
    new ResultBinding(m_results, *this);
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

void TForm1::finishForms()
{
    // The range lists are the bench's own tables, which the scaling reads too.
    cbVoltage->addItems(voltageTransformerItems());
    cbCurrent->addItems(currentTransformerItems());
    sPanel1->installEventFilter(this);
    for (QLabel *slash : {sLabel8, sLabel9}) {
        QFont f = slash->font();
        f.setPixelSize(16);
        slash->setFont(f);
    }
    setTabChain({Name, FasNumber, TransformerWeight, Pnom, Unom2, Unom, Inom2, Inom, Freq2,
                 Circuit, Material, sButton6, sButton7});
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
    {
        using enum ResultId;
        for (ResultId id : {Uab00, Ubc00, Uca00, Ia00, Ic00, Ib00, Ixx00, Ixx01, Pxx00})
            m_results.clear(id);
        for (ResultId id : {Uab10, Ubc10, Uca10, Ukz100, Ukz101, Ukz102, Ukz110, Ukz111, Ukz112,
                            Ia10, Ic10, Ib10, Ikz10, Pkz10, Pkz11, Pkz12})
            m_results.clear(id);
    }
    for (int c = 0; c < TransformGridColumns; ++c)
        for (int r = 0; r < TransformGridRows; ++r)
            m_results.clear(Results::transformCell(c, r));
    m_results.clear(ResultId::Group);
    for (int c = 0; c < ResistenceGridColumns; ++c)
        for (int r = 0; r < ResistenceGridRows; ++r)
            m_results.clear(Results::resistenceCell(c, r));
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
    emit starting();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    emit closing();
    QWidget::closeEvent(event);
    emit closed();
}
