#pragma once

#include "linkreceiver.h"

#include <QString>

#include <optional>

// The texts of the link's own labels after an update: the interval before the last
// packet, the verdict on the last checked one, the three counters and the readouts. An
// empty optional means: leave what is shown. A function of the update alone, so what the
// window shows is tested without a window.
struct LinkTexts {
    std::optional<QString> interval;        // "2.005"
    std::optional<QString> verdict;         // "CRCV OK", "CRCR failed", ...
    std::optional<QString> signalCount;     // "VA n"
    std::optional<QString> resistanceCount; // "R n"
    std::optional<QString> failedCount;     // "F n"
    std::optional<SignalTexts> readouts;
};

LinkTexts linkTexts(const LinkUpdate &update);

// "CRCV OK", "CRCV failed", "CRCR OK" or "CRCR failed"; empty for a discarded packet.
QString packetVerdictText(PacketKind kind, PacketCheck check);
