#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class LinkController;

namespace Ui {
class CalibrationForm;
}

// Calibration dialog: sends the raw value the bench ought to report for a known
// reference, one quantity at a time, over the link; modal.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    // How ShowModal runs the dialog; empty: exec(). A test's runner opens it without a
    // nested event loop (open()), acts as the operator and closes it before returning, so
    // no test waits on a real modal dialog.
    using ModalRunner = std::function<void(TForm5 &)>;

    explicit TForm5(LinkController &link, ModalRunner modalRunner = {}, QWidget *parent = nullptr);
    ~TForm5() override;

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
    std::unique_ptr<Ui::CalibrationForm> ui;
    LinkController &m_link;
    const ModalRunner m_modalRunner;
};
