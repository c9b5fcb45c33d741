#include "programstart.h"

#include "cnumbers.h"

#include <QApplication>
#include <QFont>

QIcon programIcon()
{
    // The pictures live in this static library: naming them pulls them into the executable.
    Q_INIT_RESOURCE(icons);
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/transformer-bench-%1.png").arg(size), QSize(size, size));
    return icon;
}

void prepareProgram(QApplication &app)
{
    keepCNumbers();
    // Names the user's data folder, whatever the executable is called.
    QCoreApplication::setApplicationName(QStringLiteral("transformer-bench"));
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    // Every window made later takes it: dialogs, the preview, the archive and its charts.
    QApplication::setWindowIcon(programIcon());
}
