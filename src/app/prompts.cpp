#include "prompts.h"

#include <QFileDialog>
#include <QMessageBox>

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

QString WidgetPrompts::askSaveFileName(QWidget *owner, const QString &caption, const QString &proposedPath,
                                       const QString &filter)
{
    return QFileDialog::getSaveFileName(owner, caption, proposedPath, filter);
}
