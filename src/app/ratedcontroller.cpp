#include "ratedcontroller.h"

#include "inputerrors.h"

#include "controls.h"
#include "errorreport.h"
#include "prompts.h"
#include "ratedentry.h"

#include <QLineEdit>
#include <QPointer>
#include <QTimer>

RatedController::RatedController(TForm1 &window) : ui(window.forms()), m_inputErrors(window.inputErrors())
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
        {ui.Pnom, &RatedController::PnomExit},   {ui.Unom, &RatedController::UnomExit},   {ui.Inom, &RatedController::InomExit},
        {ui.Unom2, &RatedController::Unom2Exit}, {ui.Inom2, &RatedController::Inom2Exit},
    };
    for (auto [field, handler] : rated)
        checkOnExit(field, [this, handler] { (this->*handler)(); });
    checkOnExit(ui.Temperature, [this] { TemperatureExit(ui.Temperature); });
    for (QLineEdit *e : {ui.Thigh, ui.RHigh60, ui.RHigh15, ui.RLow15, ui.Uhigh, ui.Tlow, ui.RepairNumber, ui.YearOfRepair,
                         ui.RLow60, ui.ProtocolNumber, ui.RHL15, ui.RHL60, ui.THL})
        checkOnExit(e, [this, e] { TEditExit(e); });
    for (QLineEdit *e : {ui.Ulow, ui.UHL})
        checkOnExit(e, [this, e] { UlowExit(e); });
    connect(ui.Material, &RadioGroup::clicked, this, [this] { runGuarded([this] { MaterialClick(); }); });
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
        {ui.Pnom, EntryField::Pnom}, {ui.Unom, EntryField::Unom}, {ui.Unom2, EntryField::Unom2},
        {ui.Inom, EntryField::Inom}, {ui.Inom2, EntryField::Inom2}};
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

void RatedController::PnomExit() { enterRated(ui.Pnom, int(EntryField::Pnom)); }
void RatedController::UnomExit() { enterRated(ui.Unom, int(EntryField::Unom)); }
void RatedController::InomExit() { enterRated(ui.Inom, int(EntryField::Inom)); }
void RatedController::Unom2Exit() { enterRated(ui.Unom2, int(EntryField::Unom2)); }
void RatedController::Inom2Exit() { enterRated(ui.Inom2, int(EntryField::Inom2)); }

void RatedController::TemperatureExit(QObject *sender)
{
    // The emptiness test belongs to the control that raised the event; at start-up that
    // is the window, so an empty restored temperature is reported, not passed over.
    const bool fromTemperature = sender == nullptr || sender == ui.Temperature;
    const EntryCheck check =
        enterValue(ui.Temperature->text(), EntryField::Temperature, Rated, fromTemperature);
    if (check.outcome == EntryCheck::Outcome::NotANumber)
        m_inputErrors.report(ui.Temperature, check.message);
}

void RatedController::MaterialClick()
{
    Rated.MaterialConstant = materialConstantFor(ui.Material->itemIndex());
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
