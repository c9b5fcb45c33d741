// How long the receive side takes per signal packet at the bench's full line rate.
// 1 Mbit/s carries at most about 1700 packets of 58 bytes a second, so the framer and
// decoder must stay far below 600 µs a packet for the window to keep up.

#include "benchpackets.h"
#include "linkreceiver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SignalValues values;
    values.Uab = values.Ubc = values.Uca = 400;
    values.U2ab = values.U2bc = values.U2ca = 10000;
    values.Ia = values.Ib = values.Ic = 14.4;
    values.P1 = values.P2 = 300;
    values.Frequency = 50.0;
    values.UabMean = 360.3;
    const auto raw = BenchPackets::encodeSignal(values, {3, 100});
    if (!raw) {
        std::fprintf(stderr, "cannot encode the packet\n");
        return 1;
    }
    const QByteArray packet = signalPacket(*raw);

    // One read of 4096 bytes: about 70 packets, the most one received-data event brings.
    QByteArray chunk;
    while (chunk.size() + packet.size() <= 4096)
        chunk += packet;

    LinkReceiver receiver([] { return qint64(0); });
    LinkContext context;
    context.scaling = {3, 2, 100, 0};
    BenchReadings readings;
    const int events = 20000;
    QElapsedTimer timer;
    timer.start();
    for (int e = 0; e < events; ++e) {
        qsizetype offset = 0;
        const LinkUpdate u = receiver.receive(
            int(chunk.size()),
            [&](std::uint8_t *buffer, int max) {
                const int n = int(qMin<qsizetype>(max, chunk.size() - offset));
                std::memcpy(buffer, chunk.constData() + offset, size_t(n));
                offset += n;
                return n;
            },
            readings, context);
        if (u.readings)
            readings = *u.readings;
    }
    const double ns = double(timer.nsecsElapsed());
    const int packets = receiver.signalPackets();
    std::printf("%d packets in %.1f ms: %.2f us per packet (%d failed)\n", packets, ns / 1e6,
                ns / 1e3 / packets, receiver.failedPackets());
    return 0;
}
