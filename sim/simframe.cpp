#include "sim/simframe.h"

#include <QString>

namespace tf::sim {

quint8 checksumOf(QByteArrayView bytesAfterStx) {
    unsigned sum = 0;
    for (char b : bytesAfterStx)
        sum += static_cast<quint8>(b);
    return static_cast<quint8>((0x100 - (sum & 0xFF)) & 0xFF);
}

QByteArray buildFrame(quint8 cmd, QByteArrayView data) {
    QByteArray frame;
    frame.reserve(data.size() + kFrameOverhead);
    frame.append(kStx);
    frame.append(static_cast<char>(cmd));
    frame.append(static_cast<char>(data.size() & 0xFF));
    frame.append(static_cast<char>((data.size() >> 8) & 0xFF));
    frame.append(data.data(), data.size());
    frame.append(static_cast<char>(checksumOf(QByteArrayView(frame).sliced(1))));
    return frame;
}

bool frameSumIsGood(QByteArrayView frame) {
    if (frame.size() < kFrameOverhead)
        return false;
    unsigned sum = 0;
    for (char b : frame.sliced(1))
        sum += static_cast<quint8>(b);
    return (sum & 0xFF) == 0;
}

static bool isControlByte(char b) {
    return b == kEot || b == kEnq || b == kAck || b == kNak;
}

QList<Unit> UnitLexer::feed(QByteArrayView bytes) {
    m_buffer.append(bytes.data(), bytes.size());
    return drain();
}

QList<Unit> UnitLexer::dropStalePartial() {
    if (m_buffer.isEmpty())
        return {};
    m_buffer.remove(0, 1);
    ++m_skipped;
    return drain();
}

QList<Unit> UnitLexer::drain() {
    QList<Unit> units;
    while (!m_buffer.isEmpty()) {
        const char first = m_buffer.at(0);
        if (isControlByte(first)) {
            Unit unit;
            unit.bytes = QByteArray(1, first);
            units.append(unit);
            m_buffer.remove(0, 1);
            continue;
        }
        if (first != kStx) {
            m_buffer.remove(0, 1);
            ++m_skipped;
            continue;
        }
        if (m_buffer.size() < 4)
            break;
        const int len =
            static_cast<quint8>(m_buffer.at(2)) | (static_cast<quint8>(m_buffer.at(3)) << 8);
        if (len > kMaxFrameData) {
            m_buffer.remove(0, 1);
            ++m_skipped;
            continue;
        }
        const int total = len + kFrameOverhead;
        if (m_buffer.size() < total)
            break;
        Unit unit;
        unit.frame = true;
        unit.bytes = m_buffer.left(total);
        unit.good = frameSumIsGood(unit.bytes);
        unit.cmd = static_cast<quint8>(unit.bytes.at(1));
        unit.data = unit.bytes.mid(4, len);
        units.append(unit);
        m_buffer.remove(0, total);
    }
    return units;
}

QString hexBytes(QByteArrayView bytes) {
    return QString::fromLatin1(bytes.toByteArray().toHex(' ')).toUpper();
}

} // namespace tf::sim
