#include "Unit5.h"

TForm5::TForm5(TForm1 *form1, QWidget *parent) : QDialog(parent), m_form1(form1)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Юстировка стенда"));
}
