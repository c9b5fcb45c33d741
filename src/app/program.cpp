#include "closeonsignal.h"
#include "dialoglanguage.h"
#include "errorreport.h"
#include "programstart.h"
#include "programversion.h"
#include "programwindows.h"
#include "recordslocation.h"

int main(int argc, char *argv[])
{
    BenchApplication app(argc, argv);
    prepareProgram(app);
    QCoreApplication::setApplicationVersion(programVersion());
    // Where the records live is decided once, before any window reads them.
    recordsFolderChoice();
    installRussianQtTexts(&app);

    ProgramWindows windows;
    windows.form1.show();
    const CloseOnSignal closeOnSignal(&windows.form1);
    // The preview and the port dialog are windows of their own; closing the main window
    // still ends the program.
    QObject::connect(&windows.form1, &TForm1::closed, &app, &QApplication::quit);
    return app.exec();
}
