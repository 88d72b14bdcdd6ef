#pragma once

namespace tf {

// Every time-out of the link, in milliseconds. The product uses the defaults; tests shorten
// the long ones so the suite stays fast while the sequence of steps stays the same.
struct LinkTimings {
    int enqMs = 100;             // after sending ENQ
    int controlMs = 200;         // after sending ACK, NAK or EOT
    int frameMs = 7000;          // after sending a request or command frame
    int handshakeFrameMs = 5000; // after sending the handshake frame
    int replyMs = 5000;          // for the first reply frame after the changer's ACK
    int handshakeReplyMs = 3000; // for the handshake reply frame after the changer's ACK
    int nextFrameMs = 5000;      // for the next frame of a reply split over several frames
    int errorCountdownS = 3;     // the error dialog closes itself after this many seconds
    int reconnectMs = 13000;     // handshake retried after a line change while offline
    int tocWaitMs = 45000;       // longest wait for a disc's table of contents
    int lineSignalPollMs = 1000; // how often the modem lines are looked at, where they exist
};

inline constexpr int kAttempts = 4;           // sends of one step of a transaction
inline constexpr int kHandshakeAttempts = 10; // ENQs and handshake frames at start-up
inline constexpr int kMaxDiscCount = 200;

} // namespace tf
