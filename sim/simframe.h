#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace tf::sim {

// Control bytes of the serial protocol, as the changer sees them.
inline constexpr char kStx = 0x02;
inline constexpr char kEot = 0x04;
inline constexpr char kEnq = 0x05;
inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;

// Nothing the PC sends is longer than a program list of 32 steps (LEN 97); anything announcing
// more than a full frame's worth is line noise, not a frame.
inline constexpr int kMaxFrameData = 250;
inline constexpr int kFrameOverhead = 5; // STX, CMD, LEN low, LEN high, SUM

// Builds STX, CMD, LEN (little-endian), DATA and the two's-complement checksum.
QByteArray buildFrame(quint8 cmd, QByteArrayView data);

// The checksum byte for CMD, LEN and DATA (everything after STX, before SUM).
quint8 checksumOf(QByteArrayView bytesAfterStx);

// True when every byte after STX, SUM included, adds up to 0 modulo 256.
bool frameSumIsGood(QByteArrayView frame);

// One unit received from the line: a single control byte or a whole frame.
struct Unit {
    QByteArray bytes;   // as received
    bool frame = false; // false: a control byte
    bool good = false;  // frames: checksum passed
    quint8 cmd = 0;     // frames: CMD
    QByteArray data;    // frames: DATA

    char control() const { return frame ? 0 : bytes.at(0); }
};

// Turns the bytes the PC sends into units. Unlike a strict receiver it never throws away
// good units behind noise: a byte that cannot start a unit is skipped on its own, and a frame
// announcing an impossible length is taken for noise, so the lexer resynchronises on the next
// control byte or STX. A frame that stays incomplete is given up by dropStalePartial().
class UnitLexer {
public:
    // Appends bytes and returns every unit they complete, in order.
    QList<Unit> feed(QByteArrayView bytes);

    // True while the start of a frame waits for more bytes.
    bool hasPartial() const { return !m_buffer.isEmpty(); }

    // Gives up the incomplete frame at the front (its STX is dropped) and returns the units
    // found in the bytes that were queued behind it.
    QList<Unit> dropStalePartial();

    // Number of bytes skipped as noise since construction.
    qint64 skippedBytes() const { return m_skipped; }

    void reset() { m_buffer.clear(); }

private:
    QList<Unit> drain();

    QByteArray m_buffer;
    qint64 m_skipped = 0;
};

// Hex text of bytes, "02 00 06 ...", for logs.
QString hexBytes(QByteArrayView bytes);

} // namespace tf::sim
