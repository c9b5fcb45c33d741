#pragma once

#include <QString>

#include <functional>

// Where the records (varnek.ini, .dat, .tmp, the archive's varnek.db) are kept, and what
// to tell the operator about it.
struct RecordsFolderChoice {
    QString folder;
    bool programFolder = true; // false: the user's data folder
    QString notice;            // non-empty when files in the program's folder are passed over
                               // or the folder cannot be used
    bool usable = true;        // false: the folder could not be made or may not be written
};

// The program's own folder when the program may write there and into each of its record
// files that already lie there; otherwise `userFolder`. `mayWrite` answers for a folder
// or a file, so that a test can play a closed folder even as root.
RecordsFolderChoice chooseRecordsFolder(const QString &programFolder, const QString &userFolder,
                                        const std::function<bool(const QString &path)> &mayWrite);

// Makes `folder` when it is missing; empty when records can be written there, else why
// not, for the operator ("на её месте файл").
QString makeRecordsFolder(const QString &folder);

// What the window says at start when the records folder cannot be used.
QString unusableFolderNotice(const QString &folder, const QString &reason);

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

// False when the records folder could not be made or written at start. The window said
// so then, once; what it writes by itself (settings as fields are left, the state at
// close) is then skipped rather than failing again with a box of its own.
bool recordsFolderUsable();

// Where the file dialogs of the preview and of the archive's export start: the records
// folder when it is the program's folder, else the user's documents folder.
QString documentsDirectory();

// Points every reader and writer at `directory` instead, with `notice` as what to say about
// it; an empty text restores the program's choice. Meant for tests. A directory with a
// file or a dangling link in its place, or below a file, counts as the unusable folder of
// a start, and without a notice of its own says so.
void setRecordsDirectoryForTests(const QString &directory, const QString &notice = QString());

// Removes what a write killed half-way leaves in the records folder: the temporary files
// of the three files' atomic replacement ("varnek.tmp.LCqdkX": a file's name, a full stop,
// six letters of mixed case). Nothing else is touched, links and folders of such names
// neither. Returns how many were removed.
int removeLeftOverTemporaries();
