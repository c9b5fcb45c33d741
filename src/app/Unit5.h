#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class RadioGroup;
class SerialChannel;

// Calibration dialog: sends the raw value the bench ought to report for a known
// reference, one quantity at a time, through `channel`; modal.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    // How ShowModal runs the dialog; empty: exec(). A test's runner opens it without a
    // nested event loop (open()), acts as the operator and closes it before returning, so
    // no test waits on a real modal dialog.
    using ModalRunner = std::function<void(TForm5 &)>;

    explicit TForm5(SerialChannel *channel, ModalRunner modalRunner = {}, QWidget *parent = nullptr);

    QFrame *VoltageGroupBox, *CurrentGroupBox, *ResistenceGroupBox;
    QCheckBox *VoltageCheckBox, *CurrentCheckBox, *ResistenceCheckBox;
    RadioGroup *VoltageRadioGroup, *ResistenceRadioGroup;
    QLineEdit *VoltageEdit, *CurrentEdit, *ResistenceEdit;
    QLabel *VoltageLabel, *CurrentLabel, *ResistenceLabel;
    QPushButton *GaugeButton;
    QStatusBar *StatusBar;

    void FormCreate();
    void FormActivate();
    // The click of all three check boxes.
    void VoltageCheckBoxClick();
    void ResistenceRadioGroupClick();
    void GaugeButtonClick();

    // Shows the dialog modally and returns once it has closed.
    void ShowModal();

protected:
    void showEvent(QShowEvent *event) override;

private:
    SerialChannel *m_channel;
    const ModalRunner m_modalRunner;
};
