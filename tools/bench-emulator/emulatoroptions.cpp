#include "emulatoroptions.h"

#include "benchpresets.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#include <bit>
#include <cmath>
#include <limits>

namespace {

struct ValueOption {
    const char *name;
    const char *unit;
    const char *description;
    double SignalValues::*field;
};

const ValueOption valueOptions[] = {
    {"uab", "V", "Line voltage Uab of the first voltage channels", &SignalValues::Uab},
    {"ubc", "V", "Line voltage Ubc of the first voltage channels", &SignalValues::Ubc},
    {"uca", "V", "Line voltage Uca of the first voltage channels", &SignalValues::Uca},
    {"u2ab", "V", "Line voltage U2ab of the second voltage channels, primary side", &SignalValues::U2ab},
    {"u2bc", "V", "Line voltage U2bc of the second voltage channels, primary side", &SignalValues::U2bc},
    {"u2ca", "V", "Line voltage U2ca of the second voltage channels, primary side", &SignalValues::U2ca},
    {"ia", "A", "Current Ia, primary side", &SignalValues::Ia},
    {"ib", "A", "Current Ib, primary side", &SignalValues::Ib},
    {"ic", "A", "Current Ic, primary side", &SignalValues::Ic},
    {"p1", "W", "Power reading P1, signed, primary side", &SignalValues::P1},
    {"p2", "W", "Power reading P2, signed, primary side", &SignalValues::P2},
    {"mean", "V", "Rectified mean of Uab (default with --uab: that of a pure sine)", &SignalValues::UabMean},
};

// Thirty times the 1724 packets a second of a 1 Mbit/s line fit with room to spare.
constexpr double MaxRate = 100000;

// A signalling not-a-number pattern, which the program must read as 0.
constexpr quint32 SignallingNaN = 0x7FA00000u;

class Reader
{
public:
    explicit Reader(const QCommandLineParser &p)
        : m_parser(p)
    {
    }

    bool has(const QString &name) const { return m_parser.isSet(name); }
    QString text(const QString &name) const { return m_parser.value(name); }

    // Reads a number option if given; false (with `error` set) if it is not a number in range.
    bool number(const QString &name, double lo, double hi, double &out)
    {
        if (!has(name))
            return true;
        bool ok = false;
        const double v = QLocale::c().toDouble(text(name).trimmed(), &ok);
        if (!ok || !std::isfinite(v) || v < lo || v > hi) {
            error = QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                        .arg(name, QLocale::c().toString(lo, 'g', 12), QLocale::c().toString(hi, 'g', 12), text(name));
            return false;
        }
        out = v;
        return true;
    }

    template<typename Int>
    bool integer(const QString &name, qint64 lo, qint64 hi, Int &out)
    {
        if (!has(name))
            return true;
        bool ok = false;
        const qint64 v = text(name).trimmed().toLongLong(&ok, 10);
        if (!ok || v < lo || v > hi) {
            error = QStringLiteral("--%1 wants a whole number from %2 to %3, not \"%4\"").arg(name).arg(lo).arg(hi).arg(text(name));
            return false;
        }
        out = Int(v);
        return true;
    }

    QString error;

private:
    const QCommandLineParser &m_parser;
};

QString presetList()
{
    QString out;
    for (const BenchPreset &p : benchPresets())
        out += QStringLiteral("%1\t%2 (current ratio %3, voltage ratio %4)\n")
                   .arg(p.name, p.description)
                   .arg(p.ratios.CurrentRatio)
                   .arg(p.ratios.VoltageRatio);
    return out;
}

} // namespace

ParsedOptions parseEmulatorOptions(const QStringList &arguments, const QString &defaultFolder)
{
    ParsedOptions result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the measuring unit of the transformer test bench on a pseudo-terminal linked as COM<n>.\n"
        "Prints \"COM<n> -> /dev/pts/<m>\" on standard output once the link exists."));
    parser.addHelpOption();
    const double maxDouble = std::numeric_limits<double>::max();
    auto add = [&](const QString &name, const QString &description, const QString &value = {}) {
        parser.addOption(QCommandLineOption(name, description, value));
    };
    add(QStringLiteral("port"), QStringLiteral("Port number n of the link COM<n> (default 10)."), QStringLiteral("n"));
    add(QStringLiteral("dir"), QStringLiteral("Folder for the link (default: %1, the folder of transformer-bench).").arg(defaultFolder),
        QStringLiteral("folder"));
    add(QStringLiteral("force"), QStringLiteral("Replace an existing COM<n> even if it is not a link left by a killed emulator."));
    add(QStringLiteral("rate"), QStringLiteral("Packets per second, 0.1 to 100000 (default 10; 1724 fill a 1 Mbit/s line)."),
        QStringLiteral("r"));
    add(QStringLiteral("preset"), QStringLiteral("Starting values: idle (default), short, ratio or zero."), QStringLiteral("name"));
    add(QStringLiteral("list-presets"), QStringLiteral("List the presets and stop."));
    for (const ValueOption &o : valueOptions)
        add(QLatin1String(o.name), QStringLiteral("%1, %2.").arg(QLatin1String(o.description), QLatin1String(o.unit)),
            QLatin1String(o.unit));
    add(QStringLiteral("freq"), QStringLiteral("Frequency in Hz, or \"none\" for no whole period counted."), QStringLiteral("Hz"));
    add(QStringLiteral("phase"), QStringLiteral("Phase shift from the first to the second side in degrees."), QStringLiteral("deg"));
    add(QStringLiteral("group"), QStringLiteral("Phase shift as a clock number 0-11 (30 degrees each)."), QStringLiteral("n"));
    add(QStringLiteral("current-ratio"), QStringLiteral("Current instrument transformer ratio the program is set to, 0-255."),
        QStringLiteral("n"));
    add(QStringLiteral("voltage-ratio"), QStringLiteral("Voltage instrument transformer ratio the program is set to, 0-65535."),
        QStringLiteral("n"));
    add(QStringLiteral("resistance"),
        QStringLiteral("Ohms streamed after a resistance start command until the stop command (default 5.92); "
                       "\"snan\" sends a signalling not-a-number."),
        QStringLiteral("ohms"));
    add(QStringLiteral("bad-crc-every"), QStringLiteral("Break the checksum of every n-th packet."), QStringLiteral("n"));
    add(QStringLiteral("garbage-every"), QStringLiteral("Send 1-16 random bytes after every n-th packet."), QStringLiteral("n"));
    add(QStringLiteral("seed"), QStringLiteral("Seed of the random garbage (default: random)."), QStringLiteral("n"));
    add(QStringLiteral("silence-after"), QStringLiteral("Stop sending after s seconds (default: never)."), QStringLiteral("s"));
    add(QStringLiteral("silence-for"), QStringLiteral("Resume sending after t seconds of silence (default: stay silent)."),
        QStringLiteral("t"));
    add(QStringLiteral("close-after"), QStringLiteral("Close the bench's end after s seconds, remove the link and stop."),
        QStringLiteral("s"));
    add(QStringLiteral("log"), QStringLiteral("Write every received byte to this file: one line per read, time and hex bytes."),
        QStringLiteral("file"));
    add(QStringLiteral("duration"),
        QStringLiteral("Send for s seconds from the opening of the port (rate x s packets fall due; those "
                       "a full queue refuses are dropped, not made up), then stop as with --count."),
        QStringLiteral("s"));
    add(QStringLiteral("report"),
        QStringLiteral("On the way out (a signal included) write what was sent to this file: "
                       "lines \"sent n\", \"dropped n\", \"seconds s\", \"rate r\"."),
        QStringLiteral("file"));
    add(QStringLiteral("count"),
        QStringLiteral("Stop after n packets have been sent, once the reader has closed the port."), QStringLiteral("n"));

    if (!parser.parse(arguments)) {
        result.exitCode = 2;
        result.error = parser.errorText();
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exitCode = 2;
        result.error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.output = parser.helpText();
        return result;
    }
    if (parser.isSet(QStringLiteral("list-presets"))) {
        result.output = presetList();
        return result;
    }

    EmulatorOptions o;
    Reader r(parser);
    auto failed = [&] {
        result.exitCode = 2;
        result.error = r.error;
        return result;
    };

    o.presetName = r.has(QStringLiteral("preset")) ? r.text(QStringLiteral("preset")) : QStringLiteral("idle");
    const std::optional<BenchPreset> preset = findBenchPreset(o.presetName);
    if (!preset) {
        r.error = QStringLiteral("unknown preset \"%1\"; the presets are:\n%2").arg(o.presetName, presetList());
        return failed();
    }
    o.presetName = preset->name;
    o.values = preset->values;
    o.ratios = preset->ratios;

    if (!r.integer(QStringLiteral("port"), 0, 999999, o.port))
        return failed();
    o.folder = r.has(QStringLiteral("dir")) ? r.text(QStringLiteral("dir")) : defaultFolder;
    if (!QFileInfo(o.folder).isDir()) {
        r.error = QStringLiteral("the folder \"%1\" for the link does not exist; give one with --dir").arg(o.folder);
        return failed();
    }
    o.force = r.has(QStringLiteral("force"));
    if (!r.number(QStringLiteral("rate"), 0.1, MaxRate, o.rate))
        return failed();

    for (const ValueOption &v : valueOptions)
        if (!r.number(QLatin1String(v.name), -maxDouble, maxDouble, o.values.*(v.field)))
            return failed();
    // A new Uab without a mean keeps the form factor of a pure sine.
    if (r.has(QStringLiteral("uab")) && !r.has(QStringLiteral("mean")))
        o.values.UabMean = sineRectifiedMean(o.values.Uab);
    if (r.has(QStringLiteral("freq"))) {
        if (r.text(QStringLiteral("freq")).trimmed().compare(QLatin1String("none"), Qt::CaseInsensitive) == 0) {
            o.values.Frequency.reset();
        } else {
            double f = 0;
            if (!r.number(QStringLiteral("freq"), 0, maxDouble, f))
                return failed();
            o.values.Frequency = f;
        }
    }
    if (r.has(QStringLiteral("phase")) && r.has(QStringLiteral("group"))) {
        r.error = QStringLiteral("give either --phase or --group, not both");
        return failed();
    }
    if (!r.number(QStringLiteral("phase"), -maxDouble, maxDouble, o.values.PhaseShift))
        return failed();
    int group = 0;
    if (!r.integer(QStringLiteral("group"), 0, 11, group))
        return failed();
    if (r.has(QStringLiteral("group")))
        o.values.PhaseShift = 30.0 * group;
    if (!r.integer(QStringLiteral("current-ratio"), 0, 255, o.ratios.CurrentRatio)
        || !r.integer(QStringLiteral("voltage-ratio"), 0, 65535, o.ratios.VoltageRatio))
        return failed();

    if (r.has(QStringLiteral("resistance"))) {
        if (r.text(QStringLiteral("resistance")).trimmed().compare(QLatin1String("snan"), Qt::CaseInsensitive) == 0) {
            o.resistanceBits = SignallingNaN;
        } else {
            double ohms = 0;
            const double maxFloat = std::numeric_limits<float>::max();
            if (!r.number(QStringLiteral("resistance"), -maxFloat, maxFloat, ohms))
                return failed();
            o.resistanceBits = std::bit_cast<quint32>(float(ohms));
        }
    }

    if (!r.integer(QStringLiteral("bad-crc-every"), 1, std::numeric_limits<int>::max(), o.badCrcEvery)
        || !r.integer(QStringLiteral("garbage-every"), 1, std::numeric_limits<int>::max(), o.garbageEvery))
        return failed();
    if (r.has(QStringLiteral("seed"))) {
        quint32 seed = 0;
        if (!r.integer(QStringLiteral("seed"), 0, std::numeric_limits<quint32>::max(), seed))
            return failed();
        o.seed = seed;
    }
    if (!r.number(QStringLiteral("silence-after"), 0, 1e9, o.silenceAfter)
        || !r.number(QStringLiteral("silence-for"), 0.001, 1e9, o.silenceFor)
        || !r.number(QStringLiteral("close-after"), 0, 1e9, o.closeAfter))
        return failed();
    // Silence asked for without a start begins at once.
    if (o.silenceFor > 0 && o.silenceAfter < 0)
        o.silenceAfter = 0;
    o.logFile = r.text(QStringLiteral("log"));
    o.reportFile = r.text(QStringLiteral("report"));
    if (!r.integer(QStringLiteral("count"), 1, std::numeric_limits<qint64>::max(), o.count)
        || !r.number(QStringLiteral("duration"), 0.001, 1e7, o.duration))
        return failed();

    // Refuse values the packet cannot carry now rather than at the first packet.
    QString why;
    if (!BenchPackets::encodeSignal(o.values, o.ratios, &why)) {
        r.error = why;
        return failed();
    }
    result.options = o;
    return result;
}
