#include "commandparser.h"

#include "calibrationframe.h"
#include "crc8.h"
#include "packetlayout.h"

#include <bit>
#include <utility>

namespace {

using namespace PacketLayout;

std::uint8_t at(const QByteArray &b, int i)
{
    return std::uint8_t(b[i]);
}

// Whether the bytes after the command byte seen so far are all 0x01, the filler of the service commands.
bool fillerSoFar(const QByteArray &b)
{
    for (int i = 1; i < b.size() && i < ServiceLength; ++i)
        if (at(b, i) != ServiceFiller)
            return false;
    return true;
}

BenchCommand calibration(const QByteArray &frame)
{
    BenchCommand c;
    c.kind = BenchCommand::Kind::Calibration;
    c.command = at(frame, CalibrationCommandOffset);
    c.selector = at(frame, CalibrationSelectorOffset);
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= std::uint32_t(at(frame, CalibrationValueOffset + i)) << (8 * i);
    c.value = std::bit_cast<float>(bits);
    c.checksumOk = CRC8(reinterpret_cast<const std::uint8_t *>(frame.constData()), CalibrationChecksumOffset)
                   == at(frame, CalibrationChecksumOffset);
    c.bytes = frame.left(CalibrationLength);
    return c;
}

BenchCommand service(BenchCommand::Kind kind, const QByteArray &bytes)
{
    BenchCommand c;
    c.kind = kind;
    c.bytes = bytes.left(ServiceLength);
    return c;
}

} // namespace

QList<BenchCommand> CommandParser::feed(QByteArrayView bytes)
{
    m_pending.append(bytes.data(), bytes.size());
    return parse(false);
}

QByteArray CommandParser::discardPending()
{
    return std::exchange(m_pending, QByteArray());
}

QList<BenchCommand> CommandParser::lineIdle()
{
    return parse(true);
}

QList<BenchCommand> CommandParser::parse(bool idle)
{
    QList<BenchCommand> out;
    QByteArray stray;
    auto flushStray = [&] {
        if (stray.isEmpty())
            return;
        BenchCommand c;
        c.bytes = stray;
        out.append(c);
        stray.clear();
    };
    // Emits a recognised command made of the first `size` pending bytes.
    auto take = [&](BenchCommand c, int size) {
        flushStray();
        out.append(c);
        m_pending.remove(0, size);
    };
    // The first pending byte starts nothing: set it aside and look again from the next one.
    auto skip = [&] {
        stray.append(m_pending[0]);
        m_pending.remove(0, 1);
    };

    while (!m_pending.isEmpty()) {
        const QByteArray &p = m_pending;
        const int n = int(p.size());
        const std::uint8_t first = at(p, 0);

        if (first == ResistanceCommandLead) {
            if (n >= 2 && at(p, 1) > ResistanceStopCode) {
                skip();
                continue;
            }
            if (n < 3)
                break;
            const int index = at(p, 1);
            if (at(p, 2) != index + ResistanceCodeEcho) {
                skip();
                continue;
            }
            BenchCommand c;
            c.kind = index == ResistanceStopCode ? BenchCommand::Kind::ResistanceStop : BenchCommand::Kind::ResistanceStart;
            c.range = index == ResistanceStopCode ? -1 : index;
            c.bytes = p.left(3);
            take(c, 3);
            continue;
        }

        if (first == ServiceB5Lead) {
            if (!fillerSoFar(p)) {
                skip();
                continue;
            }
            if (n < ServiceLength)
                break;
            take(service(BenchCommand::Kind::ServiceB5, p), ServiceLength);
            continue;
        }

        if (first == ServiceCCLead && fillerSoFar(p) && n >= ServiceLength) {
            // Either the hidden "CC" command or a calibration frame that happens to look like it:
            // the seventh byte decides if it is the frame's checksum.
            if (n >= CalibrationLength) {
                const BenchCommand frame = calibration(p);
                if (frame.checksumOk)
                    take(frame, CalibrationLength);
                else
                    take(service(BenchCommand::Kind::ServiceCC, p), ServiceLength);
                continue;
            }
            if (!idle)
                break;
            take(service(BenchCommand::Kind::ServiceCC, p), ServiceLength);
            continue;
        }

        if (first == SignalCalibrationCommand || first == ResistanceCalibrationCommand) {
            // A frame with a wrong checksum is still reported as one, so that a fault in the
            // sender shows as such instead of as seven stray bytes.
            if (n < CalibrationLength)
                break;
            take(calibration(p), CalibrationLength);
            continue;
        }

        skip();
    }
    flushStray();
    return out;
}
