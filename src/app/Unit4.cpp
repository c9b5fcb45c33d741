#include "Unit4.h"

TForm4::TForm4(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Протокол"));
}
