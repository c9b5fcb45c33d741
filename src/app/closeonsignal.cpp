#include "closeonsignal.h"

#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef Q_OS_UNIX
namespace {

int pipeEnds[2] = {-1, -1};
constexpr int Signals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int number)
{
    // Only async-signal-safe work here: wake the event loop.
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[0], &byte, 1);
}

} // namespace
#endif

CloseOnSignal::CloseOnSignal(QWidget *window)
    : QObject(nullptr)
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, window, [window] {
        char byte = 0;
        if (::read(pipeEnds[1], &byte, 1) == 1)
            window->close();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int number : Signals)
        ::sigaction(number, &action, nullptr);
#else
    Q_UNUSED(window);
#endif
}

CloseOnSignal::~CloseOnSignal()
{
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    for (int number : Signals)
        std::signal(number, SIG_DFL);
    delete m_notifier;
    m_notifier = nullptr;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
#endif
}
