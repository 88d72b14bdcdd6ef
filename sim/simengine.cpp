#include "sim/simengine.h"

namespace tf::sim {

namespace {

// The name a "forget" fault gives each report of the changer's own.
QString reportName(quint8 cmd) {
    switch (cmd) {
    case kCmdPlayStatus:
        return QStringLiteral("status");
    case kCmdPlayState:
        return QStringLiteral("state");
    case kCmdTocReady:
        return QStringLiteral("toc");
    case kCmdChangerMode:
        return QStringLiteral("mode");
    default:
        return {};
    }
}

QString controlName(char byte) {
    switch (byte) {
    case kEnq:
        return QStringLiteral("ENQ");
    case kAck:
        return QStringLiteral("ACK");
    case kNak:
        return QStringLiteral("NAK");
    case kEot:
        return QStringLiteral("EOT");
    default:
        return QStringLiteral("%1").arg(static_cast<quint8>(byte), 2, 16, QLatin1Char('0'));
    }
}

QString refusalStep(quint8 cmd) {
    switch (cmd) {
    case kCmdHandshake:
        return QStringLiteral("handshake");
    case kCmdDataRequest:
        return QStringLiteral("data");
    case kCmdKeyCode:
        return QStringLiteral("key");
    case kCmdPlayRequest:
        return QStringLiteral("play");
    case kCmdPlayModeRequest:
        return QStringLiteral("playmode");
    case kCmdProgramList:
        return QStringLiteral("program");
    case kCmdTitleFrame:
        return QStringLiteral("title");
    default:
        return QString();
    }
}

} // namespace

Engine::Engine(ChangerLibrary& library, Player& player, FaultSet& faults, QObject* parent)
    : QObject(parent), m_library(library), m_player(player), m_faults(faults) {
    m_clock.start();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &Engine::onTimeout);
    m_pushTimer.setSingleShot(true);
    connect(&m_pushTimer, &QTimer::timeout, this, &Engine::startPush);
    m_staleTimer.setSingleShot(true);
    connect(&m_staleTimer, &QTimer::timeout, this, &Engine::onStaleFrame);
    m_coalesceTimer.setSingleShot(true);
    connect(&m_coalesceTimer, &QTimer::timeout, this, &Engine::flushCoalesced);
    connect(&m_player, &Player::pushRequested, this, &Engine::queuePush);
}

QString Engine::stateName() const {
    static const char* const kNames[] = {"idle",    "pc-open",  "reply-wait", "reply-ack",
                                         "closing", "push-enq", "push-frame", "push-eot"};
    return QString::fromLatin1(kNames[static_cast<int>(m_state)]);
}

void Engine::log(const QString& text) {
    emit logLine(QStringLiteral("%1 %2").arg(m_clock.elapsed(), 8).arg(text));
}

// ---- receiving ------------------------------------------------------------------------------

void Engine::receive(const QByteArray& bytes) {
    if (m_faults.silent()) {
        log(QStringLiteral("rx (ignored, silent) %1").arg(hexBytes(bytes)));
        m_lexer.reset();
        if (m_state != State::Idle)
            goIdle();
        return;
    }
    const QList<Unit> units = m_lexer.feed(bytes);
    for (const Unit& unit : units)
        handleUnit(unit);
    if (m_lexer.hasPartial())
        m_staleTimer.start(kStaleFrameMs);
    else
        m_staleTimer.stop();
}

void Engine::onStaleFrame() {
    log(QStringLiteral("rx incomplete frame dropped"));
    const QList<Unit> units = m_lexer.dropStalePartial();
    for (const Unit& unit : units)
        handleUnit(unit);
    if (m_lexer.hasPartial())
        m_staleTimer.start(kStaleFrameMs);
}

void Engine::handleUnit(const Unit& unit) {
    ++m_stats.unitsReceived;
    if (!unit.frame) {
        log(QStringLiteral("rx %1").arg(controlName(unit.control())));
        switch (unit.control()) {
        case kEnq:
            handleEnq();
            break;
        case kEot:
            handleEot();
            break;
        case kAck:
            handleAck();
            break;
        default:
            handleNak();
            break;
        }
        return;
    }
    ++m_stats.framesReceived;
    log(QStringLiteral("rx frame %1%2: %3")
            .arg(unit.cmd, 2, 16, QLatin1Char('0'))
            .arg(unit.good ? QString() : QStringLiteral(" BAD CHECKSUM"))
            .arg(hexBytes(unit.bytes)));
    if (!unit.good) {
        ++m_stats.badFramesReceived;
        // Push states: the PC sends no frames there; anywhere else it repeats on NAK.
        if (m_state != State::PushEnq && m_state != State::PushFrame && m_state != State::PushEot)
            sendControl(kNak);
        return;
    }
    if (m_faults.line().nakFrame()) {
        log(QStringLiteral("good frame answered NAK (fault)"));
        sendControl(kNak);
        return;
    }
    handleFrame(unit);
}

void Engine::handleEnq() {
    switch (m_state) {
    case State::PushEnq:
    case State::PushFrame:
        // Both sides opened at once: the PC goes first, the push waits.
        postponePush();
        break;
    case State::PushEot:
        // The frame was acknowledged; only the closing ACK is missing.
        pushDelivered();
        break;
    default:
        break;
    }
    if (m_faults.refuseAt(QStringLiteral("enq"))) {
        refuse("ENQ refused");
        return;
    }
    sendControl(kAck);
    enter(State::PcOpen, kPcIdleTimeoutMs);
}

void Engine::handleEot() {
    switch (m_state) {
    case State::PushEnq:
    case State::PushFrame:
        // The PC refuses the push: acknowledge and try again later.
        sendControl(kAck);
        pushRoundFailed();
        return;
    case State::PushEot:
        pushDelivered();
        goIdle();
        return;
    default:
        // The PC ends its exchange (or gives one up): acknowledge.
        sendControl(kAck);
        goIdle();
        return;
    }
}

void Engine::handleAck() {
    switch (m_state) {
    case State::ReplyAck:
        ++m_replyIndex;
        m_attempts = 1;
        if (m_replyIndex < m_replies.size())
            sendReply();
        else
            finishReplies();
        return;
    case State::ClosingEot:
        if (m_handshakeReply) {
            // The link is up: tell the PC where the changer stands, mode last.
            m_handshakeReply = false;
            m_linked = true;
            m_pushRounds = 0;
            m_pushQueue.clear();
            ++m_stats.handshakes;
            log(QStringLiteral("link up"));
            m_player.pushAll();
        }
        goIdle();
        return;
    case State::PushEnq:
        m_attempts = 1;
        sendFrame(m_pushQueue.first(), QStringLiteral("push"));
        enter(State::PushFrame, kPushFrameTimeoutMs);
        return;
    case State::PushFrame:
        m_attempts = 1;
        sendControl(kEot);
        enter(State::PushEot, kEotAckTimeoutMs);
        return;
    case State::PushEot:
        pushDelivered();
        goIdle();
        return;
    default:
        return; // a stray ACK changes nothing
    }
}

void Engine::handleNak() {
    switch (m_state) {
    case State::ReplyAck:
        if (++m_attempts > kAttempts) {
            refuse("reply refused four times");
            return;
        }
        sendReply();
        return;
    case State::PushFrame:
        if (++m_attempts > kAttempts) {
            sendControl(kEot);
            pushRoundFailed();
            return;
        }
        sendFrame(m_pushQueue.first(), QStringLiteral("push again"));
        enter(State::PushFrame, kPushFrameTimeoutMs);
        return;
    default:
        return;
    }
}

void Engine::handleFrame(const Unit& unit) {
    switch (m_state) {
    case State::PcOpen:
        dispatch(unit);
        return;
    case State::ReplyWait:
    case State::ReplyAck:
    case State::ClosingEot:
        if (unit.bytes == m_lastRequest) {
            // The PC missed the ACK and repeats its request: start the answer again.
            log(QStringLiteral("request repeated"));
            sendControl(kAck);
            beginReplies(m_replies, m_handshakeReply);
        }
        return;
    default:
        log(QStringLiteral("frame outside an exchange ignored"));
        return;
    }
}

void Engine::dispatch(const Unit& unit) {
    const QString step = refusalStep(unit.cmd);
    if (step.isEmpty()) {
        refuse("unknown command");
        return;
    }
    if (m_faults.refuseAt(QStringLiteral("frame")) || m_faults.refuseAt(step)) {
        refuse("refusal fault");
        return;
    }
    const QByteArray& data = unit.data;
    bool accepted = false;
    switch (unit.cmd) {
    case kCmdHandshake:
        if (data != QByteArray(kPcGreeting)) {
            refuse("wrong greeting");
            return;
        }
        sendControl(kAck);
        m_lastRequest = unit.bytes;
        beginReplies({handshakeReply()}, true);
        return;
    case kCmdDataRequest: {
        const std::optional<DataRequest> request = DataRequest::fromData(data);
        ReplyPlan plan =
            request ? answerDataRequest(m_library, *request, m_pieceLength) : ReplyPlan();
        if (m_faults.permissionBits() >= 0 && plan.frames.size() == 1 &&
            plan.frames.first().cmd == kReplyPermission)
            plan.frames.first().data = QByteArray(1, char(m_faults.permissionBits()));
        if (plan.refused) {
            refuse("request not answered");
            return;
        }
        sendControl(kAck);
        m_lastRequest = unit.bytes;
        beginReplies(plan.frames, false);
        return;
    }
    case kCmdTitleFrame:
        accepted = storeTitleFrame(m_library, data);
        break;
    case kCmdProgramList:
        accepted = m_library.changerMode == 0 && storeProgramList(m_library, data);
        if (accepted)
            m_player.programChanged();
        break;
    case kCmdKeyCode:
        accepted = data.size() == 2 && m_player.keyCode(static_cast<quint8>(data.at(0)),
                                                        static_cast<quint8>(data.at(1)));
        break;
    case kCmdPlayRequest:
        accepted = data.size() == 4 &&
                   m_player.playRequest(
                       static_cast<quint8>(data.at(0)) | (static_cast<quint8>(data.at(1)) << 8),
                       static_cast<quint8>(data.at(2)), static_cast<quint8>(data.at(3)));
        break;
    case kCmdPlayModeRequest:
        accepted = data.size() == 2 && m_player.playModeRequest(static_cast<quint8>(data.at(0)),
                                                                static_cast<quint8>(data.at(1)));
        break;
    default:
        break;
    }
    if (!accepted) {
        refuse("command refused");
        return;
    }
    // More frames may follow in the same exchange (titles); the PC closes it with EOT.
    sendControl(kAck);
    enter(State::PcOpen, kPcIdleTimeoutMs);
}

// ---- the changer's answers ------------------------------------------------------------------

void Engine::refuse(const char* why) {
    log(QStringLiteral("refusing: %1").arg(QLatin1String(why)));
    ++m_stats.refusals;
    sendControl(kEot);
    goIdle();
}

void Engine::beginReplies(const QList<OutFrame>& frames, bool handshake) {
    m_replies = frames;
    m_replyIndex = 0;
    m_attempts = 1;
    m_handshakeReply = handshake;
    // A pause before the answer, so that the ACK reaches the PC on its own.
    enter(State::ReplyWait, m_thinkMs);
}

void Engine::sendReply() {
    if (m_replyIndex == 0 && m_attempts == 1 && m_faults.refuseAt(QStringLiteral("reply"))) {
        refuse("reply refusal fault");
        return;
    }
    ++m_stats.replyFramesSent;
    sendFrame(m_replies.at(m_replyIndex),
              QStringLiteral("reply %1 of %2").arg(m_replyIndex + 1).arg(m_replies.size()));
    enter(State::ReplyAck, kReplyAckTimeoutMs);
}

void Engine::finishReplies() {
    sendControl(kEot);
    m_attempts = 1;
    enter(State::ClosingEot, kEotAckTimeoutMs);
}

void Engine::onTimeout() {
    switch (m_state) {
    case State::PcOpen:
        log(QStringLiteral("the PC left its exchange open; back to idle"));
        goIdle();
        return;
    case State::ReplyWait:
        sendReply();
        return;
    case State::ReplyAck:
        if (++m_attempts > kAttempts) {
            refuse("no ACK for a reply frame");
            return;
        }
        sendReply();
        return;
    case State::ClosingEot:
        if (++m_attempts > kAttempts) {
            m_handshakeReply = false;
            goIdle();
            return;
        }
        sendControl(kEot);
        enter(State::ClosingEot, kEotAckTimeoutMs);
        return;
    case State::PushEnq:
        if (++m_attempts > kAttempts) {
            pushRoundFailed();
            return;
        }
        sendControl(kEnq);
        enter(State::PushEnq, kPushEnqTimeoutMs);
        return;
    case State::PushFrame:
        sendControl(kEot);
        pushRoundFailed();
        return;
    case State::PushEot:
        if (++m_attempts > kAttempts) {
            // The frame itself was acknowledged: it counts as delivered.
            pushDelivered();
            goIdle();
            return;
        }
        sendControl(kEot);
        enter(State::PushEot, kEotAckTimeoutMs);
        return;
    case State::Idle:
        return;
    }
}

void Engine::enter(State state, int timeoutMs) {
    m_state = state;
    m_timer.start(timeoutMs);
}

void Engine::goIdle() {
    m_state = State::Idle;
    m_handshakeReply = false;
    m_timer.stop();
    schedulePush();
}

// ---- pushes ---------------------------------------------------------------------------------

void Engine::queuePush(quint8 cmd, const QByteArray& data) {
    if (!m_linked)
        return; // until a PC has shaken hands, nobody listens
    if (m_faults.forgetReport(reportName(cmd)))
        return;
    if (m_pushQueue.size() >= kMaxQueuedPushes) {
        m_pushQueue.removeAt(m_state == State::PushEnq || m_state == State::PushFrame ||
                                     m_state == State::PushEot
                                 ? 1
                                 : 0);
        ++m_stats.pushesAbandoned;
    }
    m_pushQueue.append({cmd, data});
    schedulePush();
}

void Engine::schedulePush(int delayMs) {
    // The quiet line before a push is part of the changer's thinking: none when it thinks at
    // once (benchmarks measure the PC, not the changer's pauses).
    if (delayMs < 0)
        delayMs = qMin(kPushGapMs, m_thinkMs);
    if (m_state == State::Idle && m_linked && !m_pushQueue.isEmpty() && !m_pushTimer.isActive())
        m_pushTimer.start(delayMs);
}

void Engine::startPush() {
    if (m_state != State::Idle || !m_linked || m_pushQueue.isEmpty())
        return;
    if (m_faults.silent()) {
        const int remaining = m_faults.silenceRemainingMs();
        if (remaining >= 0)
            m_pushTimer.start(remaining + kPushGapMs);
        return; // an endless silence resumes through faultsChanged()
    }
    if (m_lexer.hasPartial()) {
        schedulePush(); // the PC is in the middle of sending something
        return;
    }
    m_attempts = 1;
    sendControl(kEnq);
    enter(State::PushEnq, kPushEnqTimeoutMs);
}

void Engine::pushDelivered() {
    m_pushQueue.removeFirst();
    ++m_stats.pushesDelivered;
    m_pushRounds = 0;
}

void Engine::postponePush() {
    log(QStringLiteral("push postponed"));
    m_state = State::Idle;
    m_timer.stop();
}

void Engine::pushRoundFailed() {
    m_state = State::Idle;
    m_timer.stop();
    if (m_pushRounds++ == 0)
        m_firstUnansweredMs = m_clock.elapsed();
    if (m_clock.elapsed() - m_firstUnansweredMs >= kPushGiveUpMs) {
        log(QStringLiteral("no answer to %1 pushes: the PC is taken as gone").arg(m_pushRounds));
        m_stats.pushesAbandoned += m_pushQueue.size();
        m_pushQueue.clear();
        m_linked = false;
        return;
    }
    const int backoff = m_pushRetryMs << qMin(m_pushRounds - 1, 3);
    m_pushTimer.start(qMin(backoff, m_pushRetryMs * (kPushBackoffMaxMs / kPushBackoffMs)));
}

void Engine::faultsChanged() {
    if (m_faults.silent()) {
        if (m_state != State::Idle) {
            m_state = State::Idle;
            m_timer.stop();
        }
        return;
    }
    schedulePush();
}

void Engine::lineLost() {
    m_state = State::Idle;
    m_timer.stop();
    m_pushTimer.stop();
    m_staleTimer.stop();
    m_coalesceTimer.stop();
    m_coalesced.clear();
    m_lexer.reset();
    m_pushQueue.clear();
    m_linked = false;
    m_handshakeReply = false;
}

// ---- sending --------------------------------------------------------------------------------

void Engine::sendControl(char byte) {
    if (byte == kNak)
        ++m_stats.naksSent;
    emitUnit(QByteArray(1, byte), false, controlName(byte));
}

void Engine::sendFrame(const OutFrame& frame, const QString& note) {
    emitUnit(buildFrame(frame.cmd, frame.data), true,
             QStringLiteral("frame %1 (%2)").arg(frame.cmd, 2, 16, QLatin1Char('0')).arg(note));
}

void Engine::emitUnit(const QByteArray& unit, bool frame, const QString& note) {
    if (m_faults.silent()) {
        log(QStringLiteral("tx (silent) %1").arg(note));
        return;
    }
    if (m_faults.dropUnit()) {
        log(QStringLiteral("tx (dropped) %1: %2").arg(note, hexBytes(unit)));
        return;
    }
    QByteArray bytes = unit;
    if (frame && m_faults.corruptFrame()) {
        bytes.back() = static_cast<char>(bytes.back() ^ 0x5A);
        log(QStringLiteral("tx (bad checksum) %1: %2").arg(note, hexBytes(bytes)));
    } else {
        log(QStringLiteral("tx %1%2").arg(note, frame ? QStringLiteral(": ") + hexBytes(bytes)
                                                      : QString()));
    }
    int gap = 0;
    if (frame) {
        const QByteArray noise = m_faults.garbage();
        if (!noise.isEmpty()) {
            log(QStringLiteral("tx noise %1").arg(hexBytes(noise)));
            queueOut(noise, 0);
            gap = m_faults.garbageGapMs();
        }
    }
    const LineFaults::Outgoing out = m_faults.line().shape(bytes, frame);
    if (out.hangUp) {
        log(QStringLiteral("line cut instead of %1 (fault)").arg(note));
        emit hangUpRequested();
        return;
    }
    if (out.mute) {
        log(QStringLiteral("falls silent instead of %1 (fault)").arg(note));
        m_faults.muteNow();
        return;
    }
    if (out.pieces.size() != 1 || out.pieces.first() != bytes || out.gapMs > 0)
        log(QStringLiteral("tx shaped (fault): %1 piece(s), %2 ms late")
                .arg(out.pieces.size())
                .arg(out.gapMs));
    gap += out.gapMs;
    for (int i = 0; i < out.pieces.size(); ++i)
        queueOut(out.pieces.at(i), i == 0 ? gap : out.pieceGapMs);
}

void Engine::queueOut(const QByteArray& bytes, int gapMs) {
    if (m_faults.line().coalesceMs() >= 0) {
        m_coalesced.append(bytes);
        if (!m_coalesceTimer.isActive())
            m_coalesceTimer.start(m_faults.line().coalesceMs());
        return;
    }
    emit transmit(bytes, gapMs);
}

void Engine::flushCoalesced() {
    if (m_coalesced.isEmpty())
        return;
    emit transmit(m_coalesced, 0);
    m_coalesced.clear();
}

} // namespace tf::sim
