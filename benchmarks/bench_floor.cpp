// The floor of the start-up figure: a bare Qt window holding as many labels as the main
// window has widgets, same size and font, timed the same way from before the process exists
// to its first paint. It links Qt Widgets only.
//
//   bench_floor WIDGETS START_NS     prints "painted_ms MS" and ends

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window, qint64 startNs) : m_window(window), m_startNs(startNs)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            // Taken once the paint has been drawn and flushed, as the program's figure is.
            QTimer::singleShot(0, this, [this] {
                std::printf("painted_ms %.1f\n", double(monotonicNs() - m_startNs) / 1e6);
                std::fflush(stdout);
                std::_Exit(0); // as the program's child leaves: the figure is the start

            });
        }
        return false;
    }

private:
    QWidget *m_window;
    qint64 m_startNs;
    bool m_done = false;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int widgets = argc > 1 ? std::atoi(argv[1]) : 250;
    const qint64 startNs = argc > 2 ? std::atoll(argv[2]) : monotonicNs();
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    QWidget window;
    window.setFixedSize(896, 603);
    for (int i = 0; i < widgets; ++i) {
        auto *label = new QLabel(QStringLiteral("Метка %1").arg(i), &window);
        label->setGeometry(8 + (i % 10) * 88, 8 + (i / 10) * 22, 84, 20);
    }
    FirstPaint first(&window, startNs);
    window.show();
    QTimer::singleShot(30000, &app, [&] { app.exit(1); });
    return app.exec();
}
