#include "errorreport.h"
#include "main.h"
#include "report.h"
#include "sets.h"
#include "Unit4.h"
#include "Unit5.h"

#include <QFont>

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));

    // Creation order matters: the main window's creation runs before the others exist.
    TForm1 form1;
    TForm3 form3;
    TForm4 form4;
    TForm5 form5(form1.VaComm1);
    TForm2 form2(form1.VaComm1);
    form1.Form3 = &form3;
    form1.Form4 = &form4;
    form1.Form5 = &form5;
    form1.Form2 = &form2;
    form4.setDocument(&form3);

    form1.show();
    // The preview and the port dialog are windows of their own; closing the main window
    // still ends the program.
    QObject::connect(&form1, &TForm1::closed, &app, &QApplication::quit);
    return app.exec();
}
