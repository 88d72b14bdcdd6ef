#pragma once

// Steps shared by the changer operations that run their own exchanges (downloads and uploads
// made of many frames). Each step follows the link's discipline: kAttempts sends, the time-out
// of the last unit sent, a refusal (EOT in place of ACK) answered with ACK. A step that gives
// up has already sent EOT where the exchange was open and set LastResult to 255; the caller
// then runs its own error report.

#include <QString>
#include <QtGlobal>

#include <functional>

namespace tf {
class Configuration;
class Link;
class UserInterface;
struct RequestRecord;
struct TextFrame;
} // namespace tf

namespace tf::ops {

// CurrentTransaction of the text exchanges.
inline constexpr qint16 kTxText = 7;

enum class StepResult {
    Acked,   // the changer acknowledged
    Refused, // the changer answered EOT (acknowledged); LastResult 255
    Failed,  // no answer after kAttempts sends; EOT sent, LastResult 255
};

// ENQ until the changer acknowledges.
StepResult openExchange(Link& link);

// Sends a frame with `send` and waits for its ACK, sending it again on NAK or time-out.
StepResult sendAcked(Link& link, const std::function<void()>& send);

// EOT until the changer acknowledges it. Failed leaves LastResult 255 (no further EOT).
StepResult closeExchange(Link& link);

// The data request for text (0x00, 0x01) for `request`, after openExchange.
StepResult requestText(Link& link, const RequestRecord& request);

// What a handler makes of one received text frame.
enum class FrameAction {
    Ack,    // acknowledge and wait for the next frame
    EndNow, // the last item has been reached: the PC ends the exchange with EOT
    Fail,   // the frame cannot be used: EOT, LastResult 255
};

enum class ReplyEnd {
    ChangerEot, // the changer ended its answer (acknowledged)
    PcEnded,    // a handler ended the exchange
    Failed,     // time-out, bad or unexpected frame; LastResult 255
};

// Receives the 0xFE / 0xFD frames that answer a text request, after its ACK: the first frame
// under replyMs, each later one under nextFrameMs; bad checksums are answered with NAK up to
// kAttempts times. Any other frame ends the exchange as a failure.
ReplyEnd receiveTextFrames(Link& link, const std::function<FrameAction(const TextFrame&)>& handle);

// Catches the changer's answer to an EOT just sent after a failure (LastResult 255).
void catchAnswer(Link& link);

// True when downloads and uploads may show their progress dialog.
bool showsProgress(const Configuration& config);

} // namespace tf::ops
