#include "prompts.h"

#include "recordslocation.h"

#include <QFileDialog>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

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
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (QFileInfo(request.proposedName).isRelative())
        dialog.setDirectory(documentsDirectory());
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

bool WidgetPrompts::askYesNo(QWidget *owner, const QString &caption, const QString &text)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    QPushButton *yes = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool WidgetPrompts::setUpPrinter(QWidget *owner, QPrinter *printer)
{
    // The dialog hands its choice to `printer` only when it is accepted.
    QPrintDialog dialog(printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

QString askSaveFileName(QWidget *owner, const FileRequest &request, const QString &caption)
{
    const QString path = Prompts::current().saveFileName(owner, request);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return path;
    return Prompts::current().askYesNo(owner, caption,
                                       QStringLiteral("Файл %1 уже существует.\nЗаменить его?")
                                           .arg(QDir::toNativeSeparators(path)))
        ? path
        : QString();
}
