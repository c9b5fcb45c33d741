#pragma once

#include <QApplication>
#include <QString>
#include <functional>

// Caption of the general error report.
inline const QString ErrorReportCaption = QStringLiteral("Ошибка");

// Shows an error that ended a handler; the program goes on.
void reportError(const QString &text);

// Runs one event handler: an error it raises ends it and is reported, never propagated
// into Qt's event loop. Every connection of the windows goes through this.
void runGuarded(const std::function<void()> &handler);

// Last line of defence for anything that escapes a handler outside runGuarded.
class BenchApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override;
};
