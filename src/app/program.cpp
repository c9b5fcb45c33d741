#include "dialoglanguage.h"
#include "errorreport.h"
#include "programwindows.h"

#include <QFont>

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    installRussianQtTexts(&app);

    ProgramWindows windows;
    windows.form1.show();
    // The preview and the port dialog are windows of their own; closing the main window
    // still ends the program.
    QObject::connect(&windows.form1, &TForm1::closed, &app, &QApplication::quit);
    return app.exec();
}
