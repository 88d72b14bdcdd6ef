#pragma once

// The changer's wire vocabulary: control bytes, frames and their checksum, builders for every
// frame the PC sends and typed decoders for every frame the changer sends.
//
// Frame layout: STX, CMD, LEN low, LEN high, LEN DATA bytes, SUM. SUM makes the byte sum from
// CMD through SUM 0 modulo 256; STX is never summed. All multi-byte numbers are little-endian.
// Field positions in the comments below are 1-based within DATA, as DATA[1].

#include "model/program.h"
#include "model/textframe.h"
#include "model/toc.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace tf {

// ---- Control bytes (each one a unit of its own; STX only ever opens a frame) ----
inline constexpr quint8 kStx = 0x02;
inline constexpr quint8 kEot = 0x04; // end of exchange; in place of ACK it is a refusal
inline constexpr quint8 kEnq = 0x05; // request to send, from either side
inline constexpr quint8 kAck = 0x06;
inline constexpr quint8 kNak = 0x15; // bad checksum: send the frame again

// The PC receives at most 255-byte frames; longer answers come split over several frames.
inline constexpr int kMaxFrameData = 250;
inline constexpr int kFrameOverhead = 5; // STX, CMD, LEN low, LEN high, SUM

// ---- Commands the PC sends ----
inline constexpr quint8 kCmdHandshake = 0x00;
inline constexpr quint8 kCmdDataRequest = 0x03;
inline constexpr quint8 kCmdKeyCode = 0x0A;
inline constexpr quint8 kCmdPlayRequest = 0x0B;
inline constexpr quint8 kCmdPlayModeRequest = 0x0C;
inline constexpr quint8 kCmdProgramList = 0x0D;
inline constexpr quint8 kCmdTitleFrame = 0xFE;

// ---- Replies of the changer ----
inline constexpr quint8 kReplyHandshake = 0x00;
inline constexpr quint8 kReplyMinMaxTno = 0x04;
inline constexpr quint8 kReplyDiscId = 0x06;
inline constexpr quint8 kReplyUserFile = 0x07;
inline constexpr quint8 kReplyMusicType = 0x08;
inline constexpr quint8 kReplyConfirm = 0x09;
inline constexpr quint8 kReplyProgramList = 0x0D;
inline constexpr quint8 kReplyTrackText = 0xFD; // track-level or item-level text
inline constexpr quint8 kReplyDiscText = 0xFE;  // disc-level text

// ---- Frames the changer pushes on its own, each opened by its ENQ ----
inline constexpr quint8 kPushPlayStatus = 0x12;
inline constexpr quint8 kPushPlayState = 0x13;
inline constexpr quint8 kPushTocReady = 0x14;
inline constexpr quint8 kPushChangerMode = 0x15;

constexpr bool isPushedCmd(quint8 cmd) {
    return cmd >= kPushPlayStatus && cmd <= kPushChangerMode;
}

// ---- DataRequest: request group and code ----
struct RequestCode {
    quint8 group;
    quint8 code;
};
inline constexpr RequestCode kRequestText{0x00, 0x01};      // answered by 0xFE / 0xFD frames
inline constexpr RequestCode kRequestMinMaxTno{0x00, 0x02}; // answered by 0x04
inline constexpr RequestCode kRequestDiscId{0x00, 0x04};    // answered by 0x06
inline constexpr RequestCode kRequestUserFile{0x00, 0x08};  // answered by 0x07
inline constexpr RequestCode kRequestMusicType{0x00, 0x10}; // answered by 0x08
inline constexpr RequestCode kRequestProgram{0x00, 0x20};   // answered by 0x0D
// Confirmation requests, all answered by 0x09.
inline constexpr RequestCode kRequestTitleInput{0x80, 0x00};
inline constexpr RequestCode kRequestUserFileNameInput{0x40, 0x00};
inline constexpr quint8 kGroupProgramSetup = 0x20; // the code byte is the program set-up's
inline constexpr quint8 kGroupPlaySetup = 0x10;    // music-type and user-file play set-ups

inline constexpr int kMaxTitleChars = 25;                     // the changer's memory titles
inline constexpr char kNoTitlePlaceholder[] = "* NO TITLE *"; // sent as "no title", like empty

// ---- Frames ----

// A received frame that passed parseFrame().
struct Frame {
    quint8 cmd = 0;
    QByteArray data;
};

enum class FrameError {
    None,
    TooShort,       // fewer than the five bytes of an empty frame
    LengthMismatch, // LEN does not match the size of the unit
    TooLong,        // LEN above kMaxFrameData
    BadChecksum,    // answer NAK
    NotStx,         // checksum fine but the first byte is not STX
};

// STX, CMD, LEN, DATA, SUM. Returns an empty array when data is longer than kMaxFrameData.
QByteArray buildFrame(quint8 cmd, const QByteArray& data);

// True when the bytes after STX, SUM included, add up to 0 modulo 256 (STX is not looked at).
bool frameChecksumOk(const QByteArray& frame);

// Checks one complete received unit: size, LEN, checksum, STX, in that order, so that a bad
// checksum (NAK) is told apart from a unit that is no frame at all. nullopt on failure, with
// the reason in *error when given.
std::optional<Frame> parseFrame(const QByteArray& unit, FrameError* error = nullptr);

// A table-of-contents byte: low nibble + 10 x high nibble (0x59 -> 59).
constexpr int fromBcd(quint8 b) {
    return (b & 0x0F) + 10 * ((b >> 4) & 0x0F);
}

// ---- Builders for every frame the PC sends ----

QByteArray buildHandshake(); // "I'm PC"

QByteArray buildDataRequest(quint8 group, quint8 code, quint16 disc, quint8 track = 0,
                            quint8 paramC = 0, quint8 paramD = 0);
inline QByteArray buildDataRequest(RequestCode request, quint16 disc, quint8 track = 0,
                                   quint8 paramC = 0, quint8 paramD = 0) {
    return buildDataRequest(request.group, request.code, disc, track, paramC, paramD);
}

QByteArray buildKeyCode(quint16 keyCode); // high byte first
QByteArray buildPlayRequest(quint16 disc, quint8 paramA, quint8 paramB);
QByteArray buildPlayModeRequest(quint8 paramA, quint8 paramB);

// n, then disc and track per step. No steps: LEN 1, DATA 0x00. More than kMaxProgramSteps
// steps: an empty array (nothing is sent rather than a list the changer cannot hold).
QByteArray buildProgramList(const QList<ProgramStep>& steps);

// Disc, track (0 = disc title), user-file byte, kind, music type, 0x00, then the title in
// Windows-1252. Control characters become blanks and the title is cut to kMaxTitleChars
// characters; an empty title or kNoTitlePlaceholder goes as the single byte 0x01 (LEN 8).
QByteArray buildTitleFrame(quint16 disc, quint8 track, quint8 userFileByte, quint8 kind,
                           quint8 musicType, const QString& title);

// ---- Decoders: nullopt (false) = bad reply, a wrong CMD or a LEN too short ----

// CMD 0x00 whose DATA is exactly "I'm QX-517V".
bool isHandshakeReply(const Frame& frame);

// 0x04: DATA[3], DATA[4] and DATA[5].
std::optional<MinMaxTno> decodeMinMaxTno(const Frame& frame);

// One 0x06 frame. Block 1 carries the disc information byte, the track range and the first
// (LEN - 6) / 3 entries from DATA[7]; other blocks carry (LEN - 3) / 3 entries from DATA[4].
struct DiscIdBlock {
    quint8 block = 0; // DATA[3]
    quint8 discInfo = 0;
    quint8 lowest = 0;
    quint8 highest = 0;
    QList<TocTime> entries;

    bool isFirst() const { return block == 1; }
};
std::optional<DiscIdBlock> decodeDiscIdBlock(const Frame& frame);

// Gathers the 0x06 blocks of one ReadDiscId into a DiscToc.
class DiscIdAssembler {
public:
    enum class Step { NeedMore, Complete, Bad };

    // A first block starts over. Bad: a continuation without a first block or after the table
    // is complete, or a track range outside 1..99.
    Step add(const DiscIdBlock& block);
    bool isComplete() const { return m_started && m_filled == m_needed; }
    const DiscToc& toc() const { return m_toc; }

private:
    DiscToc m_toc;
    int m_needed = 0;
    int m_filled = 0;
    bool m_started = false;
};

std::optional<quint8> decodeUserFile(const Frame& frame);  // 0x07: DATA[3]
std::optional<quint8> decodeMusicType(const Frame& frame); // 0x08: DATA[3]
std::optional<quint8> decodeConfirm(const Frame& frame);   // 0x09: DATA[1]

// Bits of the 0x09 answer byte.
constexpr bool titleInputAllowed(quint8 answer) {
    return (answer & 0x01) != 0;
}
constexpr bool userFileNamesAllowed(quint8 answer) {
    return (answer & 0x02) != 0;
}

// 0x0D: n, then n steps; a LEN too short for n steps is a bad reply.
std::optional<QList<ProgramStep>> decodeProgramList(const Frame& frame);

// A 0xFE (disc-level) or 0xFD (track- or item-level) text frame.
std::optional<TextFrame> decodeTextFrame(const Frame& frame);

// 0x12: the disc now loaded and seven status bytes.
struct PlayStatus {
    quint16 disc = 0;        // DATA[1..2]
    quint8 track = 0;        // DATA[3]
    quint8 programStep = 0;  // DATA[4]
    quint8 musicType = 0;    // DATA[5]
    quint8 userFileBits = 0; // DATA[6]
    quint8 status7 = 0;      // DATA[7]
    quint8 playMode = 0;     // DATA[8]
    quint8 repeat = 0;       // DATA[9], 0 = off
};
std::optional<PlayStatus> decodePlayStatus(const Frame& frame);

std::optional<quint8> decodePlayState(const Frame& frame);   // 0x13: transport state
std::optional<quint16> decodeTocReady(const Frame& frame);   // 0x14: disc whose TOC is read
std::optional<quint8> decodeChangerMode(const Frame& frame); // 0x15: 0 or 1

} // namespace tf
