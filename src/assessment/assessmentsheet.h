#pragma once

#include "judgement.h"

#include <QDate>
#include <QList>
#include <QString>

class PageDocument;

// What heads the sheet besides the rows.
struct AssessmentSheetHeader {
    QString protocolNumber;
    QString type;
    QString serialNumber;
    QString norms; // which norms were applied, in words
    QString approval; // "Утверждено: …" of the stored protocol, empty while not approved
};

// The sheets "Оценка результатов испытаний к протоколу №…": a document of their own, apart
// from the protocol's two pages, as many A4 landscape pages as the rows take, the table's
// head repeated on each. Laid out with the report engine's own font measures, so paper,
// PDF and screen agree. Needs a QGuiApplication (fonts).
QList<PageDocument> assessmentPages(const AssessmentSheetHeader &header, const QList<AssessmentRow> &rows);

// The title as the first page shows it.
QString assessmentSheetTitle(const QString &protocolNumber);
