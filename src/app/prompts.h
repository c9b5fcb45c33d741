#pragma once

#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

enum class PromptIcon { Error, Warning, Information };

// What a file dialog is asked to show; the answer is a full path, or empty after a cancel.
struct FileRequest {
    QString title;             // empty: the platform's own title
    QStringList filters;       // the first one is chosen at first
    QString defaultExtension;  // appended to a typed name without an extension
    QString proposedName;
    // Save dialogs only: asks before an existing file is replaced.
    bool confirmOverwrite = false;
};

// The one seam through which the program shows message boxes, file dialogs and the
// print set-up. Tests install a scripted fake so that no test ever waits on a real
// modal dialog.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void showMessage(QWidget *owner, const QString &caption, const QString &text,
                             PromptIcon icon) = 0;
    // The open dialog also accepts a name of a file that does not exist.
    virtual QString openFileName(QWidget *owner, const FileRequest &request) = 0;
    // Asks before an existing file is replaced only when the request says so.
    virtual QString saveFileName(QWidget *owner, const FileRequest &request) = 0;
    // Lets the operator change `printer` (printer, copies, page range, orientation);
    // false after a cancel, with `printer` unchanged.
    virtual bool setUpPrinter(QWidget *owner, QPrinter *printer) = 0;

    static Prompts &current();
    // Installs `prompts` (not owned) and returns the one it replaces; nullptr restores the real boxes.
    static Prompts *install(Prompts *prompts);
};

// The platform's modal message boxes (a single OK button), file dialogs and print dialog.
class WidgetPrompts : public Prompts {
public:
    void showMessage(QWidget *owner, const QString &caption, const QString &text,
                     PromptIcon icon) override;
    QString openFileName(QWidget *owner, const FileRequest &request) override;
    QString saveFileName(QWidget *owner, const FileRequest &request) override;
    bool setUpPrinter(QWidget *owner, QPrinter *printer) override;
};
