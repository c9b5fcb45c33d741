#include "sheetprinting.h"

#include "sheetrenderer.h"
#include "sheetstore.h"
#include "units.h"

#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

#ifdef Q_OS_UNIX
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace SheetPrinting {

namespace {

const QString NothingToPrint = QStringLiteral("Нет листа для печати.");

// Whether the local print service takes a connection: with none, the system lists no printer
// even where some are set up. A server named in CUPS_SERVER is taken as answering.
bool printServiceAnswers()
{
#ifdef Q_OS_UNIX
    if (!qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        return true;
    for (const char *path : {"/run/cups/cups.sock", "/var/run/cups/cups.sock"}) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return true; // nothing known
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path, sizeof address.sun_path - 1);
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected)
            return true;
    }
    return false;
#else
    return true;
#endif
}

} // namespace

PrintSystem printSystem()
{
    return {QPrinterInfo::availablePrinterNames(), printServiceAnswers()};
}

QString failureReason(const QPrinter &printer)
{
    return failureReason(printer.outputFileName(), printer.printerName(), printSystem());
}

QString failureReason(const QString &file, const QString &name, const PrintSystem &system)
{
    if (!file.isEmpty()) {
        const QFileInfo target(file);
        const QFileInfo folder(target.absolutePath());
        const QString shownFile = QDir::toNativeSeparators(target.absoluteFilePath());
        const QString shownFolder = QDir::toNativeSeparators(folder.absoluteFilePath());
        if (!folder.isDir())
            return QStringLiteral("Папки «%1» нет.").arg(shownFolder);
        if (target.isDir())
            return QStringLiteral("«%1» — папка, а не файл.").arg(shownFile);
        if (target.exists() && !target.isWritable())
            return QStringLiteral("Файл «%1» закрыт для записи.").arg(shownFile);
        if (!target.exists() && !folder.isWritable())
            return QStringLiteral("Нет права записи в папку «%1».").arg(shownFolder);
        return QStringLiteral("Файл «%1» не записан.").arg(shownFile);
    }
    if (system.printers.isEmpty()) {
        return system.serviceAnswers ? QStringLiteral("В системе не установлен ни один принтер.")
                                     : QStringLiteral("Служба печати (CUPS) не отвечает: принтеры недоступны.");
    }
    if (name.isEmpty())
        return QStringLiteral("Принтер не выбран, а принтер по умолчанию в системе не задан.");
    if (!system.printers.contains(name))
        return QStringLiteral("Принтера «%1» в системе нет.").arg(name);
    return QStringLiteral("Принтер «%1» не принял задание.").arg(name);
}

bool print(const SheetStore &store, QPrinter &printer, QString *error)
{
    const Sheet *sheet = store.sheet();
    if (!sheet || !store.isComplete()) {
        if (error)
            *error = NothingToPrint;
        return false;
    }
    return print(QList<Sheet>{*sheet}, printer, error);
}

bool print(const QList<Sheet> &sheets, QPrinter &printer, QString *error, const Overlay &overlay)
{
    const auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (sheets.isEmpty())
        return failed(NothingToPrint);
    // The range counts the job's sheets from 1; one that leaves them all out prints nothing, as asked.
    QList<const Sheet *> chosen;
    const bool ranged = printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty();
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if (!ranged || printer.pageRanges().contains(int(i) + 1))
            chosen.append(&sheets[i]);
    }
    if (chosen.isEmpty())
        return true;

    // Print systems that cannot make copies themselves get the sheets repeated.
    const int copies = printer.supportsMultipleCopies() ? 1 : qMax(1, printer.copyCount());
    QList<const Sheet *> order;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            order += chosen;
    } else {
        for (const Sheet *sheet : chosen)
            order += QList<const Sheet *>(copies, sheet);
    }

    // The sheet's own paper, one-sided, whatever the printer's default or the dialog's choice:
    // on Letter the bottom of an A4 sheet is cut, and the back of a sheet stays blank.
    printer.setDuplex(QPrinter::DuplexNone);
    const auto setPaper = [&printer](const Sheet &sheet) {
        printer.setPageSize(QPageSize(sheet.paperMm, QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch));
        printer.setPageOrientation(sheet.orientation);
    };
    setPaper(*order.first());
    QPainter painter;
    if (!painter.begin(&printer))
        return failed(failureReason(printer));
    for (qsizetype i = 0; i < order.size(); ++i) {
        const Sheet &sheet = *order[i];
        if (i > 0) {
            const Sheet &before = *order[i - 1];
            if (sheet.paperMm != before.paperMm || sheet.orientation != before.orientation)
                setPaper(sheet);
            if (!printer.newPage())
                break;
        }
        const double pxPerMm = Units::devicePerMm(printer.resolution());
        const QRectF paper = printer.paperRect(QPrinter::DevicePixel);
        const QRectF page = printer.pageRect(QPrinter::DevicePixel);
        SheetRenderer::render(painter, sheet, paper.topLeft() - page.topLeft(), pxPerMm);
        if (overlay)
            overlay(painter, &sheet - sheets.data(), paper.topLeft() - page.topLeft(), pxPerMm);
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return failed(failureReason(printer));
    return true;
}

} // namespace SheetPrinting
