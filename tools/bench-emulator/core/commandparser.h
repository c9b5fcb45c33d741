#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>

// One thing the program said to the bench, recognised in the byte stream.
struct BenchCommand {
    enum class Kind {
        ResistanceStart,  // 0xAA, then (r, r + 50), r the range index 0-4
        ResistanceStop,   // 0xAA, then (5, 55)
        Calibration,      // 0xDD or 0xCC, selector, value LSB first, CRC over the first six
        ServiceCC,        // 0xCC and five 0x01
        ServiceB5,        // 0xB5 and five 0x01
        Unrecognised,     // bytes that start none of the above, kept together
    };

    Kind kind = Kind::Unrecognised;
    int range = -1;             // ResistanceStart
    std::uint8_t command = 0;   // Calibration: 0xDD or 0xCC
    std::uint8_t selector = 0;  // Calibration
    float value = 0;            // Calibration
    bool checksumOk = false;    // Calibration
    QByteArray bytes;           // everything that made up this command
};

// Splits what the program sends into commands. Bytes may come in any pieces: the program
// pauses a second after the first byte of a command, so a command usually arrives in two.
class CommandParser
{
public:
    // Commands completed by `bytes`, in order. Bytes that may still become a command are kept.
    QList<BenchCommand> feed(QByteArrayView bytes);

    // The line has been quiet for a while: settles what only silence can decide. The six
    // bytes of the hidden "CC" command are also the start of a calibration frame with
    // selector 1 and four value bytes 0x01; silence instead of a seventh byte means the
    // former. A command still waiting for its second half stays pending.
    QList<BenchCommand> lineIdle();

    // Bytes held back because they may still become a command.
    QByteArray pendingBytes() const { return m_pending; }

    // Gives up on a command that will never be finished (its sender closed the port) and
    // returns its bytes.
    QByteArray discardPending();

private:
    QList<BenchCommand> parse(bool idle);

    QByteArray m_pending;
};
