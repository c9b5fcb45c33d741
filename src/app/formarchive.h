#pragma once

#include "archivewindow.h"
#include "main.h"
#include "protocolarchive.h"

#include <QPointer>
#include <memory>

// State of the archive of protocols kept by the main window: the one archive for the
// window's life, its window once asked for, and the preview whose protocols it records.
struct TForm1::ArchiveState {
    // The window reads the archive until it goes, so it goes first.
    ~ArchiveState() { delete window; }

    std::unique_ptr<ProtocolArchive> archive;
    QPointer<ArchiveWindow> window;
    QPointer<TForm4> preview;
    QMetaObject::Connection produced;
    // What the main window held when "Протокол" filled the document: the record must
    // describe the paper, not entries changed while the preview was open.
    ArchiveRecord filled;
};
