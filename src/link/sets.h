#pragma once

#include <QDialog>

class TForm1;

// Port settings dialog; modeless, the main window stays usable.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1 *form1, QWidget *parent = nullptr);

private:
    TForm1 *m_form1;
};
