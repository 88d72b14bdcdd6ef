#pragma once

#include <QString>
#include <QtGlobal>

namespace tf {

// Who holds the link.
enum LinkOwner : qint16 {
    kLinkIdle = 0,
    kLinkStore = 1,   // a title-store operation
    kLinkAudio = 2,   // an audio-tab operation
    kLinkPush = 3,    // a changer-initiated exchange or a long operation
    kLinkOffline = 4, // no changer: nothing may be sent
};

inline constexpr qint16 kLinkDown = 0; // LinkState: handshake not done
inline constexpr qint16 kLinkUp = 1;
inline constexpr qint16 kLinkFailed = 255;

inline constexpr qint16 kResultOk = 0; // LastResult
inline constexpr qint16 kResultFailed = 255;

// The request record: callers fill it before a transaction.
struct RequestRecord {
    quint16 RequestDisc = 0;
    quint8 RequestTrack = 0;
    quint8 RequestFieldB = 0; // the disc's user-file byte (title frames only)
    quint8 RequestKind = 0;   // 0 disc title, 1 track titles, 7 user-file names
    quint8 RequestFieldD = 0; // the disc's music type (title frames)
    quint8 RequestLast = 0;
    quint8 RequestGroup = 0;
    quint8 RequestCode = 0;
    QString RequestText;
};

// What the changer last pushed about its play state.
struct PlayValues {
    qint16 PlayDisc = 0;
    qint16 PlayTrack = 0;
    qint16 PlayProgramStep = 0;
    qint16 PlayMusicType = 0;
    qint16 PlayUserFileBits = 0;
    qint16 PlayStatus7 = 0;
    qint16 PlayMode = 0;
    qint16 PlayRepeat = 0;
    qint16 PlayStateCode = 0;
    qint16 TocReadyDisc = 0;
};

} // namespace tf
