#include "report.h"

TForm3::TForm3(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form3"));
}
