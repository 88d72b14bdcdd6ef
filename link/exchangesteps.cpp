// The steps every exchange is made of: open with ENQ, send a frame until it is acknowledged,
// receive reply frames, close with EOT. The transactions, the handshake and the operations
// that run exchanges of many frames are built from them.

#include "link/link.h"

namespace tf {

Link::StepResult Link::openExchange(int attempts, bool strict) {
    SendEnq();
    m_retryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (m_retryCount >= attempts)
                return StepResult::NoAnswer;
            ++m_retryCount;
            SendEnq();
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            return StepResult::Refused;
        } else if (slotIs(kAck)) {
            return StepResult::Acked;
        } else if (strict) {
            if (m_retryCount >= attempts)
                return StepResult::Stray;
            SendEnq();
            ++m_retryCount;
            emptySlot();
        } else {
            emptySlot(); // an ENQ of the changer's own, or noise
        }
    }
}

Link::StepResult Link::sendAcked(const std::function<void()>& sendFrame) {
    sendFrame();
    m_retryCount = 1;
    for (;;) {
        const bool timedOut = waitUnit() == WaitResult::Timeout;
        if (timedOut || slotIs(kNak)) {
            if (!timedOut)
                emptySlot();
            if (m_retryCount >= kAttempts)
                return StepResult::NoAnswer;
            ++m_retryCount;
            sendFrame();
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            return StepResult::Refused;
        } else if (slotIs(kAck)) {
            return StepResult::Acked;
        } else {
            emptySlot();
        }
    }
}

Link::StepResult Link::closeExchange() {
    SendEot();
    m_retryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (m_retryCount >= kAttempts) {
                m_lastResult = kResultFailed;
                return StepResult::NoAnswer;
            }
            ++m_retryCount;
            SendEot();
        } else if (slotIs(kAck)) {
            m_lastResult = kResultOk;
            emptySlot();
            return StepResult::Acked;
        } else {
            emptySlot();
        }
    }
}

Link::ReplyEnd Link::receiveFrames(const std::function<FrameAction(const Frame&)>& handle) {
    const auto fail = [this] {
        emptySlot();
        SendEot();
        m_lastResult = kResultFailed;
        return ReplyEnd::Failed;
    };
    // The caller has taken the ACK of its request; a frame right behind it may already wait
    // in the slot.
    ArmWait(m_timings.replyMs);
    m_retryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout)
            return fail();
        if (slotIs(kEot)) {
            SendAck();
            emptySlot();
            return ReplyEnd::ChangerEot;
        }
        if (m_slot.size() == 1) {
            emptySlot();
            continue;
        }
        FrameError error = FrameError::None;
        const auto frame = parseFrame(m_slot, &error);
        if (error == FrameError::BadChecksum) {
            if (m_retryCount >= kAttempts)
                return fail();
            SendNak();
            ++m_retryCount;
            emptySlot();
            continue;
        }
        const FrameAction action = frame ? handle(*frame) : FrameAction::Fail;
        switch (action) {
        case FrameAction::Fail:
            return fail();
        case FrameAction::EndNow:
            emptySlot();
            SendEot();
            // The changer acknowledges the EOT; take that answer so it is not left behind.
            if (waitUnit() == WaitResult::Unit && slotIs(kAck))
                emptySlot();
            return ReplyEnd::PcEnded;
        case FrameAction::AckAndStop:
            SendAck();
            emptySlot();
            return ReplyEnd::Complete;
        case FrameAction::Ack:
            SendAck();
            emptySlot();
            m_retryCount = 1;
            ArmWait(m_timings.nextFrameMs);
            break;
        case FrameAction::AckRepeat:
            SendAck();
            emptySlot();
            ArmWait(m_timings.nextFrameMs);
            break;
        }
    }
}

void Link::catchAnswer() {
    if (m_lastResult != kResultFailed)
        return;
    waitUnit();
    m_timeoutFlag = false;
    emptySlot();
}

} // namespace tf
