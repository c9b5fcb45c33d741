#pragma once

#include "prompts.h"

#include <QList>

// Stands in for the message boxes: records what would have been shown and returns at once.
class RecordingPrompts : public Prompts {
public:
    struct Message {
        QString caption;
        QString text;
        PromptIcon icon;
    };

    RecordingPrompts() { m_previous = Prompts::install(this); }
    ~RecordingPrompts() override { Prompts::install(m_previous); }

    void showMessage(QWidget *, const QString &caption, const QString &text, PromptIcon icon) override
    {
        messages.append({caption, text, icon});
        if (onMessage)
            onMessage();
    }

    QList<Message> messages;
    std::function<void()> onMessage; // runs while the "box" is up, as a modal box would let events run

private:
    Prompts *m_previous = nullptr;
};
