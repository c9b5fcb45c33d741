#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class SerialChannel;

// Port settings dialog; modeless, the main window stays usable. It keeps no values of
// its own: it shows and sets the port number and speed of `channel`, and stores them in
// the settings file.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(SerialChannel *channel, QWidget *parent = nullptr);

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
    SerialChannel *m_channel;
};
