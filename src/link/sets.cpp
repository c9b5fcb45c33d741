#include "sets.h"

TForm2::TForm2(TForm1 *form1, QWidget *parent) : QDialog(parent), m_form1(form1)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Настройки порта"));
}
