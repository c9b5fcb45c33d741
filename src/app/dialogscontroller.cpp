#include "dialogscontroller.h"

#include "errorreport.h"
#include "linkcontroller.h"
#include "sets.h"
#include "Unit5.h"

#include <QLabel>
#include <QPushButton>

DialogsController::DialogsController(LinkController &link, const Ui::Form1 &form, TForm2 &portSettings,
                                     TForm5 &calibration)
    : Ui::Form1(form), m_link(link), Form2(&portSettings), Form5(&calibration)
{
    connect(sBitBtn3, &QPushButton::clicked, this, [this] { runGuarded([this] { sBitBtn3Click(); }); });
    connect(Gauge, &QPushButton::clicked, this, [this] { runGuarded([this] { GaugeClick(); }); });
    connect(Form2, &TForm2::settingsChosen, this,
            [this](const PortSettings &settings) { runGuarded([this, settings] { portSettingsChosen(settings); }); });
}

// Modeless: the main window and its link keep working while the dialog is open.
void DialogsController::sBitBtn3Click()
{
    if (Form2->isVisible()) {
        Form2->raise();
        Form2->activateWindow();
    } else {
        Form2->showSettings(m_link.portSettings());
        Form2->show();
    }
}

// The dialog closes once the settings are taken; a settings file that cannot be written
// keeps it open over the error report, with the settings taken for this run.
void DialogsController::portSettingsChosen(const PortSettings &settings)
{
    m_link.applyPortSettings(settings);
    Form2->hide();
}

// Packets keep arriving behind the modal dialog; the readouts are emptied around it so
// that none of them is taken for a reading of the calibrated bench, and the page change
// afterwards brings the link back as if the page had just been entered.
void DialogsController::GaugeClick()
{
    const auto emptyReadouts = [this] {
        for (QLabel *l : {Uab, Ubc, Uca, U_AB, U_BC, U_CA, Ia, Ib, Ic})
            l->clear();
    };
    emptyReadouts();
    Form5->ShowModal();
    m_link.PageControl1Change();
    emptyReadouts();
}
