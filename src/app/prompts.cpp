#include "prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
Prompts *installed = nullptr;
}

Prompts &Prompts::current()
{
    static WidgetPrompts real;
    return installed ? *installed : real;
}

Prompts *Prompts::install(Prompts *prompts)
{
    Prompts *previous = installed;
    installed = prompts;
    return previous;
}

void WidgetPrompts::showMessage(QWidget *owner, const QString &caption, const QString &text,
                                PromptIcon icon)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    // Several messages in one box are separated by LF CR; the box shows them as lines.
    QString shown = text;
    shown.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    box.setText(shown);
    switch (icon) {
    case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case PromptIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

namespace {
QString runFileDialog(QWidget *owner, const FileRequest &request, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    if (!request.filters.isEmpty())
        dialog.selectNameFilter(request.filters.first());
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
    dialog.selectFile(request.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}
} // namespace

QString WidgetPrompts::openFileName(QWidget *owner, const FileRequest &request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

QString WidgetPrompts::saveFileName(QWidget *owner, const FileRequest &request)
{
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

bool WidgetPrompts::setUpPrinter(QWidget *owner, QPrinter *printer)
{
    // The dialog hands its choice to `printer` only when it is accepted.
    QPrintDialog dialog(printer, owner);
    return dialog.exec() == QDialog::Accepted;
}
