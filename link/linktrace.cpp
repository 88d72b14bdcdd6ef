#include "link/linktrace.h"

#include "link/frame.h"

#include <QDateTime>

namespace tf {

Q_LOGGING_CATEGORY(lcLinkTrace, "trackfen.link.trace", QtWarningMsg)

namespace {

QString hex(quint8 b) {
    return QStringLiteral("0x%1").arg(b, 2, 16, QLatin1Char('0'));
}

QString controlName(quint8 b) {
    switch (b) {
    case kEnq:
        return QStringLiteral("ENQ");
    case kAck:
        return QStringLiteral("ACK");
    case kNak:
        return QStringLiteral("NAK");
    case kEot:
        return QStringLiteral("EOT");
    default:
        return QStringLiteral("byte ") + hex(b);
    }
}

QString frameError(FrameError error) {
    switch (error) {
    case FrameError::TooShort:
        return QStringLiteral("too short");
    case FrameError::LengthMismatch:
        return QStringLiteral("length mismatch");
    case FrameError::TooLong:
        return QStringLiteral("too long");
    case FrameError::BadChecksum:
        return QStringLiteral("bad checksum");
    case FrameError::NotStx:
        return QStringLiteral("no STX");
    case FrameError::None:
        break;
    }
    return QString();
}

quint8 at(const QByteArray& data, int index) {
    return index < data.size() ? quint8(data.at(index)) : 0;
}

quint16 word(const QByteArray& data, int index) {
    return quint16(at(data, index) | (at(data, index + 1) << 8));
}

QString textSummary(const TextFrame& t) {
    QString s = QStringLiteral(" disc %1 item %2 kind %3 user-files %4 music-type %5")
                    .arg(t.disc)
                    .arg(t.item)
                    .arg(t.kind)
                    .arg(hex(t.userFileByte))
                    .arg(t.musicType);
    if (t.trackLevel)
        s += QStringLiteral(" entry %1").arg(t.entryFlag);
    if (t.status && t.textBytes.size() <= 1 && *t.status < 2)
        return s + QStringLiteral(" status %1").arg(*t.status);
    return s + QStringLiteral(" \"%1\"").arg(t.text);
}

QString sentFrame(const Frame& f) {
    const QByteArray& d = f.data;
    switch (f.cmd) {
    case kCmdHandshake:
        return QStringLiteral(" handshake \"%1\"").arg(QString::fromLatin1(d));
    case kCmdDataRequest:
        return QStringLiteral(" data request %1 %2 disc %3 track %4 kind %5 d %6")
            .arg(hex(at(d, 0)), hex(at(d, 1)))
            .arg(word(d, 2))
            .arg(at(d, 4))
            .arg(at(d, 5))
            .arg(at(d, 6));
    case kCmdKeyCode:
        return QStringLiteral(" key code %1 %2").arg(hex(at(d, 0)), hex(at(d, 1)));
    case kCmdPlayRequest:
        return QStringLiteral(" play disc %1 a %2 b %3")
            .arg(word(d, 0))
            .arg(at(d, 2))
            .arg(at(d, 3));
    case kCmdPlayModeRequest:
        return QStringLiteral(" play mode %1 parameter %2").arg(at(d, 0)).arg(hex(at(d, 1)));
    case kCmdProgramList: {
        QString s = QStringLiteral(" program %1 steps").arg(at(d, 0));
        for (int i = 0; i < at(d, 0) && 1 + 3 * i + 2 < d.size(); ++i)
            s += QStringLiteral(" %1/%2")
                     .arg(word(d, 1 + 3 * i))
                     .arg(at(d, 3 + 3 * i) == kWholeDiscTrack ? QStringLiteral("all")
                                                              : QString::number(at(d, 3 + 3 * i)));
        return s;
    }
    case kCmdTitleFrame:
        if (const auto t = decodeTextFrame(f))
            return QStringLiteral(" title") + textSummary(*t);
        break;
    default:
        break;
    }
    return QString();
}

QString receivedFrame(const Frame& f) {
    switch (f.cmd) {
    case kReplyHandshake:
        return isHandshakeReply(f) ? QStringLiteral(" handshake reply")
                                   : QStringLiteral(" unknown handshake reply");
    case kReplyMinMaxTno:
        if (const auto r = decodeMinMaxTno(f))
            return QStringLiteral(" track range %1..%2 third %3")
                .arg(r->lowest)
                .arg(r->highest)
                .arg(r->third);
        break;
    case kReplyDiscId:
        if (const auto b = decodeDiscIdBlock(f)) {
            if (b->isFirst())
                return QStringLiteral(" disc id block 1 info %1 tracks %2..%3, %4 entries")
                    .arg(hex(b->discInfo))
                    .arg(b->lowest)
                    .arg(b->highest)
                    .arg(b->entries.size());
            return QStringLiteral(" disc id block %1, %2 entries")
                .arg(b->block)
                .arg(b->entries.size());
        }
        break;
    case kReplyUserFile:
        if (const auto v = decodeUserFile(f))
            return QStringLiteral(" user-file byte ") + hex(*v);
        break;
    case kReplyMusicType:
        if (const auto v = decodeMusicType(f))
            return QStringLiteral(" music type %1").arg(*v);
        break;
    case kReplyConfirm:
        if (const auto v = decodeConfirm(f))
            return QStringLiteral(" confirm ") + hex(*v);
        break;
    case kReplyProgramList:
        if (const auto steps = decodeProgramList(f))
            return QStringLiteral(" program list, %1 steps").arg(steps->size());
        break;
    case kReplyDiscText:
    case kReplyTrackText:
        if (const auto t = decodeTextFrame(f))
            return (t->trackLevel ? QStringLiteral(" track text") : QStringLiteral(" disc text")) +
                   textSummary(*t);
        break;
    case kPushPlayStatus:
        if (const auto s = decodePlayStatus(f))
            return QStringLiteral(" play status disc %1 track %2 step %3 music-type %4 "
                                  "user-files %5 status7 %6 mode %7 repeat %8")
                .arg(s->disc)
                .arg(s->track)
                .arg(s->programStep)
                .arg(s->musicType)
                .arg(hex(s->userFileBits), hex(s->status7))
                .arg(s->playMode)
                .arg(s->repeat);
        break;
    case kPushPlayState:
        if (const auto v = decodePlayState(f))
            return QStringLiteral(" play state ") + hex(*v);
        break;
    case kPushTocReady:
        if (const auto v = decodeTocReady(f))
            return QStringLiteral(" toc ready disc %1").arg(*v);
        break;
    case kPushChangerMode:
        if (const auto v = decodeChangerMode(f))
            return QStringLiteral(" changer mode %1").arg(*v);
        break;
    default:
        break;
    }
    return QStringLiteral(" (not understood)");
}

} // namespace

void enableLinkTrace() {
    QLoggingCategory::setFilterRules(QStringLiteral("trackfen.link.trace.debug=true"));
}

QString describeUnit(bool sent, const QByteArray& unit) {
    const QString direction = sent ? QStringLiteral("send ") : QStringLiteral("recv ");
    if (unit.size() == 1)
        return direction + controlName(quint8(unit.at(0)));
    FrameError error = FrameError::None;
    const auto frame = parseFrame(unit, &error);
    if (!frame)
        return direction + QStringLiteral("bad frame (%1) %2")
                               .arg(frameError(error), QString::fromLatin1(unit.toHex(' ')));
    return direction + QStringLiteral("frame cmd ") + hex(frame->cmd) +
           (sent ? sentFrame(*frame) : receivedFrame(*frame));
}

void traceUnit(bool sent, const QByteArray& unit) {
    if (!lcLinkTrace().isDebugEnabled())
        return;
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    qCDebug(lcLinkTrace).noquote() << stamp << describeUnit(sent, unit);
}

} // namespace tf
