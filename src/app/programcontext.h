#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class TForm5;

// What the program takes from the place it runs in, handed to ProgramWindows once. The
// program leaves every field empty; a test or a benchmark fills the ones it stands in
// for, so nothing of one run is left behind in process-wide state for the next.
struct ProgramContext {
    // The folder of the key/value files; empty: the program's own records folder.
    QString recordsFolder;
    // Where serial devices are looked for; empty: the system's device folders.
    QString deviceFolder;
    // How the calibration dialog is run modally; empty: the dialog's own exec().
    std::function<void(TForm5 &)> modalRunner;
    // The link's monotonic milliseconds; empty: an elapsed timer started with the link.
    std::function<qint64()> linkClock;
};
