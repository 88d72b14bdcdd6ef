#include "operations/exchange.h"

#include "link/frame.h"
#include "link/link.h"
#include "store/config.h"

namespace tf::ops {

namespace {

// A step that did not end in ACK leaves LastResult 255; a step that ran out of attempts sends
// EOT, since the exchange is open.
StepResult stepOf(Link& link, Link::StepResult result) {
    switch (result) {
    case Link::StepResult::Acked:
        link.emptySlot();
        return StepResult::Acked;
    case Link::StepResult::Refused:
        link.recordResult(false);
        return StepResult::Refused;
    case Link::StepResult::NoAnswer:
    case Link::StepResult::Stray:
        break;
    }
    link.SendEot();
    link.recordResult(false);
    return StepResult::Failed;
}

} // namespace

StepResult openExchange(Link& link) {
    return stepOf(link, link.openExchange());
}

StepResult sendAcked(Link& link, const std::function<void()>& send) {
    return stepOf(link, link.sendAcked(send));
}

StepResult closeExchange(Link& link) {
    return link.closeExchange() == Link::StepResult::Acked ? StepResult::Acked : StepResult::Failed;
}

StepResult requestText(Link& link, const RequestRecord& request) {
    return sendAcked(link, [&] { link.SendDataRequest(kRequestText, request); });
}

ReplyEnd receiveTextFrames(Link& link, const std::function<FrameAction(const TextFrame&)>& handle) {
    QByteArray previous; // the last frame taken
    const Link::ReplyEnd end = link.receiveFrames([&](const Frame& frame) {
        if (frame.cmd != kReplyDiscText && frame.cmd != kReplyTrackText)
            return Link::FrameAction::Fail;
        // The changer sends a frame again when our ACK did not reach it. Acknowledge the
        // repeat but take its text only once: a continuation piece would be appended twice.
        if (link.slotUnit() == previous)
            return Link::FrameAction::AckRepeat;
        const auto text = decodeTextFrame(frame);
        if (!text)
            return Link::FrameAction::Fail;
        switch (handle(*text)) {
        case FrameAction::Fail:
            return Link::FrameAction::Fail;
        case FrameAction::EndNow:
            return Link::FrameAction::EndNow;
        case FrameAction::Ack:
            break;
        }
        previous = link.slotUnit();
        return Link::FrameAction::Ack;
    });
    switch (end) {
    case Link::ReplyEnd::ChangerEot:
    case Link::ReplyEnd::Complete:
        return ReplyEnd::ChangerEot;
    case Link::ReplyEnd::PcEnded:
        return ReplyEnd::PcEnded;
    case Link::ReplyEnd::Failed:
        break;
    }
    return ReplyEnd::Failed;
}

void catchAnswer(Link& link) {
    link.catchAnswer();
}

bool showsProgress(const Configuration& config) {
    return config.settings.silent != 1;
}

} // namespace tf::ops
