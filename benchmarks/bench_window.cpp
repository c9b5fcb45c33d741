// Measures the program's own windows, created as the program entry creates them, from
// inside: the packet counter the operator reads, the window's screen updates, the processor
// time and the resident size of the process, the time to the first painted main window.
// Prints "name value" lines for benchmarks/run.sh; never part of ctest.
//
//   bench_window startup --runs 5 [--catalogue 10000]   the program's start and, in turn with
//                                                       it, bench_floor's bare window as the floor
//   bench_window link --emulator PATH --rate R --seconds S [--rss-at S2]
//   bench_window protocol

#include "boundsheet.h"
#include "errorreport.h"
#include "prompts.h"
#include "programwindows.h"

#include "cataloguefile.h"
#include "codepage1251.h"
#include "controls.h"
#include "recordslocation.h"
#include "serialchannel.h"
#include "sheetview.h"
#include "statefile.h"
#include "namedchild.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QProcess>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>

namespace {

qint64 monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double processorSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Resident set size in KiB, from the kernel's own accounting.
qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void out(const char *name, const QString &value)
{
    std::printf("%s %s\n", name, value.toUtf8().constData());
    std::fflush(stdout);
}

QString argument(const QStringList &args, const QString &name, const QString &fallback = {})
{
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
}

// Counts the screen updates of one top-level window (each a repaint of what changed and
// one flush to the display) and the paint events of its widgets.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *window)
        : m_window(window)
    {
        qApp->installEventFilter(this);
    }

    qint64 updates = 0;
    qint64 paints = 0;
    std::function<void()> firstPaint;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest && watched == m_window) {
            ++updates;
        } else if (event->type() == QEvent::Paint && watched->isWidgetType()
                   && static_cast<QWidget *>(watched)->window() == m_window) {
            ++paints;
            if (watched == m_window && firstPaint) {
                // Taken once the paint has been drawn and flushed, not as it begins.
                QTimer::singleShot(0, this, std::exchange(firstPaint, nullptr));
            }
        }
        return false;
    }

private:
    QWidget *m_window;
};

// The windows of the program, created in the program's order.
using Windows = ProgramWindows;

// The program on a device folder of the benchmark's own.
ProgramContext onDevices(const QString &folder)
{
    ProgramContext context;
    context.deviceFolder = folder;
    return context;
}

// A catalogue of `types` types and a state file with every key filled, as a workshop's
// files look after years of use; written directly, since saving type by type would
// rewrite the catalogue each time.
bool writeFullFiles(const QString &folder, int types)
{
    setRecordsDirectoryForTests(folder);
    QString catalogue;
    QString lastName;
    for (int i = 1; i <= types; ++i) {
        lastName = QStringLiteral("ТМ-%1/10-У1 исп.%2").arg(25 * (1 + i % 100)).arg(i);
        catalogue += QStringLiteral("[%1]\r\n").arg(lastName);
        const QList<QPair<QString, QString>> values{
            {CatalogueFile::UnomKey, QStringLiteral("400")},
            {CatalogueFile::Unom2Key, QStringLiteral("10000")},
            {CatalogueFile::InomKey, QString::number(36 + i % 500)},
            {CatalogueFile::Inom2Key, QStringLiteral("1.44")},
            {CatalogueFile::PnomKey, QString::number(25 * (1 + i % 100))},
            {CatalogueFile::Freq2Key, QStringLiteral("50")},
            {CatalogueFile::MaterialKey, QString::number(i % 2)},
            {CatalogueFile::FasNumberKey, QStringLiteral("1")},
            {CatalogueFile::TransformerWeightKey, QString::number(100 + i)},
            {CatalogueFile::CircuitKey, QStringLiteral("Y/Yн-0")},
        };
        for (const auto &[key, value] : values)
            catalogue += key + QLatin1Char('=') + value + QStringLiteral("\r\n");
    }
    QFile file(CatalogueFile::path());
    if (!file.open(QIODevice::WriteOnly) || file.write(encodeWindows1251(catalogue)) < 0)
        return false;
    file.close();

    QHash<QString, QString> state;
    int n = 0;
    for (const StateKey &key : StateFile::keys()) {
        ++n;
        switch (key.kind) {
        case StateKey::Kind::ListIndex:
            state.insert(key.key, QStringLiteral("1"));
            break;
        case StateKey::Kind::GridCell:
            state.insert(key.key, QString::number(1.0 + n / 100.0, 'f', 3));
            break;
        case StateKey::Kind::Text:
            state.insert(key.key, QString::number(10 + n));
            break;
        }
    }
    state.insert(QStringLiteral("Name"), lastName);
    state.insert(QStringLiteral("Temperature"), QStringLiteral("25"));
    state.insert(StateFile::ConclusionKey,
                 QStringLiteral("Трансформатор годен к эксплуатации\nпосле ремонта обмоток\nи замены масла"));
    try {
        StateFile::write(state);
    } catch (...) {
        return false;
    }
    return true;
}

// One start in a child process: the time from before the child exists to its main
// window painted, as the child measures it against the same clock.
int startupChild(int argc, char **argv, const QString &folder, qint64 startNs)
{
    setRecordsDirectoryForTests(folder);
    BenchApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    Windows w(onDevices(folder));
    PaintCounter counter(&w.form1);
    counter.firstPaint = [&] {
        const double ms = double(monotonicNs() - startNs) / 1e6;
        // What the start read, so that a file that was not found cannot pass for a fast start.
        out("types", QString::number(w.form1.control<QComboBox>("Name")->count()));
        out("name", w.form1.control<QComboBox>("Name")->currentText());
        out("widgets", QString::number(w.form1.findChildren<QWidget *>().size() + 1));
        out("painted_ms", QString::number(ms, 'f', 1));
        // Timed as a whole process too: the figure is the start, so the child leaves at once,
        // as the floor does, without the close that writes the state.
        std::_Exit(0);
    };
    w.form1.show();
    QTimer::singleShot(30000, &app, [&] { app.exit(1); });
    return app.exec();
}

// One child's time from before it was started to its window painted, and what it printed.
std::optional<double> timedChild(const QString &program, QStringList arguments, QList<QByteArray> *lines)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    arguments.append(QString::number(monotonicNs()));
    child.start(program, arguments);
    if (!child.waitForFinished(60000) || child.exitCode() != 0)
        return std::nullopt;
    *lines = child.readAllStandardOutput().trimmed().split('\n');
    if (lines->isEmpty() || !lines->last().startsWith("painted_ms "))
        return std::nullopt;
    return lines->last().mid(11).toDouble();
}

void outTimes(const char *prefix, QList<double> times)
{
    std::sort(times.begin(), times.end());
    const QByteArray p(prefix);
    out((p + "_median_ms").constData(), QString::number(times.at(times.size() / 2), 'f', 1));
    out((p + "_min_ms").constData(), QString::number(times.first(), 'f', 1));
    out((p + "_max_ms").constData(), QString::number(times.last(), 'f', 1));
}

int startup(const QStringList &args)
{
    const int runs = argument(args, QStringLiteral("--runs"), QStringLiteral("5")).toInt();
    const int types = argument(args, QStringLiteral("--catalogue"), QStringLiteral("0")).toInt();
    const QString floor = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_floor");
    QList<double> times, floorTimes;
    for (int i = 0; i < runs; ++i) {
        // Fresh files for each run: a start rewrites nothing, but leave nothing to chance.
        QTemporaryDir dir;
        if (types > 0 && !writeFullFiles(dir.path(), types)) {
            out("error", QStringLiteral("cannot write the files"));
            return 1;
        }
        QList<QByteArray> lines;
        const std::optional<double> ms =
            timedChild(QCoreApplication::applicationFilePath(), {QStringLiteral("startup-child"), dir.path()}, &lines);
        if (!ms || lines.size() != 4) {
            out("error", ms ? QString::fromUtf8(lines.join(' ')) : QStringLiteral("a start did not paint its window"));
            return 1;
        }
        times.append(*ms);
        const QString widgets = QString::fromUtf8(lines.at(2).mid(8));
        if (i == 0) {
            out("types", QString::fromUtf8(lines.at(0).mid(6)));
            out("name", QString::fromUtf8(lines.at(1).mid(5)));
            out("widgets", widgets);
        }
        // The floor right after, so that both see the machine as it is now.
        QList<QByteArray> floorLines;
        const std::optional<double> floorMs = timedChild(floor, {widgets}, &floorLines);
        if (!floorMs) {
            out("error", QStringLiteral("the bare window did not paint"));
            return 1;
        }
        floorTimes.append(*floorMs);
    }
    outTimes("startup", times);
    outTimes("floor", floorTimes);
    out("qt", QString::fromLatin1(qVersion()));
    return 0;
}

// Waits for `condition` in the event loop, looking every 20 ms (a busy loop would count as
// the window's processor time); false after `ms`.
bool waitFor(const std::function<bool()> &condition, int ms)
{
    if (condition())
        return true;
    QDeadlineTimer deadline(ms);
    QEventLoop loop;
    QTimer look;
    look.setInterval(20);
    bool met = false;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        met = condition();
        if (met || deadline.hasExpired())
            loop.quit();
    });
    look.start();
    loop.exec();
    return met;
}

// Shows the main window and waits for its first paint; false, with the reason printed,
// when it never comes.
bool showPainted(TForm1 &form1, PaintCounter &counter)
{
    bool painted = false;
    counter.firstPaint = [&] { painted = true; };
    form1.show();
    if (waitFor([&] { return painted; }, 30000))
        return true;
    out("error", QStringLiteral("the main window was never painted"));
    return false;
}

QHash<QByteArray, QByteArray> readReport(const QString &path)
{
    QHash<QByteArray, QByteArray> values;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                values.insert(parts[0], parts[1]);
        }
    return values;
}

// The window on the page "Омическое сопротивление", which opens the port without rated
// data, fed by the emulator at `rate` packets a second for `seconds`.
int link(int argc, char **argv, const QStringList &args)
{
    const QString emulator = argument(args, QStringLiteral("--emulator"));
    const double rate = argument(args, QStringLiteral("--rate")).toDouble();
    const double seconds = argument(args, QStringLiteral("--seconds"), QStringLiteral("10")).toDouble();
    const double rssAt = argument(args, QStringLiteral("--rss-at"), QStringLiteral("-1")).toDouble();
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());

    BenchApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    Windows w(onDevices(dir.path()));
    PaintCounter counter(&w.form1);
    if (!showPainted(w.form1, counter))
        return 1;
    // Let the start settle before the resident size counts as "after start".
    waitFor([] { return false; }, 1000);
    out("rss_start_kib", QString::number(residentKiB()));

    const QString reportFile = dir.filePath(QStringLiteral("sent.txt"));
    QProcess bench;
    QByteArray notes;
    bench.start(emulator, {QStringLiteral("--dir"), dir.path(), QStringLiteral("--port"), QStringLiteral("10"),
                           QStringLiteral("--rate"), QString::number(rate), QStringLiteral("--duration"),
                           QString::number(seconds), QStringLiteral("--report"), reportFile});
    if (!waitFor([&] { return bench.canReadLine() || bench.state() == QProcess::NotRunning; }, 10000)
        || !bench.readLine().startsWith("COM10 -> ")) {
        out("error", QStringLiteral("the emulator did not start: ") + QString::fromLocal8Bit(bench.readAllStandardError()));
        return 1;
    }
    auto noted = [&](const char *text) {
        notes += bench.readAllStandardError();
        return notes.contains(text);
    };

    // As the operator does: a click on the tab, which opens the port.
    const qint64 updates0 = counter.updates;
    const qint64 paints0 = counter.paints;
    const double cpu0 = processorSeconds();
    QElapsedTimer wall;
    wall.start();
    w.form1.control<PageControl>("PageControl1")->tabButton(TForm1::PageResistence)->click();
    if (!waitFor([&] { return noted("the port was opened"); }, 10000)) {
        out("error", QStringLiteral("the port did not open; status bar: ") + w.form1.control<QLabel>("StatusBarMain")->text());
        return 1;
    }
    std::optional<qint64> rssAtMark;
    if (rssAt >= 0)
        QTimer::singleShot(std::chrono::milliseconds(std::llround(rssAt * 1000)), &app,
                           [&] { rssAtMark = residentKiB(); });
    // The emulator says when its time is out; a generous limit in case it falls behind.
    const bool done = waitFor([&] { return noted("packets sent; stopping"); }, int(seconds * 3000) + 30000);
    const double elapsed = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = processorSeconds() - cpu0;
    const qint64 updates = counter.updates - updates0;
    const qint64 paints = counter.paints - paints0;

    // The counter settles once the last packets have been read and shown.
    QString shown = w.form1.control<QLabel>("Label2")->text();
    QElapsedTimer still;
    still.start();
    waitFor([&] {
        if (w.form1.control<QLabel>("Label2")->text() != shown) {
            shown = w.form1.control<QLabel>("Label2")->text();
            still.restart();
        }
        return still.elapsed() >= 1000;
    }, 20000);
    const QString counted = shown.section(QLatin1Char(' '), 1);
    const QString failed = w.form1.control<QLabel>("Label8")->text().section(QLatin1Char(' '), 1);
    const qint64 rssEnd = residentKiB();

    bench.terminate();
    bench.waitForFinished(10000);
    const QHash<QByteArray, QByteArray> sent = readReport(reportFile);
    out("rate", QString::number(rate));
    out("finished", done ? QStringLiteral("yes") : QStringLiteral("no"));
    out("sent", QString::fromLatin1(sent.value("sent", "?")));
    out("refused", QString::fromLatin1(sent.value("dropped", "?")));
    out("send_seconds", QString::fromLatin1(sent.value("seconds", "?")));
    out("counted", counted);
    out("failed", failed);
    out("seconds", QString::number(elapsed, 'f', 2));
    out("cpu_percent", QString::number(100.0 * cpu / elapsed, 'f', 1));
    out("updates_per_s", QString::number(double(updates) / elapsed, 'f', 1));
    out("paints_per_s", QString::number(double(paints) / elapsed, 'f', 1));
    if (rssAtMark)
        out("rss_mark_kib", QString::number(*rssAtMark));
    out("rss_end_kib", QString::number(rssEnd));
    out("qt", QString::fromLatin1(qVersion()));
    return 0;
}

// Press of "Протокол" to the first page painted in the preview.
int protocol(int argc, char **argv)
{
    QTemporaryDir dir;
    setRecordsDirectoryForTests(dir.path());
    BenchApplication app(argc, argv);
    app.setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    Windows w(onDevices(dir.path()));
    PaintCounter counter(&w.form1);
    if (!showPainted(w.form1, counter))
        return 1;
    w.form1.control<PageControl>("PageControl1")->tabButton(TForm1::PageProtocol)->click();
    PaintCounter preview(&w.form4);
    bool previewPainted = false;
    preview.firstPaint = [&] { previewPainted = true; };
    QElapsedTimer wall;
    wall.start();
    w.form1.control<QPushButton>("Previw")->click();
    if (!waitFor([&] { return previewPainted; }, 10000)) {
        out("preview", QStringLiteral("not built (the button \"%1\" shows no preview)").arg(w.form1.control<QPushButton>("Previw")->text()));
        return 0;
    }
    out("preview_ms", QString::number(double(wall.nsecsElapsed()) / 1e6, 'f', 1));

    // The save dialog answers with a file of the temporary folder; nothing else is asked.
    class FilePrompts : public Prompts {
    public:
        QString path;
        QString openPath;
        void showMessage(QWidget *, const QString &caption, const QString &text, PromptIcon) override
        {
            out("message", caption + QStringLiteral(": ") + text);
        }
        QString openFileName(QWidget *, const FileRequest &) override { return openPath; }
        QString saveFileName(QWidget *, const FileRequest &) override { return path; }
        bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
        bool setUpPrinter(QWidget *, QPrinter *) override { return false; }
    } prompts;
    Prompts *previous = Prompts::install(&prompts);
    prompts.path = dir.filePath(QStringLiteral("protocol.pdf"));
    const auto medianMs = [](const std::function<void()> &run) {
        QList<double> ms;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            run();
            ms.append(double(t.nsecsElapsed()) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    };
    out("pdf_ms", QString::number(medianMs([&] { w.form4.QRSavePdfClick(); }), 'f', 1));
    out("pdf_bytes", QString::number(QFile(prompts.path).size()));
    // The printer's own file output, as a print to a file from the print dialog gives it.
    w.form4.printer().setOutputFormat(QPrinter::PdfFormat);
    w.form4.printer().setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
    out("print_ms", QString::number(medianMs([&] { w.form4.QRPrintClick(); }), 'f', 1));

    // The heaviest pair "Открыть" still takes, repainted in the view at the zoom it has.
    const QByteArray bound = boundSheetFile();
    prompts.openPath = dir.filePath(QStringLiteral("bound.qrp"));
    for (const QString &name : {prompts.openPath, dir.filePath(QStringLiteral("bound"))}) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bound) != bound.size())
            return 1;
    }
    w.form4.QROpenClick();
    QWidget *page = namedChild<SheetView>(&w.form4, QStringLiteral("QRPreview1"))->viewport();
    page->repaint();
    out("bound_bytes", QString::number(bound.size()));
    out("bound_zoom", QString::number(namedChild<SheetView>(&w.form4, QStringLiteral("QRPreview1"))->zoom()));
    out("bound_repaint_ms", QString::number(medianMs([&] { page->repaint(); }), 'f', 1));
    Prompts::install(previous);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    const QString mode = args.value(0);
    if (mode == QLatin1String("startup-child"))
        return startupChild(argc, argv, args.value(1), args.value(2).toLongLong());
    if (mode == QLatin1String("startup")) {
        QCoreApplication app(argc, argv);
        return startup(args);
    }
    if (mode == QLatin1String("link"))
        return link(argc, argv, args);
    if (mode == QLatin1String("protocol"))
        return protocol(argc, argv);
    std::fprintf(stderr, "usage: bench_window startup|link|protocol ...\n");
    return 2;
}
