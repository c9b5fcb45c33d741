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
