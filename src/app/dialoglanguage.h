#pragma once

class QCoreApplication;

// Qt's own texts (the platform's file, print and page dialogs, standard buttons) in Russian,
// whatever the computer's language, as every other text of the program is Russian.
// Returns false when Qt's Russian catalogue is not installed; the dialogs then stay English.
bool installRussianQtTexts(QCoreApplication *app);
