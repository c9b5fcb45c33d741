#include "benchemulator.h"
#include "emulatoroptions.h"
#include "benchline.h"
#include "cnumbers.h"
#include "quitonsignal.h"
#include "recordslocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

#ifndef BENCH_APP_DIR
#define BENCH_APP_DIR "."
#endif

namespace {

// Installed beside the program, the link goes where that program keeps its records (its
// own folder when the user may write there, else the user's data folder, which the
// program also searches); in the build tree, beside the program it was built with.
QString defaultLinkFolder()
{
    const QString own = QCoreApplication::applicationDirPath();
    if (!QFileInfo::exists(QDir(own).filePath(QStringLiteral("transformer-bench"))))
        return QStringLiteral(BENCH_APP_DIR);
    const QString user = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                             .filePath(QStringLiteral("transformer-bench"));
    const RecordsFolderChoice choice =
        chooseRecordsFolder(own, user, [](const QString &path) { return QFileInfo(path).isWritable(); });
    if (!choice.programFolder)
        QDir().mkpath(choice.folder);
    return choice.folder;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    keepCNumbers();
    QCoreApplication::setApplicationName(QStringLiteral("bench-emulator"));

    const ParsedOptions parsed = parseEmulatorOptions(app.arguments(), defaultLinkFolder());
    if (!parsed.output.isEmpty()) {
        std::fputs(parsed.output.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!parsed.error.isEmpty())
        note(parsed.error + QStringLiteral("\n(see --help)"));
    if (!parsed.options)
        return parsed.exitCode;
    const EmulatorOptions &options = *parsed.options;

    QuitOnSignal quitOnSignal;
    BenchLine line;
    BenchEmulator emulator(options, &line);
    QString error;
    const QString linkPath = QDir(options.folder).absoluteFilePath(QStringLiteral("COM%1").arg(options.port));
    if (!emulator.prepare(&error) || !line.open(&error) || !line.publish(linkPath, options.force, &error)) {
        note(error);
        return 1;
    }

    // The one line scripts wait for: the link exists once it is printed.
    std::printf("COM%d -> %s\n", options.port, line.deviceName().toLocal8Bit().constData());
    std::fflush(stdout);

    QObject::connect(&emulator, &BenchEmulator::finished, &app, &QCoreApplication::exit);
    QObject::connect(&quitOnSignal, &QuitOnSignal::received, &app, [&app](int number) {
        note(QStringLiteral("stopped by signal %1").arg(number));
        app.exit(0);
    });
    emulator.start();
    const int exitCode = app.exec();
    line.close();
    note(QStringLiteral("%1 packets sent, %2 dropped for a full queue or a stall").arg(emulator.packetsSent()).arg(emulator.packetsDropped()));
    if (!emulator.writeReport(&error)) {
        note(error);
        return exitCode == 0 ? 1 : exitCode;
    }
    return exitCode;
}
