#pragma once

#include "settingsfile.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PortSettingsForm;
}

// Port settings dialog; modeless, the main window stays usable. It only shows the settings
// it is given and returns those the operator chose with "OK" (settingsChosen); the link
// applies and stores them, and closes the dialog once they are taken.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);
    ~TForm2() override;

    // Shows `settings` in the fields.
    void showSettings(const PortSettings &settings);
    // What the fields hold; throws BenchError for a speed that is not a whole number
    // above zero ("'…' is not a valid integer value", "Скорость '…' недопустима: …").
    PortSettings chosenSettings();

    void sButton1Click();
    void sButton2Click();

signals:
    // "OK" with settings that can be taken.
    void settingsChosen(const PortSettings &settings);

private:
    std::unique_ptr<Ui::PortSettingsForm> ui;
};
