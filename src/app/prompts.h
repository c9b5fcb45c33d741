#pragma once

#include <QString>

class QWidget;

enum class PromptIcon { Error, Warning, Information };

// The one seam through which the program shows message boxes. Tests install a
// scripted fake so that no test ever waits on a real modal dialog.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void showMessage(QWidget *owner, const QString &caption, const QString &text,
                             PromptIcon icon) = 0;
    // A save-file dialog: the chosen path, or an empty text when cancelled. Fakes that
    // do not script it cancel.
    virtual QString askSaveFileName(QWidget *owner, const QString &caption, const QString &proposedPath,
                                    const QString &filter)
    {
        Q_UNUSED(owner) Q_UNUSED(caption) Q_UNUSED(proposedPath) Q_UNUSED(filter)
        return {};
    }

    static Prompts &current();
    // Installs `prompts` (not owned) and returns the one it replaces; nullptr restores the real boxes.
    static Prompts *install(Prompts *prompts);
};

// Modal message boxes with a single OK button.
class WidgetPrompts : public Prompts {
public:
    void showMessage(QWidget *owner, const QString &caption, const QString &text,
                     PromptIcon icon) override;
    QString askSaveFileName(QWidget *owner, const QString &caption, const QString &proposedPath,
                            const QString &filter) override;
};
