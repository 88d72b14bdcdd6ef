#pragma once

#include "sim/simmodel.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace tf::sim {

// Frames from the PC.
inline constexpr quint8 kCmdHandshake = 0x00;
inline constexpr quint8 kCmdDataRequest = 0x03;
inline constexpr quint8 kCmdKeyCode = 0x0A;
inline constexpr quint8 kCmdPlayRequest = 0x0B;
inline constexpr quint8 kCmdPlayModeRequest = 0x0C;
inline constexpr quint8 kCmdProgramList = 0x0D;
inline constexpr quint8 kCmdTitleFrame = 0xFE;

// Replies of the changer.
inline constexpr quint8 kReplyMinMax = 0x04;
inline constexpr quint8 kReplyDiscId = 0x06;
inline constexpr quint8 kReplyUserFile = 0x07;
inline constexpr quint8 kReplyMusicType = 0x08;
inline constexpr quint8 kReplyPermission = 0x09;
inline constexpr quint8 kReplyProgram = 0x0D;
inline constexpr quint8 kReplyDiscText = 0xFE;
inline constexpr quint8 kReplyTrackText = 0xFD;

inline constexpr char kPcGreeting[] = "I'm PC";
inline constexpr char kChangerGreeting[] = "I'm QX-517V";

// Text kinds of text requests and title frames.
inline constexpr quint8 kKindDiscTitle = 0;
inline constexpr quint8 kKindTrackTitles = 1;
inline constexpr quint8 kKindUserFileNames = 7;

// Status byte of a reply frame without text.
inline constexpr quint8 kStatusNoDisc = 0;
inline constexpr quint8 kStatusNoTitle = 1;

struct OutFrame {
    quint8 cmd = 0;
    QByteArray data;
};

struct DataRequest {
    quint8 group = 0;
    quint8 code = 0;
    int disc = 0;
    quint8 track = 0;
    quint8 kind = 0;   // parameter C
    quint8 fieldD = 0; // parameter D

    static std::optional<DataRequest> fromData(const QByteArray& data);
};

// The changer's answer to a data request: the reply frames in order, or a refusal (EOT).
struct ReplyPlan {
    bool refused = true;
    QList<OutFrame> frames;
};

// Builds the answer from what the changer holds. Long CD TEXT goes out in continuation pieces
// of at most pieceLength characters.
ReplyPlan answerDataRequest(const ChangerLibrary& library, const DataRequest& request,
                            int pieceLength);

OutFrame handshakeReply();

// Stores a title frame (disc title, track title or user-file name). False = refused.
bool storeTitleFrame(ChangerLibrary& library, const QByteArray& data);

// Stores a program list frame. False = refused (the old program is kept).
bool storeProgramList(ChangerLibrary& library, const QByteArray& data);

// Splits text into pieces of at most length bytes, never leaving a piece of one byte behind a
// longer one (a one-byte piece would read like a status byte).
QList<QByteArray> splitPieces(const QByteArray& text, int length);

} // namespace tf::sim
