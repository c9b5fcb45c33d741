#pragma once

#include "archivesettings.h"

#include <QString>
#include <functional>

// Copies every record of a local archive file (varnek.db) into an archive server, so a
// workshop that started on SQLite keeps its history when its benches share a server.
// Each record goes under a key made of what identifies it (protocol number, serial number,
// moment, revision and texts): run twice, or cut short and run again, nothing is copied
// twice. Records keep their order; on the server each becomes the next revision of its
// protocol, a repeat of the latest included, since each was produced.
struct ArchiveTransferSummary {
    int total = 0;   // records in the file
    int copied = 0;  // written to the server now
    int present = 0; // found on the server from an earlier run
    bool cancelled = false;
    QString problem; // why the copy stopped, empty when it did not

    // One text for the operator.
    QString text() const;
};

// Runs on the calling thread, which may wait on the server (a thread of its own for a
// window). `progress(done, total)` is called after each record; false from it cancels.
ArchiveTransferSummary copyArchiveFileToServer(const QString &file, const ArchiveSettings &server,
                                               const std::function<bool(int done, int total)> &progress = {});
