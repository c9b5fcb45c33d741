#include "main.h"

#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

void TForm1::setupRated()
{
    // While the focus is given back, the field it leaves is not left by the operator:
    // checking it would start a tug of war between two fields that both hold bad texts.
    auto checkOnExit = [this](QLineEdit *field, std::function<void()> handler) {
        onExit(field, [this, handler = std::move(handler)] {
            if (!m_givingFocusBack)
                runGuarded(handler);
        });
    };
    const std::pair<QLineEdit *, void (TForm1::*)()> rated[] = {
        {Pnom, &TForm1::PnomExit},   {Unom, &TForm1::UnomExit},   {Inom, &TForm1::InomExit},
        {Unom2, &TForm1::Unom2Exit}, {Inom2, &TForm1::Inom2Exit},
    };
    for (auto [field, handler] : rated)
        checkOnExit(field, [this, handler] { (this->*handler)(); });
    checkOnExit(Temperature, [this] { TemperatureExit(Temperature); });
    for (QLineEdit *e : {Thigh, RHigh60, RHigh15, RLow15, Uhigh, Tlow, RepairNumber, YearOfRepair,
                         RLow60, ProtocolNumber, RHL15, RHL60, THL})
        checkOnExit(e, [this, e] { TEditExit(e); });
    for (QLineEdit *e : {Ulow, UHL})
        checkOnExit(e, [this, e] { UlowExit(e); });
    connect(Material, &RadioGroup::clicked, this, [this] { runGuarded([this] { MaterialClick(); }); });
}

void TForm1::reportInputError(QWidget *field, const QString &message)
{
    // A click on a tab leaves the field and changes the page at once, and both check it:
    // one box for the one click.
    if (m_returningTo == field)
        return;
    Prompts::current().showMessage(this, InputErrorCaption, message, PromptIcon::Error);
    m_returningTo = field;
    // The focus is still on its way to the next control; take it back once it has arrived.
    QTimer::singleShot(0, field, [this, field] {
        m_returningTo = nullptr;
        m_givingFocusBack = true;
        // Left by a click on another tab, the field lies on a page no longer shown, where
        // the focus would take the operator's keys unseen: back to its page, with the link
        // as that page wants it.
        if (isVisible() && !field->isVisible()) {
            for (int i = 0; i < PageControl1->pageCount(); ++i) {
                QWidget *page = PageControl1->page(i);
                if (page->isAncestorOf(field) && page != PageControl1->activePage()) {
                    PageControl1->setActivePage(page);
                    emit pageChangedByProgram();
                }
            }
        }
        field->setFocus(Qt::OtherFocusReason);
        m_givingFocusBack = false;
        selectAllText(field);
    });
}

bool TForm1::enterRated(QLineEdit *field, int entryField)
{
    const EntryCheck check = enterValue(field->text(), EntryField(entryField), Rated);
    if (check.outcome != EntryCheck::Outcome::NotANumber)
        return true;
    reportInputError(field, check.message);
    return false;
}

bool TForm1::enterRatedFields(std::optional<EntryField> stopAt)
{
    const std::pair<QLineEdit *, EntryField> fields[] = {
        {Pnom, EntryField::Pnom}, {Unom, EntryField::Unom}, {Unom2, EntryField::Unom2},
        {Inom, EntryField::Inom}, {Inom2, EntryField::Inom2}};
    for (EntryField kind : RatedFieldOrder) {
        QLineEdit *field = std::find_if(std::begin(fields), std::end(fields),
                                        [kind](const auto &f) { return f.second == kind; })->first;
        enterRated(field, int(kind));
        if (kind == stopAt)
            return false;
    }
    MaterialClick();
    return true;
}

void TForm1::PnomExit() { enterRated(Pnom, int(EntryField::Pnom)); }
void TForm1::UnomExit() { enterRated(Unom, int(EntryField::Unom)); }
void TForm1::InomExit() { enterRated(Inom, int(EntryField::Inom)); }
void TForm1::Unom2Exit() { enterRated(Unom2, int(EntryField::Unom2)); }
void TForm1::Inom2Exit() { enterRated(Inom2, int(EntryField::Inom2)); }

void TForm1::TemperatureExit(QObject *sender)
{
    // The emptiness test belongs to the control that raised the event; at start-up that
    // is the window, so an empty restored temperature is reported, not passed over.
    const bool fromTemperature = sender == nullptr || sender == Temperature;
    const EntryCheck check =
        enterValue(Temperature->text(), EntryField::Temperature, Rated, fromTemperature);
    if (check.outcome == EntryCheck::Outcome::NotANumber)
        reportInputError(Temperature, check.message);
}

void TForm1::MaterialClick()
{
    Rated.MaterialConstant = materialConstantFor(Material->itemIndex());
}

void TForm1::TEditExit(QLineEdit *sender)
{
    const EntryCheck check = checkEntry(sender->text(), EntryField::Plain);
    if (check.outcome == EntryCheck::Outcome::NotANumber)
        reportInputError(sender, check.message);
}

void TForm1::UlowExit(QLineEdit *sender)
{
    TEditExit(sender);
}
