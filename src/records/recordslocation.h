#pragma once

#include <QString>

// The folder of the three key/value files: the program's own folder, whatever the
// current working directory.
QString recordsDirectory();

// Full path of `fileName` in that folder.
QString recordFilePath(const QString &fileName);

// Points every reader and writer at `directory` instead; an empty text restores the
// program's folder. Meant for tests.
void setRecordsDirectoryForTests(const QString &directory);

// Removes what a write killed half-way leaves in the records folder: the temporary files
// of the three files' atomic replacement ("varnek.tmp.LCqdkX": a file's name, a full stop,
// six letters of mixed case). Nothing else is touched, links and folders of such names
// neither. Returns how many were removed.
int removeLeftOverTemporaries();
