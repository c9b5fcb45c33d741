#pragma once

#include "packetframer.h"

#include <QLocale>
#include <QString>

struct ResistanceDecoding {
    long double Resistance = 0; // ohms
    QString text;               // the grid cell's text
};

// The resistance of a packet whose checksum has passed; a signalling not-a-number pattern reads as 0.
long double resistanceValue(ResistancePacketBytes packet);

// A resistance with as many decimals as the range's item index plus one ("200" one,
// "0.01" five), the decimal point being the locale's separator.
QString resistanceText(long double resistance, int rangeIndex, const QLocale &locale);

ResistanceDecoding DecodeResistancePacket(ResistancePacketBytes packet, int rangeIndex,
                                          const QLocale &locale);
