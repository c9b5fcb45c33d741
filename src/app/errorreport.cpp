#include "errorreport.h"

#include "bencherror.h"
#include "prompts.h"

#include <exception>

void reportError(const QString &text)
{
    Prompts::current().showMessage(nullptr, ErrorReportCaption, text, PromptIcon::Error);
}

namespace {
template <typename F>
bool runCatching(F &&f)
{
    try {
        f();
        return true;
    } catch (const BenchError &e) {
        reportError(e.text());
    } catch (const std::exception &e) {
        reportError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
} // namespace

void runGuarded(const std::function<void()> &handler)
{
    runCatching(handler);
}

bool BenchApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    runCatching([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
