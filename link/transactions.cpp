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
    catchAnswer();
    if (bodyMsg != 0)
        ShowLinkError(msg(bodyMsg), msg(titleMsg));
    m_lastResult = kResultFailed;
}

void Link::giveUp(int bodyMsg, int titleMsg) {
    SendEot();
    m_lastResult = kResultFailed;
    errorReport(bodyMsg, titleMsg);
}

// Maps a step that did not end in ACK to the transaction's error report; true when it did.
bool Link::stepFailed(StepResult result, int bodyMsg, int titleMsg) {
    switch (result) {
    case StepResult::Acked:
        return false;
    case StepResult::Refused:
        errorReport(bodyMsg, titleMsg);
        return true;
    case StepResult::NoAnswer:
    case StepResult::Stray:
        giveUp(bodyMsg, titleMsg);
        return true;
    }
    return true;
}

bool Link::dataTransaction(const DataSpec& tx, const FrameHandler& handle) {
    RequestRecord request = m_request;
    request.RequestTrack = 0;
    request.RequestKind = 0;
    request.RequestFieldD = 0;
    m_request = request;
    m_currentTransaction = tx.code;

    if (stepFailed(openExchange(), tx.bodyMsg, tx.titleMsg))
        return false;
    emptySlot();
    if (stepFailed(sendAcked([&] { SendDataRequest(tx.request, request); }), tx.bodyMsg,
                   tx.titleMsg))
        return false;
    emptySlot();

    const ReplyEnd end = receiveFrames([&](const Frame& frame) {
        bool complete = false;
        if (frame.cmd != tx.reply || !handle(frame, complete))
            return FrameAction::Fail; // not the reply asked for, or too short for its values
        return complete ? FrameAction::AckAndStop : FrameAction::Ack;
    });
    if (end != ReplyEnd::Complete) {
        // A failure has sent EOT; an EOT of the changer has been acknowledged.
        errorReport(tx.bodyMsg, tx.titleMsg);
        return false;
    }
    return awaitClosingEotOfReply(tx);
}

// Closing: the changer's EOT, answered with ACK; the ACK is sent again while it does not come.
bool Link::awaitClosingEotOfReply(const DataSpec& tx) {
    m_retryCount = 1;
    for (;;) {
        if (waitUnit() == WaitResult::Timeout) {
            if (m_retryCount >= kAttempts) {
                SendEot();
                m_lastResult = kResultFailed;
                errorReport(tx.bodyMsg, tx.titleMsg);
                return false;
            }
            ++m_retryCount;
            SendAck();
        } else if (slotIs(kEot)) {
            SendAck();
            m_lastResult = kResultOk;
            if (m_linkBusy != kLinkOffline)
                m_linkBusy = kLinkIdle;
            m_currentTransaction = 0;
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
    if (stepFailed(openExchange(), body, titleMsg))
        return false;
    emptySlot();
    if (stepFailed(sendAcked([&] { send(frame, m_timings.frameMs); }), body, titleMsg))
        return false;
    emptySlot();
    if (closeExchange() != StepResult::Acked) {
        errorReport(body, titleMsg);
        return false;
    }
    return true;
}

bool Link::ReadDiscId(quint16 disc, DiscToc& toc) {
    m_request.RequestDisc = disc;
    DiscIdAssembler assembler;
    const bool ok = dataTransaction({kTxDiscId, kRequestDiscId, kReplyDiscId,
                                     msgid::DiscIdDownloadError, msgid::DiscIdDownloadTitle},
                                    [&](const Frame& frame, bool& complete) {
                                        const auto block = decodeDiscIdBlock(frame);
                                        if (!block)
                                            return false;
                                        // A disc without tracks has no table: the first block
                                        // completes it.
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

bool Link::ReadUserFile(quint16 disc, quint8& userFileByte) {
    m_request.RequestDisc = disc;
    return dataTransaction({kTxUserFile, kRequestUserFile, kReplyUserFile,
                            msgid::UserFileDownloadError, msgid::UserFileDownloadTitle},
                           takeValue(decodeUserFile, userFileByte));
}

bool Link::ReadMusicType(quint16 disc, quint8& musicType) {
    m_request.RequestDisc = disc;
    return dataTransaction({kTxMusicType, kRequestMusicType, kReplyMusicType,
                            msgid::MusicTypeDownloadError, msgid::MusicTypeDownloadTitle},
                           takeValue(decodeMusicType, musicType));
}

int Link::ConfirmTitleInput(quint16 disc) {
    m_request.RequestDisc = disc;
    quint8 answer = 0;
    dataTransaction({kTxConfirm, kRequestTitleInput, kReplyConfirm, msgid::TitleConfirmError,
                     msgid::TitleConfirmTitle},
                    takeValue(decodeConfirm, answer));
    return m_lastResult == kResultOk && titleInputAllowed(answer) ? 1 : 0;
}

bool Link::ReadMinMaxTno(quint16 disc, MinMaxTno& range) {
    m_request.RequestDisc = disc;
    return dataTransaction({kTxMinMax, kRequestMinMaxTno, kReplyMinMaxTno,
                            msgid::TrackRangeDownloadError, msgid::TrackRangeDownloadTitle},
                           takeValue(decodeMinMaxTno, range));
}

bool Link::ConfirmRequest(RequestCode code, quint16 disc, quint8& answer) {
    m_request.RequestDisc = disc;
    return dataTransaction({kTxConfirm, code, kReplyConfirm, msgid::UserFileNameDownloadError,
                            msgid::EnterUserFileNames},
                           takeValue(decodeConfirm, answer));
}

bool Link::ReadProgramList(QList<ProgramStep>& steps) {
    return dataTransaction({kTxProgram, kRequestProgram, kReplyProgramList,
                            msgid::ProgramListDownloadError, msgid::ProgramListDownloadTitle},
                           takeValue(decodeProgramList, steps));
}

bool Link::RequestPlay(quint16 disc, quint8 a, quint8 b) {
    return commandTransaction(buildPlayRequest(disc, a, b), msgid::PlayCommandError,
                              msgid::PlayCommandTitle, true);
}

bool Link::RequestPlayMode(quint8 a, quint8 b) {
    return commandTransaction(buildPlayModeRequest(a, b), 0, 0, false);
}

bool Link::SendKeyCode(quint8 high, quint8 low) {
    return commandTransaction(buildKeyCode(quint16((high << 8) | low)), msgid::KeyCodeError,
                              msgid::KeyCodeTitle, true);
}

} // namespace tf
