#pragma once

#include <QIcon>

class QApplication;

// The program's icon: the picture of the menu entry (packaging/), drawn at the sizes a
// window manager and a task bar ask for, so that no image plugin is needed to show it.
QIcon programIcon();

// What the program sets up once its application object exists and before any window is
// made: its name (which names the user's data folder), the font, the C library's number
// notation (src/common/cnumbers.h) and the icon every window carries.
void prepareProgram(QApplication &app);
