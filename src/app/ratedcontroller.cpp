#include "ratedcontroller.h"

#include "inputerrors.h"

#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

RatedController::RatedController(const Ui::Form1 &form, const Ui::PageMain &main,
                                 const Ui::PageProtocol &protocol, InputErrors &inputErrors)
    : Ui::Form1(form), Ui::PageMain(main), Ui::PageProtocol(protocol), m_inputErrors(inputErrors)
{
    // While the focus is given back, the field it leaves is not left by the operator:
    // checking it would start a tug of war between two fields that both hold bad texts.
    auto checkOnExit = [this](QLineEdit *field, std::function<void()> handler) {
        onExit(field, [this, handler = std::move(handler)] {
            if (!m_inputErrors.givingFocusBack())
                runGuarded(handler);
        });
    };
    const std::pair<QLineEdit *, void (RatedController::*)()> rated[] = {
        {Pnom, &RatedController::PnomExit},   {Unom, &RatedController::UnomExit},   {Inom, &RatedController::InomExit},
        {Unom2, &RatedController::Unom2Exit}, {Inom2, &RatedController::Inom2Exit},
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

bool RatedController::enterRated(QLineEdit *field, int entryField)
{
    const EntryCheck check = enterValue(field->text(), EntryField(entryField), Rated);
    if (check.outcome != EntryCheck::Outcome::NotANumber)
        return true;
    m_inputErrors.report(field, check.message);
    return false;
}

bool RatedController::enterRatedFields(std::optional<EntryField> stopAt)
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

void RatedController::PnomExit() { enterRated(Pnom, int(EntryField::Pnom)); }
void RatedController::UnomExit() { enterRated(Unom, int(EntryField::Unom)); }
void RatedController::InomExit() { enterRated(Inom, int(EntryField::Inom)); }
void RatedController::Unom2Exit() { enterRated(Unom2, int(EntryField::Unom2)); }
void RatedController::Inom2Exit() { enterRated(Inom2, int(EntryField::Inom2)); }

void RatedController::TemperatureExit(QObject *sender)
{
    // The emptiness test belongs to the control that raised the event; at start-up that
    // is the window, so an empty restored temperature is reported, not passed over.
    const bool fromTemperature = sender == nullptr || sender == Temperature;
    const EntryCheck check =
        enterValue(Temperature->text(), EntryField::Temperature, Rated, fromTemperature);
    if (check.outcome == EntryCheck::Outcome::NotANumber)
        m_inputErrors.report(Temperature, check.message);
}

void RatedController::MaterialClick()
{
    Rated.MaterialConstant = materialConstantFor(Material->itemIndex());
}

void RatedController::TEditExit(QLineEdit *sender)
{
    const EntryCheck check = checkEntry(sender->text(), EntryField::Plain);
    if (check.outcome == EntryCheck::Outcome::NotANumber)
        m_inputErrors.report(sender, check.message);
}

void RatedController::UlowExit(QLineEdit *sender)
{
    TEditExit(sender);
}
