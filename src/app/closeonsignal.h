#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// SIGTERM, SIGINT and SIGHUP (a shutdown, a logout, a service manager) close the main
// window as the operator would, so that the working state is written as at every close.
// Each signal is caught once: a second one ends the program at once. One per program.
class CloseOnSignal : public QObject
{
public:
    explicit CloseOnSignal(QWidget *window);
    ~CloseOnSignal() override;

private:
    QSocketNotifier *m_notifier = nullptr;
};
