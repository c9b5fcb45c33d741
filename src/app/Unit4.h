#pragma once

#include "report.h"
#include "sheet.h"

#include <QDate>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <QList>

#include <memory>
#include <utility>

class QPrinter;
class QToolButton;
class SheetStore;
class SheetView;

namespace Ui {
class Form4;
}

// Names of a saved protocol, a pair of files of which the second is derived from the first.
namespace ProtocolFiles {
// The protocol title cut before its first "исп", together with the one blank in front of it.
QString proposedName(const QString &title);
// The page-2 partner of a page-1 file: its name less the last four characters
// (normally the extension); empty when nothing would be left.
QString secondPageName(const QString &firstPage);
// `text` as a file name on any common file system: no path separators, no characters that
// Windows refuses, no control characters, no blanks or dots at the end, not overly long.
QString fileSystemSafe(const QString &text);
// The name a PDF of the protocol is offered under, saying which protocol it is, e.g.
// "Протокол №12 зав. №345 10.12.2026.pdf"; parts that are empty are left out.
QString pdfName(const QString &title, const QString &serialNumber, const QDate &date);
// Where a new file is offered: the Documents folder, or the home folder when there is none.
QString proposedFolder();
} // namespace ProtocolFiles

// Preview window of the protocol: page 1 and page 2 in two views, zoom, print, printer
// set-up, save and open of the pair of files, and a two-page PDF.
class TForm4 : public QWidget {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    // The document holder whose pages the window shows; installs its preview hook.
    void setDocument(TForm3 *form3);

    // The printer settings in force for both pages; every job gets a printer of its own made
    // from them. Made when first asked for: the print system is slow to load and the
    // operator may never print.
    QPrinter &printer();
    QString proposedFileName() const { return m_proposedName; }
    // What page 1 or page 2 shows (an empty store before anything was shown).
    std::shared_ptr<SheetStore> pageStore(int page) const;

    // The hook of page 1: its new store goes to the first view and the window shows.
    void StendReportPreview(const std::shared_ptr<SheetStore> &store);
    void FormShow();

    void QROpenClick();
    void QRSaveClick();
    void QRPrintClick();
    void QRSetupClick();
    void QRFitToTextClick();
    void FitToWidthClick();
    void FitToPageClick();
    void PreviousClick();
    void NextClick();
    void QRSavePdfClick();

    // Shows sheets that come from elsewhere (an archived record) in place of the
    // document's pages; `title` gives the caption and the proposed file name.
    void showSheets(const std::shared_ptr<SheetStore> &page1, const std::shared_ptr<SheetStore> &page2,
                    const QString &title);
    // The views hold the pages generated from the document, not ones opened or handed in.
    bool showsDocumentPages() const { return m_documentPages; }

signals:
    // A print job of one page (1 or 2) has been handed to the printer.
    void pagePrinted(int page);
    // The document's own pages went to paper, to a saved pair or to a PDF, whole.
    void protocolProduced();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Shown maximised, or raised when it is already shown.
    void showInFront();
    // Caption, proposed name and a freshly generated page 2.
    void refreshFromDocument();
    bool loadInto(SheetView *view, const QString &path);
    bool saveStore(const SheetView *view, const QString &path);
    void reportSaveFailure(const QString &path);
    void showTitle(const QString &title);
    QString pdfProposedPath() const;
    bool bothPagesReady() const;
    // One print job of the sheets under the queue's name; a failure is reported for `page`.
    bool printJob(const QList<Sheet> &sheets, const QString &name, int page);
    QString printedDocumentName() const;

    std::unique_ptr<Ui::Form4> ui;
    QPointer<TForm3> m_document;
    std::unique_ptr<QPrinter> m_printer;
    // The toolbar's buttons still without their picture, until the window is first shown.
    QList<std::pair<QToolButton *, int>> m_toolBarPictures;
    QString m_proposedName;
    // The day the document's page 1 was generated, the date it prints.
    QDate m_pagesDate;
    bool m_documentPages = true;
};
