#include "closeonsignal.h"
#include "commandline.h"
#include "dialoglanguage.h"
#include "errorreport.h"
#include "programstart.h"
#include "programversion.h"
#include "programwindows.h"
#include "recordslocation.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    // Answered before the application exists: no display is needed for them.
    if (const std::optional<QByteArray> answer = commandLineAnswer(argc, argv)) {
        std::fwrite(answer->constData(), 1, size_t(answer->size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
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
