#pragma once

#include <QDialog>

class TForm1;

// Calibration dialog: sends reference values to the bench; modal.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(TForm1 *form1, QWidget *parent = nullptr);

private:
    TForm1 *m_form1;
};
