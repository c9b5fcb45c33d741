#pragma once

#include "archivesettings.h"

#include <QString>
#include <functional>

// Copies every record of a file into an archive (a server, or another archive file): a
// local archive file (varnek.db), so a workshop that started on SQLite keeps its history
// when its benches share a server, or a file of records saved at close when no archive
// took them (the outbox's form).
// Each record goes under a key: an archive file's record under one made of what
// identifies it (protocol number, serial number, moment, revision and texts), a saved
// record under its own. Run twice, or cut short and run again, nothing is copied twice.
// Records keep their order; from an archive file each becomes the next revision of its
// protocol, a repeat of the latest included, since each was produced; a saved record is
// stored as at its printing, a repeat kept once.
struct ArchiveTransferSummary {
    int total = 0;   // records in the file
    int copied = 0;  // written now
    int present = 0; // found from an earlier run
    int refused = 0; // refused by the archive for what they hold; the others went on
    QString refusal; // the archive's reason for the first of them
    bool toServer = true;
    bool started = false; // the file was read as one of the two kinds
    bool cancelled = false;
    QString problem; // why the copy stopped, empty when it did not

    // One text for the operator.
    QString text() const;
};

// Runs on the calling thread, which may wait on the server (a thread of its own for a
// window). `progress(done, total)` is called after each record; false from it cancels.
ArchiveTransferSummary copyArchiveFile(const QString &file, const ArchiveSettings &target,
                                       const std::function<bool(int done, int total)> &progress = {});
