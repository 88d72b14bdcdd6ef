// Link start-up: the handshake in which the PC says "I'm PC" and the changer must answer
// with its model text.

#include "link/link.h"

#include "base/catalogue.h"
#include "base/userinterface.h"

namespace tf {

void Link::handshakeFailure() {
    catchAnswer();
    m_ui.messageBox(msg(msgid::ChangerNotConnected), msg(msgid::InterfaceErrorTitle),
                    UserInterface::Style::Ok);
    m_timeoutFlag = false;
    m_lastResult = kResultOk;
    m_linkState = kLinkFailed;
    setOffline(true);
    m_maxDiscCount = kMaxDiscCount;
}

void Link::handshakeFailWithEot() {
    SendEot();
    m_lastResult = kResultFailed;
    handshakeFailure();
}

void Link::RS232C_Changer_INIT() {
    // The handshake may run while offline (options window, reconnect): it owns the link.
    m_linkBusy = kLinkPush;
    m_linkState = kLinkDown;
    m_lastResult = kResultOk;
    // Units left from an earlier, failed exchange were never taken while the link was down (the
    // poll does not run then); a stale EOT would read as the changer refusing this handshake.
    m_slot.clear();
    m_assembler.clear();

    switch (openExchange(kHandshakeAttempts, true)) {
    case StepResult::Acked:
        break;
    case StepResult::NoAnswer:
    case StepResult::Refused:
        handshakeFailure();
        return;
    case StepResult::Stray:
        handshakeFailWithEot();
        return;
    }
    emptySlot();
    if (!sendHandshakeFrame() || !takeHandshakeReply())
        return;
    SendAck();
    emptySlot();
    m_maxDiscCount = kMaxDiscCount;
    if (!awaitHandshakeEot())
        return;
    SendAck();
    m_linkState = kLinkUp;
    m_lastResult = kResultOk;
    m_linkBusy = kLinkIdle;
    m_modeCode = 0;
    emptySlot();
    startPoll();
    emit wake();
}

// "I'm PC" until the changer acknowledges. Frames are not looked at before that ACK; any other
// answer counts as a failed attempt. False when the handshake has failed.
bool Link::sendHandshakeFrame() {
    send(buildHandshake(), m_timings.handshakeFrameMs);
    m_retryCount = 1;
    for (;;) {
        const bool timedOut = waitUnit() == WaitResult::Timeout;
        if (!timedOut && m_slot.size() > 1) {
            emptySlot();
            continue;
        }
        if (!timedOut && slotIs(kEot)) {
            SendAck();
            emptySlot();
            handshakeFailure();
            return false;
        }
        if (!timedOut && slotIs(kAck))
            return true;
        if (m_retryCount >= kHandshakeAttempts) {
            handshakeFailWithEot();
            return false;
        }
        send(buildHandshake(), m_timings.handshakeFrameMs);
        ++m_retryCount;
        if (!timedOut)
            emptySlot();
    }
}

// The changer's model text. Control bytes are ignored here. False when the handshake has failed.
bool Link::takeHandshakeReply() {
    m_retryCount = 1;
    ArmWait(m_timings.handshakeReplyMs);
    emptySlot();
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            handshakeFailWithEot();
            return false;
        }
        if (m_slot.size() == 1) {
            emptySlot();
            continue;
        }
        FrameError error = FrameError::None;
        const auto frame = parseFrame(m_slot, &error);
        if (error == FrameError::BadChecksum) {
            if (m_retryCount >= kAttempts) {
                handshakeFailWithEot();
                return false;
            }
            ++m_retryCount;
            SendNak();
            emptySlot();
            continue;
        }
        if (!frame || frame->cmd != kReplyHandshake || !isHandshakeReply(*frame)) {
            emptySlot();
            handshakeFailWithEot();
            return false;
        }
        return true;
    }
}

// The changer's closing EOT; anything else is passed over.
bool Link::awaitHandshakeEot() {
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            handshakeFailWithEot();
            return false;
        }
        if (slotIs(kEot))
            return true;
        emptySlot();
    }
}

bool Link::startUpLink(const QString& device) {
    if (openDevice(device) != 0) {
        setOffline(true);
        return false;
    }
    RS232C_Changer_INIT();
    if (m_linkBusy != kLinkIdle) {
        m_linkEstablished = false;
        return false;
    }
    m_statusHold = true;
    m_linkEstablished = true;
    startPoll();
    emit linkUp();
    return true;
}

} // namespace tf
