#include "benchemulator.h"

#include "benchline.h"
#include "calibrationframe.h"
#include "packetlayout.h"

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>

void note(const QString &text)
{
    std::fprintf(stderr, "bench-emulator: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

namespace {

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString number(double v)
{
    return QLocale::c().toString(v, 'g', 8);
}

// What a calibration value stands for, read back through the program's own formulas.
QString calibrationMeaning(const BenchCommand &c)
{
    using namespace PacketLayout;
    const double v = c.value;
    const double first = double(FirstVoltageSquareScale);
    const double secondary = double(SecondarySquareScale);
    if (c.command == ResistanceCalibrationCommand)
        return QStringLiteral("resistance range %1, %2 ohm").arg(c.selector).arg(number(v));
    switch (c.selector) {
    case 0:
        return QStringLiteral("first voltage channels, %1 V").arg(number(std::sqrt(v / first)));
    case 3:
        return QStringLiteral("currents, %1 A").arg(number(std::sqrt(v / secondary) / double(CurrentScale)));
    case 6:
        return QStringLiteral("second voltage channels, %1 V").arg(number(std::sqrt(v / secondary) / double(SecondVoltageScale)));
    default:
        return QStringLiteral("unknown selector %1, value %2").arg(c.selector).arg(number(v));
    }
}

} // namespace

BenchEmulator::BenchEmulator(const EmulatorOptions &options, BenchLine *line, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_line(line)
    , m_random(options.seed ? *options.seed : QRandomGenerator::global()->generate())
{
    m_tick.setTimerType(Qt::PreciseTimer);
    // The tick only looks at the clock; a short one keeps high rates smooth.
    m_tick.setInterval(std::clamp(int(std::lround(1000.0 / options.rate)), 1, 10));
    connect(&m_tick, &QTimer::timeout, this, &BenchEmulator::tick);
    // A command's second half follows its first byte after about a second; a pause this
    // long inside the second half means the line has gone quiet.
    m_lineIdle.setSingleShot(true);
    m_lineIdle.setInterval(300);
    connect(&m_lineIdle, &QTimer::timeout, this, [this] { handle(m_parser.lineIdle()); });
    connect(m_line, &BenchLine::received, this, &BenchEmulator::received);
    connect(m_line, &BenchLine::readerChanged, this, &BenchEmulator::readerChanged);
}

bool BenchEmulator::prepare(QString *error)
{
    const std::optional<SignalFields> raw = BenchPackets::encodeSignal(m_options.values, m_options.ratios, error);
    if (!raw)
        return false;
    m_signalPacket = signalPacket(*raw);
    m_resistancePacket = resistancePacketBits(m_options.resistanceBits);
    if (!m_options.logFile.isEmpty()) {
        m_log.setFileName(m_options.logFile);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot write the log %1: %2").arg(m_options.logFile, m_log.errorString());
            return false;
        }
    }
    return true;
}

void BenchEmulator::start()
{
    const SignalValues &v = m_options.values;
    note(QStringLiteral("preset %1; %2 packets/s; the program must be set to current ratio %3, voltage ratio %4")
             .arg(m_options.presetName, number(m_options.rate))
             .arg(m_options.ratios.CurrentRatio)
             .arg(m_options.ratios.VoltageRatio));
    note(QStringLiteral("Uab %1 Ubc %2 Uca %3 V, U2ab %4 U2bc %5 U2ca %6 V, Ia %7 Ib %8 Ic %9 A")
             .arg(number(v.Uab), number(v.Ubc), number(v.Uca), number(v.U2ab), number(v.U2bc), number(v.U2ca),
                  number(v.Ia), number(v.Ib), number(v.Ic)));
    note(QStringLiteral("P1 %1 P2 %2 W, %3, phase %4 deg, mean %5 V")
             .arg(number(v.P1), number(v.P2),
                  v.Frequency ? QStringLiteral("%1 Hz").arg(number(*v.Frequency)) : QStringLiteral("no frequency"),
                  number(v.PhaseShift), number(v.UabMean)));
    m_clock.start();
    if (m_options.closeAfter >= 0)
        QTimer::singleShot(std::chrono::milliseconds(std::llround(m_options.closeAfter * 1000)), this,
                           &BenchEmulator::closeLine);
    m_tick.start();
}

bool BenchEmulator::silentNow() const
{
    if (m_options.silenceAfter < 0)
        return false;
    const double now = m_clock.elapsed() / 1000.0;
    return now >= m_options.silenceAfter
            && (m_options.silenceFor < 0 || now < m_options.silenceAfter + m_options.silenceFor);
}

QByteArray BenchEmulator::garbage()
{
    QByteArray bytes(int(m_random.bounded(1, 17)), '\0');
    for (char &b : bytes)
        b = char(m_random.bounded(256));
    return bytes;
}

void BenchEmulator::tick()
{
    const bool silent = silentNow();
    if (silent != m_silent) {
        m_silent = silent;
        note(silent ? QStringLiteral("silent") : QStringLiteral("sending again"));
    }
    if (!m_paceClock.isValid())
        return;  // nobody has the port open
    // The first packet goes out as the reader comes; what falls due while silent is
    // never sent later.
    qint64 due = qint64(std::floor(m_options.rate * double(m_paceClock.nsecsElapsed()) / 1e9)) + 1;
    if (m_options.duration > 0)
        due = std::min(due, durationPackets());
    qint64 owed = due - m_offered;
    m_offered = std::max(m_offered, due);
    if (!silent && owed > 0)
        send(owed);
    const bool countOut = m_options.count > 0 && m_sent >= m_options.count;
    const bool timeOut = m_options.duration > 0 && m_offered >= durationPackets();
    if (countOut || timeOut) {
        m_tick.stop();
        m_countReached = true;
        note(QStringLiteral("%1 packets sent; stopping once the port is closed").arg(m_sent));
        if (!m_line->readerPresent())
            emit finished(0);
    }
}

qint64 BenchEmulator::durationPackets() const
{
    return std::max<qint64>(1, std::llround(m_options.rate * m_options.duration));
}

void BenchEmulator::send(qint64 owed)
{
    if (m_options.count > 0)
        owed = std::min(owed, m_options.count - m_sent);
    // After a stall of more than a second (a suspended machine) the rest is lost, as on a
    // line that was cut, rather than sent in one burst the size of the stall.
    const qint64 most = std::max<qint64>(1, qint64(m_options.rate));
    if (owed > most) {
        m_dropped += owed - most;
        owed = most;
    }

    // One write for everything owed: at thirty times the line rate a write per packet
    // would cost the emulator more than the program it feeds.
    QByteArray batch;
    batch.reserve(int(owed) * (m_signalPacket.size() + (m_options.garbageEvery > 0 ? 16 : 0)));
    for (qint64 i = 1; i <= owed; ++i) {
        const qint64 serial = m_sent + i;
        QByteArray packet = m_measuring ? m_resistancePacket : m_signalPacket;
        if (m_options.badCrcEvery > 0 && serial % m_options.badCrcEvery == 0)
            packet = withBadChecksum(packet);
        batch += packet;
        if (m_options.garbageEvery > 0 && serial % m_options.garbageEvery == 0)
            batch += garbage();
    }
    switch (m_line->write(batch)) {
    case BenchLine::WriteResult::NoReader:
        return;
    case BenchLine::WriteResult::Dropped:
        m_dropped += owed;
        return;
    case BenchLine::WriteResult::Written:
        break;
    }
    m_sent += owed;
    m_lastSentNs = m_clock.nsecsElapsed();
    if (m_firstSentNs < 0)
        m_firstSentNs = m_lastSentNs;
}

double BenchEmulator::sendingSeconds() const
{
    return m_firstSentNs < 0 ? 0.0 : double(m_lastSentNs - m_firstSentNs) / 1e9;
}

bool BenchEmulator::writeReport(QString *error) const
{
    if (m_options.reportFile.isEmpty())
        return true;
    QSaveFile file(m_options.reportFile);
    if (file.open(QIODevice::WriteOnly)) {
        const QString text = QStringLiteral("sent %1\ndropped %2\nseconds %3\nrate %4\n")
                                     .arg(m_sent)
                                     .arg(m_dropped)
                                     .arg(QString::number(sendingSeconds(), 'f', 3), number(m_options.rate));
        file.write(text.toLatin1());
        if (file.commit())
            return true;
    }
    *error = QStringLiteral("cannot write the report %1: %2").arg(m_options.reportFile, file.errorString());
    return false;
}

void BenchEmulator::received(const QByteArray &bytes)
{
    if (m_log.isOpen()) {
        m_log.write(QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1() + ' '
                    + bytes.toHex(' ').toUpper() + '\n');
        m_log.flush();
    }
    handle(m_parser.feed(bytes));
    if (m_parser.pendingBytes().isEmpty())
        m_lineIdle.stop();
    else
        m_lineIdle.start();
}

void BenchEmulator::handle(const QList<BenchCommand> &commands)
{
    for (const BenchCommand &c : commands) {
        switch (c.kind) {
        case BenchCommand::Kind::ResistanceStart:
            m_measuring = true;
            note(QStringLiteral("resistance measurement started, range index %1").arg(c.range));
            break;
        case BenchCommand::Kind::ResistanceStop:
            m_measuring = false;
            note(QStringLiteral("resistance measurement stopped"));
            break;
        case BenchCommand::Kind::Calibration:
            note(QStringLiteral("calibration frame %1: %2%3")
                     .arg(hex(c.bytes), calibrationMeaning(c),
                          c.checksumOk ? QString() : QStringLiteral(" (checksum wrong)")));
            break;
        case BenchCommand::Kind::ServiceCC:
        case BenchCommand::Kind::ServiceB5:
            note(QStringLiteral("service command %1").arg(hex(c.bytes)));
            break;
        case BenchCommand::Kind::Unrecognised:
            note(QStringLiteral("unrecognised bytes %1").arg(hex(c.bytes)));
            break;
        }
    }
}

void BenchEmulator::readerChanged(bool present)
{
    note(present ? QStringLiteral("the port was opened") : QStringLiteral("the port was closed"));
    // Each reader's session is paced from its own start: no backlog from before it came.
    if (present) {
        m_paceClock.start();
        m_offered = 0;
    } else {
        m_paceClock.invalidate();
    }
    if (!present) {
        // Half a command from the last reader must not join the first bytes of the next one.
        handle(m_parser.lineIdle());
        const QByteArray unfinished = m_parser.discardPending();
        if (!unfinished.isEmpty())
            note(QStringLiteral("unfinished command dropped: %1").arg(hex(unfinished)));
        m_lineIdle.stop();
    }
    if (!present && m_countReached)
        emit finished(0);
}

void BenchEmulator::closeLine()
{
    m_tick.stop();
    note(QStringLiteral("closing the bench's end after %1 s").arg(number(m_options.closeAfter)));
    m_line->close();
    emit finished(0);
}
