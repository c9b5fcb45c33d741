#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>

// One printed, saved or exported protocol as the archive keeps it.
struct ArchiveRecord {
    qint64 id = 0;          // given by the archive; 0 for a record not stored yet
    int revision = 0;       // 1 for the first of its protocol number and serial number
    QDateTime moment;       // when it was produced; the archive stamps "now" when invalid
    QString protocolNumber;
    QString type;
    QString serialNumber;
    QString firm;
    // Every field of both pages by its name; a rich text's lines joined by "\n".
    QMap<QString, QString> fields;
    // The two sheets in the sheet store's own saved form, kept as they came.
    QByteArray sheet1;
    QByteArray sheet2;
    // The main window's results by their state-file keys.
    QMap<QString, QString> results;
};

// What the list of the archive shows of a record.
struct ArchiveSummary {
    qint64 id = 0;
    int revision = 0;
    qint64 msecs = 0; // the moment in milliseconds since the epoch, UTC; cheap for 100 000 rows
    QString protocolNumber;
    QString type;
    QString serialNumber;
    QString firm;
};
