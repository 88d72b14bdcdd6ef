#include "link/frame.h"

#include "base/codepage.h"

namespace tf {
namespace {

quint8 byteSum(const QByteArray& bytes, qsizetype from, qsizetype to) {
    quint8 sum = 0;
    for (qsizetype i = from; i < to; ++i)
        sum += static_cast<quint8>(bytes[i]);
    return sum;
}

void appendByte(QByteArray& out, quint8 b) {
    out.append(static_cast<char>(b));
}

void appendWord(QByteArray& out, quint16 w) {
    appendByte(out, static_cast<quint8>(w & 0xFF));
    appendByte(out, static_cast<quint8>(w >> 8));
}

// DATA[n], 1-based as the field tables count.
quint8 at(const Frame& frame, int n) {
    return static_cast<quint8>(frame.data[n - 1]);
}

quint16 wordAt(const Frame& frame, int n) {
    return static_cast<quint16>(at(frame, n) | (at(frame, n + 1) << 8));
}

bool fits(const Frame& frame, quint8 cmd, int minLen) {
    return frame.cmd == cmd && frame.data.size() >= minLen;
}

TocTime tocTimeAt(const Frame& frame, int n) {
    return {static_cast<quint8>(fromBcd(at(frame, n))),
            static_cast<quint8>(fromBcd(at(frame, n + 1))),
            static_cast<quint8>(fromBcd(at(frame, n + 2)))};
}

QList<TocTime> tocEntries(const Frame& frame, int firstByte) {
    QList<TocTime> entries;
    const int count = (static_cast<int>(frame.data.size()) - (firstByte - 1)) / 3;
    for (int k = 0; k < count; ++k)
        entries.append(tocTimeAt(frame, firstByte + 3 * k));
    return entries;
}

// The title as the changer stores it: one byte a character, at most kMaxTitleChars of them.
// A character outside the Basic Multilingual Plane is one '?' (not one per UTF-16 half), so
// the cut counts what the user sees. Control characters would end up in the changer's
// memory and later split a record of a title file, so they go as blanks.
QByteArray titleBytes(const QString& title) {
    QString chars;
    for (char32_t u : title.toUcs4()) {
        if (chars.size() == kMaxTitleChars)
            break;
        chars.append(u > 0xFFFF ? QChar(u'?') : QChar(static_cast<char16_t>(u)));
    }
    return codepage::toCp1252(codepage::withoutControls(chars));
}

} // namespace

QByteArray buildFrame(quint8 cmd, const QByteArray& data) {
    if (data.size() > kMaxFrameData)
        return {};
    QByteArray frame;
    frame.reserve(data.size() + kFrameOverhead);
    appendByte(frame, kStx);
    appendByte(frame, cmd);
    appendWord(frame, static_cast<quint16>(data.size()));
    frame.append(data);
    appendByte(frame, static_cast<quint8>(0x100 - byteSum(frame, 1, frame.size())));
    return frame;
}

bool frameChecksumOk(const QByteArray& frame) {
    return frame.size() >= 2 && byteSum(frame, 1, frame.size()) == 0;
}

std::optional<Frame> parseFrame(const QByteArray& unit, FrameError* error) {
    auto fail = [error](FrameError e) -> std::optional<Frame> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    if (unit.size() < kFrameOverhead)
        return fail(FrameError::TooShort);
    const int len = static_cast<quint8>(unit[2]) | (static_cast<quint8>(unit[3]) << 8);
    if (len > kMaxFrameData)
        return fail(FrameError::TooLong);
    if (unit.size() != len + kFrameOverhead)
        return fail(FrameError::LengthMismatch);
    if (!frameChecksumOk(unit))
        return fail(FrameError::BadChecksum);
    if (static_cast<quint8>(unit[0]) != kStx)
        return fail(FrameError::NotStx);
    if (error)
        *error = FrameError::None;
    return Frame{static_cast<quint8>(unit[1]), unit.mid(4, len)};
}

// ---- Builders ----

QByteArray buildHandshake() {
    return buildFrame(kCmdHandshake, QByteArrayLiteral("I'm PC"));
}

QByteArray buildDataRequest(quint8 group, quint8 code, quint16 disc, quint8 track, quint8 paramC,
                            quint8 paramD) {
    QByteArray data;
    appendByte(data, group);
    appendByte(data, code);
    appendWord(data, disc);
    appendByte(data, track);
    appendByte(data, paramC);
    appendByte(data, paramD);
    return buildFrame(kCmdDataRequest, data);
}

QByteArray buildKeyCode(quint16 keyCode) {
    QByteArray data;
    appendByte(data, static_cast<quint8>(keyCode >> 8));
    appendByte(data, static_cast<quint8>(keyCode & 0xFF));
    return buildFrame(kCmdKeyCode, data);
}

QByteArray buildPlayRequest(quint16 disc, quint8 paramA, quint8 paramB) {
    QByteArray data;
    appendWord(data, disc);
    appendByte(data, paramA);
    appendByte(data, paramB);
    return buildFrame(kCmdPlayRequest, data);
}

QByteArray buildPlayModeRequest(quint8 paramA, quint8 paramB) {
    QByteArray data;
    appendByte(data, paramA);
    appendByte(data, paramB);
    return buildFrame(kCmdPlayModeRequest, data);
}

QByteArray buildProgramList(const QList<ProgramStep>& steps) {
    if (steps.size() > kMaxProgramSteps)
        return {};
    QByteArray data;
    appendByte(data, static_cast<quint8>(steps.size()));
    for (const ProgramStep& step : steps) {
        appendWord(data, step.disc);
        // Any whole-disc track value goes out as the one code the changer expects.
        appendByte(data, step.wholeDisc() ? kWholeDiscTrack : step.track);
    }
    return buildFrame(kCmdProgramList, data);
}

QByteArray buildTitleFrame(quint16 disc, quint8 track, quint8 userFileByte, quint8 kind,
                           quint8 musicType, const QString& title) {
    QByteArray data;
    appendWord(data, disc);
    appendByte(data, track);
    appendByte(data, userFileByte);
    appendByte(data, kind);
    appendByte(data, musicType);
    appendByte(data, 0x00);
    if (title.isEmpty() || title == QLatin1String(kNoTitlePlaceholder))
        appendByte(data, 0x01);
    else
        data.append(titleBytes(title));
    return buildFrame(kCmdTitleFrame, data);
}

// ---- Decoders ----

bool isHandshakeReply(const Frame& frame) {
    return frame.cmd == kReplyHandshake && frame.data == QByteArrayLiteral("I'm QX-517V");
}

std::optional<MinMaxTno> decodeMinMaxTno(const Frame& frame) {
    if (!fits(frame, kReplyMinMaxTno, 5))
        return std::nullopt;
    return MinMaxTno{at(frame, 3), at(frame, 4), at(frame, 5)};
}

std::optional<DiscIdBlock> decodeDiscIdBlock(const Frame& frame) {
    if (!fits(frame, kReplyDiscId, 3))
        return std::nullopt;
    DiscIdBlock block;
    block.block = at(frame, 3);
    if (!block.isFirst()) {
        block.entries = tocEntries(frame, 4);
        return block;
    }
    if (frame.data.size() < 6)
        return std::nullopt;
    block.discInfo = at(frame, 4);
    block.lowest = at(frame, 5);
    block.highest = at(frame, 6);
    block.entries = tocEntries(frame, 7);
    return block;
}

DiscIdAssembler::Step DiscIdAssembler::add(const DiscIdBlock& block) {
    if (block.isFirst()) {
        // A first block always starts over: the changer repeats it when our ACK was lost.
        m_toc = DiscToc{block.discInfo, block.lowest, block.highest, {}};
        m_started = true;
        m_needed = m_filled = 0;
        if (block.highest == 0)
            return Step::Complete; // no table for this disc
        if (block.lowest == 0 || block.lowest > block.highest || block.highest > 99) {
            m_started = false;
            return Step::Bad;
        }
        m_needed = block.highest - block.lowest + 2; // every track and the lead-out
        m_toc.entries.resize(block.highest + 1);
    } else if (!m_started || isComplete()) {
        return Step::Bad;
    }
    // Entries past the lead-out have no column; they are left out rather than stored as
    // tracks the disc does not have.
    const int first = m_toc.lowest - 1;
    for (const TocTime& entry : block.entries) {
        if (m_filled == m_needed)
            break;
        m_toc.entries[first + m_filled++] = entry;
    }
    return isComplete() ? Step::Complete : Step::NeedMore;
}

std::optional<quint8> decodeUserFile(const Frame& frame) {
    if (!fits(frame, kReplyUserFile, 3))
        return std::nullopt;
    return at(frame, 3);
}

std::optional<quint8> decodeMusicType(const Frame& frame) {
    if (!fits(frame, kReplyMusicType, 3))
        return std::nullopt;
    return at(frame, 3);
}

std::optional<quint8> decodeConfirm(const Frame& frame) {
    if (!fits(frame, kReplyConfirm, 1))
        return std::nullopt;
    return at(frame, 1);
}

std::optional<QList<ProgramStep>> decodeProgramList(const Frame& frame) {
    if (!fits(frame, kReplyProgramList, 1))
        return std::nullopt;
    const int count = at(frame, 1);
    if (frame.data.size() < 1 + 3 * count)
        return std::nullopt;
    QList<ProgramStep> steps;
    for (int n = 0; n < count; ++n)
        steps.append({wordAt(frame, 2 + 3 * n), at(frame, 4 + 3 * n)});
    return steps;
}

std::optional<TextFrame> decodeTextFrame(const Frame& frame) {
    TextFrame text;
    if (frame.cmd == kReplyTrackText)
        text.trackLevel = true;
    else if (frame.cmd != kReplyDiscText)
        return std::nullopt;
    // Text starts at DATA[8] of a disc-level frame, at DATA[9] of a track-level one (after
    // its entry flag); a frame that ends where its text would start holds a status instead.
    const int textStart = text.trackLevel ? 9 : 8;
    const int len = static_cast<int>(frame.data.size());
    if (len < textStart)
        return std::nullopt;
    text.disc = wordAt(frame, 1);
    text.item = at(frame, 3);
    text.userFileByte = at(frame, 4);
    text.kind = at(frame, 5);
    text.musicType = at(frame, 6);
    if (text.trackLevel)
        text.entryFlag = at(frame, 8);
    if (len == textStart) {
        text.status = at(frame, textStart);
        if (*text.status < 2)
            return text;
    }
    text.textBytes = frame.data.mid(textStart - 1);
    // A CR or LF from the changer would split a line of the title files.
    text.text = codepage::withoutControls(codepage::fromCp1252(text.textBytes));
    return text;
}

std::optional<PlayStatus> decodePlayStatus(const Frame& frame) {
    if (!fits(frame, kPushPlayStatus, 9))
        return std::nullopt;
    return PlayStatus{wordAt(frame, 1), at(frame, 3), at(frame, 4), at(frame, 5),
                      at(frame, 6),     at(frame, 7), at(frame, 8), at(frame, 9)};
}

std::optional<quint8> decodePlayState(const Frame& frame) {
    if (!fits(frame, kPushPlayState, 1))
        return std::nullopt;
    return at(frame, 1);
}

std::optional<quint16> decodeTocReady(const Frame& frame) {
    if (!fits(frame, kPushTocReady, 2))
        return std::nullopt;
    return wordAt(frame, 1);
}

std::optional<quint8> decodeChangerMode(const Frame& frame) {
    if (!fits(frame, kPushChangerMode, 1))
        return std::nullopt;
    return at(frame, 1);
}

} // namespace tf
