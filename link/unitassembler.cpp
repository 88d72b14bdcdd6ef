#include "link/unitassembler.h"

#include "link/frame.h"

namespace tf {

void UnitAssembler::feed(const QByteArray& bytes) {
    m_acc.append(bytes);
    assemble();
    if (pendingBytes() > kMaxPending) {
        // Only a partial frame can be pending, and no frame is this long: drop what cannot be
        // part of one.
        m_skipped += pendingBytes();
        m_acc.clear();
        m_pos = 0;
    }
}

QByteArray UnitAssembler::takeUnit() {
    return m_units.isEmpty() ? QByteArray() : m_units.takeFirst();
}

namespace {

// Every command and reply code of the protocol, in either direction.
bool isProtocolCmd(quint8 cmd) {
    switch (cmd) {
    case kCmdHandshake:
    case kCmdDataRequest:
    case kReplyMinMaxTno:
    case kReplyDiscId:
    case kReplyUserFile:
    case kReplyMusicType:
    case kReplyConfirm:
    case kCmdKeyCode:
    case kCmdPlayRequest:
    case kCmdPlayModeRequest:
    case kCmdProgramList:
    case kReplyTrackText:
    case kCmdTitleFrame:
        return true;
    default:
        return isPushedCmd(cmd);
    }
}

} // namespace

void UnitAssembler::abandonPartialFrame() {
    if (pendingBytes() == 0)
        return;
    // An STX followed by a real command code most likely began a real frame whose length
    // field was damaged: what follows is its data, and read byte by byte a track number 4 or 5
    // would pass for EOT or ENQ and end or restart an exchange that never ended. Drop it
    // whole; the wait that gave up on it reports the failure. Any other STX was noise: skip
    // only it and assemble what came behind it.
    if (pendingBytes() >= 2 && isProtocolCmd(static_cast<quint8>(m_acc.at(m_pos + 1)))) {
        m_skipped += pendingBytes();
        m_acc.clear();
        m_pos = 0;
        return;
    }
    ++m_skipped;
    ++m_pos;
    assemble();
}

void UnitAssembler::clear() {
    m_acc.clear();
    m_pos = 0;
    m_units.clear();
}

void UnitAssembler::assemble() {
    while (m_pos < m_acc.size()) {
        const auto first = static_cast<quint8>(m_acc.at(m_pos));
        if (first == kAck || first == kNak || first == kEot || first == kEnq) {
            m_units.append(m_acc.mid(m_pos, 1));
            ++m_pos;
            continue;
        }
        if (first != kStx) {
            ++m_skipped;
            ++m_pos;
            continue;
        }
        const qsizetype available = m_acc.size() - m_pos;
        if (available < 4)
            break;
        const int len = static_cast<quint8>(m_acc.at(m_pos + 2)) |
                        (static_cast<quint8>(m_acc.at(m_pos + 3)) << 8);
        if (len > kMaxFrameData) {
            // A real command code with an impossible length is a frame whose LEN was damaged:
            // its data are still coming and, read byte by byte, could pass for control bytes
            // (a track number 4 for EOT). Hold it until the line goes quiet, when
            // abandonPartialFrame() drops it whole and the waiting exchange fails and
            // repeats. Behind any other STX there is only noise: skip the STX alone.
            if (isProtocolCmd(static_cast<quint8>(m_acc.at(m_pos + 1))))
                break;
            ++m_skipped;
            ++m_pos;
            continue;
        }
        const qsizetype total = len + kFrameOverhead;
        if (available < total)
            break;
        m_units.append(m_acc.mid(m_pos, total));
        m_pos += total;
    }
    // Keep the buffer small: drop what has been assembled.
    if (m_pos > 0) {
        m_acc.remove(0, m_pos);
        m_pos = 0;
    }
}

} // namespace tf
