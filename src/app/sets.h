#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TForm1;

// Port settings dialog; modeless, the main window stays usable. It keeps no values of
// its own: it shows and sets the port number and speed of the main window's channel.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1 *form1, QWidget *parent = nullptr);

    QLabel *sLabel1, *sLabel3, *sLabel2;
    QSpinBox *ComNum;
    QLineEdit *sEdit1;
    QPushButton *sButton1, *sButton2;

    void FormCreate();
    void FormShow();
    void sButton1Click();
    void sButton2Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    TForm1 *m_form1;
};
