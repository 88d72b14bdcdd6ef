#include "operations/exchange.h"

#include "link/frame.h"
#include "link/link.h"
#include "shell/config.h"

namespace tf::ops {

namespace {

// The slot holds a refusal: acknowledge it.
StepResult refused(Link& link) {
    link.emptySlot();
    link.SendAck();
    link.LastResult = kResultFailed;
    return StepResult::Refused;
}

StepResult givenUp(Link& link) {
    link.SendEot();
    link.LastResult = kResultFailed;
    return StepResult::Failed;
}

} // namespace

StepResult openExchange(Link& link) {
    link.SendEnq();
    link.RetryCount = 1;
    for (;;) {
        if (link.waitUnit() == Link::WaitResult::Timeout) {
            if (link.RetryCount >= kAttempts)
                return givenUp(link);
            ++link.RetryCount;
            link.SendEnq();
        } else if (link.slotIs(kEot)) {
            return refused(link);
        } else if (link.slotIs(kAck)) {
            link.emptySlot();
            return StepResult::Acked;
        } else {
            link.emptySlot(); // an ENQ of the changer's own, or noise
        }
    }
}

StepResult sendAcked(Link& link, const std::function<void()>& send) {
    send();
    link.RetryCount = 1;
    for (;;) {
        const bool timedOut = link.waitUnit() == Link::WaitResult::Timeout;
        if (timedOut || link.slotIs(kNak)) {
            if (!timedOut)
                link.emptySlot();
            if (link.RetryCount >= kAttempts)
                return givenUp(link);
            ++link.RetryCount;
            send();
        } else if (link.slotIs(kEot)) {
            return refused(link);
        } else if (link.slotIs(kAck)) {
            link.emptySlot();
            return StepResult::Acked;
        } else {
            link.emptySlot();
        }
    }
}

StepResult closeExchange(Link& link) {
    link.SendEot();
    link.RetryCount = 1;
    for (;;) {
        if (link.waitUnit() == Link::WaitResult::Timeout) {
            if (link.RetryCount >= kAttempts) {
                link.LastResult = kResultFailed;
                return StepResult::Failed;
            }
            ++link.RetryCount;
            link.SendEot();
        } else if (link.slotIs(kAck)) {
            link.emptySlot();
            link.LastResult = kResultOk;
            return StepResult::Acked;
        } else {
            link.emptySlot();
        }
    }
}

StepResult requestText(Link& link) {
    return sendAcked(link,
                     [&link] { link.SendDataRequest(kRequestText.group, kRequestText.code); });
}

ReplyEnd receiveTextFrames(Link& link, const std::function<FrameAction(const TextFrame&)>& handle) {
    const auto fail = [&link] {
        link.emptySlot();
        link.SendEot();
        link.LastResult = kResultFailed;
        return ReplyEnd::Failed;
    };
    // The ACK was taken by the request step; a frame that came right behind it may already
    // wait in the slot.
    link.ArmWait(link.timings.replyMs);
    link.RetryCount = 1;
    QByteArray previous; // the last frame taken
    for (;;) {
        if (link.waitUnit() == Link::WaitResult::Timeout)
            return fail();
        if (link.slotIs(kEot)) {
            link.SendAck();
            link.emptySlot();
            return ReplyEnd::ChangerEot;
        }
        if (link.slotUnit().size() == 1) {
            link.emptySlot();
            continue;
        }
        FrameError error = FrameError::None;
        const auto frame = parseFrame(link.slotUnit(), &error);
        if (error == FrameError::BadChecksum) {
            if (link.RetryCount >= kAttempts)
                return fail();
            link.SendNak();
            ++link.RetryCount;
            link.emptySlot();
            continue;
        }
        if (!frame || (frame->cmd != kReplyDiscText && frame->cmd != kReplyTrackText))
            return fail();
        if (link.slotUnit() == previous) {
            // The changer sends a frame again when our ACK did not reach it. Acknowledge the
            // repeat but take its text only once: a continuation piece would be appended twice.
            link.SendAck();
            link.emptySlot();
            link.ArmWait(link.timings.nextFrameMs);
            continue;
        }
        const auto text = decodeTextFrame(*frame);
        if (!text)
            return fail();
        switch (handle(*text)) {
        case FrameAction::Fail:
            return fail();
        case FrameAction::EndNow:
            link.emptySlot();
            link.SendEot();
            // The changer acknowledges the EOT; take that answer so it is not left behind.
            if (link.waitUnit() == Link::WaitResult::Unit && link.slotIs(kAck))
                link.emptySlot();
            return ReplyEnd::PcEnded;
        case FrameAction::Ack:
            previous = link.slotUnit();
            link.SendAck();
            link.emptySlot();
            link.RetryCount = 1;
            link.ArmWait(link.timings.nextFrameMs);
            break;
        }
    }
}

void catchAnswer(Link& link) {
    if (link.LastResult != kResultFailed)
        return;
    link.waitUnit();
    link.TimeoutFlag = false;
    link.emptySlot();
}

bool showsProgress(const Configuration& config) {
    return config.settings.silent != 1;
}

} // namespace tf::ops
