#pragma once

#include <QString>

#include <functional>

// Where the records (varnek.ini, .dat, .tmp, the archive's varnek.db) are kept, and what
// to tell the operator about it.
struct RecordsFolderChoice {
    QString folder;
    bool programFolder = true; // false: the user's data folder
    QString notice;            // non-empty when files in the program's folder are passed over
};

// The program's own folder when the program may write there and into each of its record
// files that already lie there; otherwise `userFolder`. `mayWrite` answers for a folder
// or a file, so that a test can play a closed folder even as root.
RecordsFolderChoice chooseRecordsFolder(const QString &programFolder, const QString &userFolder,
                                        const std::function<bool(const QString &path)> &mayWrite);

// The choice for this process, made at the first call (a QCoreApplication must exist):
// the executable's folder, whatever the current working directory, or
// QStandardPaths::AppDataLocation, made when missing.
const RecordsFolderChoice &recordsFolderChoice();

// The folder of the records: recordsFolderChoice().folder, or the tests' folder.
QString recordsDirectory();

// Full path of `fileName` in that folder.
QString recordFilePath(const QString &fileName);

// What the main window says once at start about the records folder; empty when there is
// nothing to say or a test has pointed the records elsewhere.
QString recordsNotice();

// Where the file dialogs of the preview and of the archive's export start: the records
// folder when it is the program's folder, else the user's documents folder.
QString documentsDirectory();

// Points every reader and writer at `directory` instead, with `notice` as what to say about
// it; an empty text restores the program's choice. Meant for tests.
void setRecordsDirectoryForTests(const QString &directory, const QString &notice = QString());

// Removes what a write killed half-way leaves in the records folder: the temporary files
// of the three files' atomic replacement ("varnek.tmp.LCqdkX": a file's name, a full stop,
// six letters of mixed case). Nothing else is touched, links and folders of such names
// neither. Returns how many were removed.
int removeLeftOverTemporaries();
