#pragma once

#include "pagedocument.h"

#include <QDate>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class SheetStore;

// Holder of the protocol's two page documents; never shown.
class TForm3 : public QObject {
    Q_OBJECT
public:
    explicit TForm3(QObject *parent = nullptr);
    ~TForm3() override;

    PageDocument StendReport;
    PageDocument StendReport2;

    // Installed by the preview window; called with page 1's new store before it is generated.
    std::function<void(const std::shared_ptr<SheetStore> &)> StendReportPreview;

    // By element name, on whichever page holds it; false for an unknown name or wrong kind.
    bool setCaption(const QString &name, const QString &text);
    bool setLines(const QString &name, const QStringList &lines);
    bool setWidthPx(const QString &name, double layoutPx);
    const ReportElement *element(const QString &name) const;

    // A new store for page 1 replaces the old one, the hook sees it, then page 1 is generated into it.
    void previewStendReport(const QDate &today = QDate::currentDate());
    // A new store for page 2 replaces the old one and receives the generated page.
    std::shared_ptr<SheetStore> prepareStendReport2(const QDate &today = QDate::currentDate());

    std::shared_ptr<SheetStore> stendReportStore() const { return m_store1; }
    std::shared_ptr<SheetStore> stendReport2Store() const { return m_store2; }

private:
    std::shared_ptr<SheetStore> m_store1;
    std::shared_ptr<SheetStore> m_store2;
};
