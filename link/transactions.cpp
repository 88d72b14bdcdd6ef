// The command transactions: every exchange the PC starts. Each step is guarded by a
// time-out and kAttempts sends; failures end in the transaction's error dialog.

#include "link/link.h"

#include "base/catalogue.h"
#include "base/userinterface.h"

namespace tf {
namespace {

// CurrentTransaction codes.
constexpr qint16 kTxConfirm = 1;
constexpr qint16 kTxDiscId = 3;
constexpr qint16 kTxMinMax = 4;
constexpr qint16 kTxUserFile = 5;
constexpr qint16 kTxMusicType = 6;
constexpr qint16 kTxProgram = 3;

// A reply handler for transactions that take one decoded value from one frame.
template <typename T, typename Decoder>
std::function<bool(const Frame&, bool&)> takeValue(Decoder decode, T& out) {
    return [decode, &out](const Frame& frame, bool& complete) {
        const auto value = decode(frame);
        if (!value)
            return false;
        out = *value;
        complete = true;
        return true;
    };
}

} // namespace

void Link::errorReport(int bodyMsg, int titleMsg) {
    if (LastResult == kResultFailed) {
        // Catch the changer's answer to the EOT just sent.
        waitUnit();
        TimeoutFlag = false;
        emptySlot();
    }
    if (bodyMsg != 0)
        ShowLinkError(msg(bodyMsg), msg(titleMsg));
    LastResult = kResultFailed;
}

void Link::giveUp(int bodyMsg, int titleMsg) {
    SendEot();
    LastResult = kResultFailed;
    errorReport(bodyMsg, titleMsg);
}

bool Link::dataTransaction(const DataSpec& tx, const FrameHandler& handle) {
    RequestTrack = 0;
    RequestKind = 0;
    RequestFieldD = 0;
    CurrentTransaction = tx.code;

    // ENQ until the changer accepts.
    SendEnq();
    RetryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (RetryCount >= kAttempts) {
                giveUp(tx.bodyMsg, tx.titleMsg);
                return false;
            }
            ++RetryCount;
            SendEnq();
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            errorReport(tx.bodyMsg, tx.titleMsg);
            return false;
        } else if (slotIs(kAck)) {
            break;
        } else {
            emptySlot();
        }
    }

    // The request, until the changer acknowledges it.
    emptySlot();
    SendDataRequest(tx.group, tx.request);
    RetryCount = 1;
    for (;;) {
        const bool timedOut = waitUnit() == WaitResult::Timeout;
        if (timedOut || slotIs(kNak)) {
            if (!timedOut)
                emptySlot();
            if (RetryCount >= kAttempts) {
                giveUp(tx.bodyMsg, tx.titleMsg);
                return false;
            }
            ++RetryCount;
            SendDataRequest(tx.group, tx.request);
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            errorReport(tx.bodyMsg, tx.titleMsg);
            return false;
        } else if (slotIs(kAck)) {
            break;
        } else {
            emptySlot();
        }
    }

    // The reply frame(s).
    ArmWait(timings.replyMs);
    emptySlot();
    RetryCount = 1;
    bool complete = false;
    while (!complete) {
        if (waitUnit() == WaitResult::Timeout) {
            SendEot();
            LastResult = kResultFailed;
            emptySlot();
            errorReport(tx.bodyMsg, tx.titleMsg);
            return false;
        }
        if (slotIs(kEot)) {
            SendAck();
            emptySlot();
            errorReport(tx.bodyMsg, tx.titleMsg);
            return false;
        }
        if (m_slot.size() == 1) {
            emptySlot();
            continue;
        }
        FrameError error = FrameError::None;
        const auto frame = parseFrame(m_slot, &error);
        if (error == FrameError::BadChecksum) {
            if (RetryCount >= kAttempts) {
                emptySlot();
                giveUp(tx.bodyMsg, tx.titleMsg);
                return false;
            }
            SendNak();
            ++RetryCount;
            emptySlot();
            continue;
        }
        if (!frame || frame->cmd != tx.reply || !handle(*frame, complete)) {
            // Not a frame, not the reply asked for, or too short for its values.
            emptySlot();
            SendEot();
            LastResult = kResultFailed;
            errorReport(tx.bodyMsg, tx.titleMsg);
            return false;
        }
        SendAck();
        emptySlot();
        RetryCount = 1;
        if (!complete)
            ArmWait(timings.nextFrameMs);
    }

    // Closing: the changer's EOT, answered with ACK.
    RetryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (RetryCount >= kAttempts) {
                SendEot();
                LastResult = kResultFailed;
                errorReport(tx.bodyMsg, tx.titleMsg);
                return false;
            }
            ++RetryCount;
            SendAck();
        } else if (slotIs(kEot)) {
            SendAck();
            LastResult = kResultOk;
            if (m_linkBusy != kLinkOffline)
                m_linkBusy = kLinkIdle;
            CurrentTransaction = 0;
            emptySlot();
            emit wake();
            return true;
        } else {
            emptySlot();
        }
    }
}

bool Link::commandTransaction(const QByteArray& frame, int bodyMsg, int titleMsg, bool showError) {
    const int body = showError ? bodyMsg : 0;
    SendEnq();
    RetryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (RetryCount >= kAttempts) {
                giveUp(body, titleMsg);
                return false;
            }
            ++RetryCount;
            SendEnq();
        } else if (slotIs(kAck)) {
            break;
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            errorReport(body, titleMsg);
            return false;
        } else {
            emptySlot(); // an ENQ of the changer, or noise
        }
    }

    emptySlot();
    send(frame, timings.frameMs);
    RetryCount = 1;
    for (;;) {
        const bool timedOut = waitUnit() == WaitResult::Timeout;
        if (timedOut || slotIs(kNak)) {
            if (!timedOut)
                emptySlot();
            if (RetryCount >= kAttempts) {
                giveUp(body, titleMsg);
                return false;
            }
            ++RetryCount;
            send(frame, timings.frameMs);
        } else if (slotIs(kEot)) {
            emptySlot();
            SendAck();
            errorReport(body, titleMsg);
            return false;
        } else if (slotIs(kAck)) {
            break;
        } else {
            emptySlot();
        }
    }

    emptySlot();
    SendEot();
    RetryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (RetryCount >= kAttempts) {
                LastResult = kResultFailed;
                errorReport(body, titleMsg);
                return false;
            }
            ++RetryCount;
            SendEot();
        } else if (slotIs(kAck)) {
            LastResult = kResultOk;
            emptySlot();
            return true;
        } else {
            emptySlot();
        }
    }
}

bool Link::ReadDiscId(DiscToc& toc) {
    DiscIdAssembler assembler;
    const bool ok = dataTransaction(
        {kTxDiscId, kRequestDiscId.group, kRequestDiscId.code, kReplyDiscId, 428, 429},
        [&](const Frame& frame, bool& complete) {
            const auto block = decodeDiscIdBlock(frame);
            if (!block)
                return false;
            // A disc without tracks has no table: the first block completes it.
            if (block->isFirst() && block->highest == 0) {
                toc = DiscToc{block->discInfo, block->lowest, 0, {}};
                complete = true;
                return true;
            }
            const auto step = assembler.add(*block);
            if (step == DiscIdAssembler::Step::Bad)
                return false;
            complete = step == DiscIdAssembler::Step::Complete;
            if (complete)
                toc = assembler.toc();
            return true;
        });
    return ok;
}

bool Link::ReadUserFile(quint8& userFileByte) {
    return dataTransaction(
        {kTxUserFile, kRequestUserFile.group, kRequestUserFile.code, kReplyUserFile, 430, 431},
        takeValue(decodeUserFile, userFileByte));
}

bool Link::ReadMusicType(quint8& musicType) {
    return dataTransaction(
        {kTxMusicType, kRequestMusicType.group, kRequestMusicType.code, kReplyMusicType, 432, 433},
        takeValue(decodeMusicType, musicType));
}

int Link::ConfirmTitleInput() {
    quint8 answer = 0;
    dataTransaction(
        {kTxConfirm, kRequestTitleInput.group, kRequestTitleInput.code, kReplyConfirm, 434, 435},
        takeValue(decodeConfirm, answer));
    return LastResult == kResultOk && titleInputAllowed(answer) ? 1 : 0;
}

bool Link::ReadMinMaxTno(MinMaxTno& range) {
    return dataTransaction(
        {kTxMinMax, kRequestMinMaxTno.group, kRequestMinMaxTno.code, kReplyMinMaxTno, 440, 441},
        takeValue(decodeMinMaxTno, range));
}

bool Link::ConfirmRequest(quint8& answer) {
    return dataTransaction({kTxConfirm, RequestGroup, RequestCode, kReplyConfirm, 323, 415},
                           takeValue(decodeConfirm, answer));
}

bool Link::ReadProgramList(QList<ProgramStep>& steps) {
    return dataTransaction(
        {kTxProgram, kRequestProgram.group, kRequestProgram.code, kReplyProgramList, 442, 443},
        takeValue(decodeProgramList, steps));
}

bool Link::RequestPlay(quint16 disc, quint8 a, quint8 b) {
    return commandTransaction(buildPlayRequest(disc, a, b), 436, 437, true);
}

bool Link::RequestPlayMode(quint8 a, quint8 b) {
    return commandTransaction(buildPlayModeRequest(a, b), 0, 0, false);
}

bool Link::SendKeyCode(quint8 high, quint8 low) {
    return commandTransaction(buildKeyCode(quint16((high << 8) | low)), 438, 439, true);
}

} // namespace tf
