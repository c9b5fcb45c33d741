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
    // Asks no confirmation before an existing file is replaced (askYesNo does, where wanted).
    virtual QString saveFileName(QWidget *owner, const FileRequest &request) = 0;
    // A question with the buttons "Да" and "Нет", "Нет" the default; true for "Да".
    virtual bool askYesNo(QWidget *owner, const QString &caption, const QString &text) = 0;
    // Lets the operator change `printer` (printer, copies, page range, orientation);
    // false after a cancel, with `printer` unchanged.
    virtual bool setUpPrinter(QWidget *owner, QPrinter *printer) = 0;

    static Prompts &current();
    // Installs `prompts` (not owned) and returns the one it replaces; nullptr restores the real boxes.
    static Prompts *install(Prompts *prompts);
};

// The save dialog for a file that is not replaced unasked: the chosen path, or empty after a
// cancel or after "Нет" to replacing the file that is there.
QString askSaveFileName(QWidget *owner, const FileRequest &request, const QString &caption);

// The platform's modal message boxes (a single OK button), file dialogs and print dialog.
class WidgetPrompts : public Prompts {
public:
    void showMessage(QWidget *owner, const QString &caption, const QString &text,
                     PromptIcon icon) override;
    QString openFileName(QWidget *owner, const FileRequest &request) override;
    QString saveFileName(QWidget *owner, const FileRequest &request) override;
    bool askYesNo(QWidget *owner, const QString &caption, const QString &text) override;
    bool setUpPrinter(QWidget *owner, QPrinter *printer) override;
};
