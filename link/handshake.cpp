// Link start-up: the handshake in which the PC says "I'm PC" and the changer must answer
// with its model text.

#include "link/link.h"

#include "base/catalogue.h"
#include "base/userinterface.h"

namespace tf {

void Link::handshakeFailure() {
    if (LastResult == kResultFailed) {
        waitUnit();
        TimeoutFlag = false;
        emptySlot();
    }
    m_ui.messageBox(msg(336), msg(337), UserInterface::Style::Ok);
    TimeoutFlag = false;
    LastResult = kResultOk;
    LinkState = kLinkFailed;
    setOffline(true);
    MaxDiscCount = kMaxDiscCount;
}

void Link::handshakeFailWithEot() {
    SendEot();
    LastResult = kResultFailed;
    handshakeFailure();
}

void Link::RS232C_Changer_INIT() {
    // The handshake may run while offline (options window, reconnect): it owns the link.
    m_linkBusy = kLinkPush;
    LinkState = kLinkDown;
    LastResult = kResultOk;
    // Units left from an earlier, failed exchange were never taken while the link was down (the
    // poll does not run then); a stale EOT would read as the changer refusing this handshake.
    m_slot.clear();
    m_assembler.clear();

    SendEnq();
    RetryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (RetryCount >= kHandshakeAttempts) {
                handshakeFailure();
                return;
            }
            ++RetryCount;
            SendEnq();
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            handshakeFailure();
            return;
        } else if (slotIs(kAck)) {
            break;
        } else {
            if (RetryCount >= kHandshakeAttempts) {
                handshakeFailWithEot();
                return;
            }
            SendEnq();
            ++RetryCount;
            emptySlot();
        }
    }

    emptySlot();
    send(buildHandshake(), timings.handshakeFrameMs);
    RetryCount = 1;
    for (;;) {
        const bool timedOut = waitUnit() == WaitResult::Timeout;
        if (!timedOut && m_slot.size() > 1) {
            emptySlot(); // frames are not looked at until the changer has acknowledged
            continue;
        }
        if (!timedOut && slotIs(kEot)) {
            SendAck();
            emptySlot();
            handshakeFailure();
            return;
        }
        if (!timedOut && slotIs(kAck))
            break;
        if (RetryCount >= kHandshakeAttempts) {
            handshakeFailWithEot();
            return;
        }
        send(buildHandshake(), timings.handshakeFrameMs);
        ++RetryCount;
        if (!timedOut)
            emptySlot();
    }

    RetryCount = 1;
    ArmWait(timings.handshakeReplyMs);
    emptySlot();
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            handshakeFailWithEot();
            return;
        }
        if (m_slot.size() == 1) {
            emptySlot(); // control bytes are ignored here
            continue;
        }
        FrameError error = FrameError::None;
        const auto frame = parseFrame(m_slot, &error);
        if (error == FrameError::BadChecksum) {
            if (RetryCount >= kAttempts) {
                handshakeFailWithEot();
                return;
            }
            ++RetryCount;
            SendNak();
            emptySlot();
            continue;
        }
        if (!frame || frame->cmd != kReplyHandshake || !isHandshakeReply(*frame)) {
            emptySlot();
            handshakeFailWithEot();
            return;
        }
        break;
    }

    SendAck();
    emptySlot();
    MaxDiscCount = kMaxDiscCount;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            handshakeFailWithEot();
            return;
        }
        if (slotIs(kEot))
            break;
        emptySlot();
    }
    SendAck();
    LinkState = kLinkUp;
    LastResult = kResultOk;
    m_linkBusy = kLinkIdle;
    ModeCode = 0;
    emptySlot();
    startPoll();
    emit wake();
}

bool Link::startUpLink(const QString& device) {
    if (openDevice(device) != 0) {
        setOffline(true);
        return false;
    }
    RS232C_Changer_INIT();
    if (m_linkBusy != kLinkIdle) {
        LinkEstablished = false;
        return false;
    }
    StatusHold = true;
    LinkEstablished = true;
    startPoll();
    emit linkUp();
    return true;
}

} // namespace tf
