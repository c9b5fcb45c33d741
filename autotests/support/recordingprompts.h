#pragma once

#include "prompts.h"

#include <QList>
#include <functional>

// Stands in for the message boxes and dialogs: records what would have been shown and
// returns at once with the answers the test scripted.
class RecordingPrompts : public Prompts {
public:
    struct Message {
        QString caption;
        QString text;
        PromptIcon icon;
    };
    enum class FileDialogKind { Open, Save };
    struct FileDialog {
        FileDialogKind kind;
        FileRequest request;
    };

    RecordingPrompts() { m_previous = Prompts::install(this); }
    ~RecordingPrompts() override { Prompts::install(m_previous); }

    void showMessage(QWidget *, const QString &caption, const QString &text, PromptIcon icon) override
    {
        messages.append({caption, text, icon});
        if (onMessage)
            onMessage();
    }

    QString openFileName(QWidget *, const FileRequest &request) override
    {
        return answerFileDialog(FileDialogKind::Open, request);
    }

    QString saveFileName(QWidget *, const FileRequest &request) override
    {
        return answerFileDialog(FileDialogKind::Save, request);
    }

    // "Нет" unless the test scripts the answers, in the order the questions come.
    bool askYesNo(QWidget *, const QString &caption, const QString &text) override
    {
        questions.append({caption, text, PromptIcon::Information});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }

    // Cancelled unless the test scripts the operator's choice.
    bool setUpPrinter(QWidget *, QPrinter *printer) override
    {
        ++printSetups;
        return onPrinterSetUp ? onPrinterSetUp(printer) : false;
    }

    QList<Message> messages;
    QList<Message> questions;
    QList<bool> yesNoAnswers;
    std::function<void()> onMessage; // runs while the "box" is up, as a modal box would let events run

    // Answers of the file dialogs in the order they are asked; none left is a cancel.
    QStringList fileAnswers;
    QList<FileDialog> fileDialogs;

    std::function<bool(QPrinter *)> onPrinterSetUp;
    int printSetups = 0;

private:
    QString answerFileDialog(FileDialogKind kind, const FileRequest &request)
    {
        fileDialogs.append({kind, request});
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    Prompts *m_previous = nullptr;
};
