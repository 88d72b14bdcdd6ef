#include "link/link.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "link/linktrace.h"

#include <QEventLoop>
#include <QScopeGuard>

namespace tf {

Link::Link(UserInterface& ui, QObject* parent) : QObject(parent), m_ui(ui) {
    m_errTm.setSingleShot(true);
    m_errTm.setTimerType(Qt::PreciseTimer);
    connect(&m_errTm, &QTimer::timeout, this, &Link::onWaitTimer);
    m_reconnect.setSingleShot(true);
    // Qt rounds coarse timers of 20 s and more to whole seconds; the changer's waits are
    // meant to the millisecond.
    m_reconnect.setTimerType(Qt::PreciseTimer);
    connect(&m_reconnect, &QTimer::timeout, this, &Link::tmReConnect_Timer);
    connect(&m_linePoll, &QTimer::timeout, this, &Link::pollLineSignals);
    m_tocTimer.setSingleShot(true);
    m_tocTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_tocTimer, &QTimer::timeout, this, &Link::wake);
    connect(&m_port, &QSerialPort::readyRead, this, &Link::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &Link::onPortError);
    connect(this, &Link::traffic, this, &traceUnit); // costs nothing while the trace is off
}

Link::~Link() {
    m_port.close();
}

void Link::setLinkBusy(qint16 owner) {
    if (m_linkBusy == kLinkOffline)
        return;
    const bool changed = m_linkBusy != owner;
    m_linkBusy = owner;
    emit wake();
    if (changed)
        emit linkBusyChanged(owner);
    if (owner == kLinkIdle)
        kickPoll();
}

void Link::recordResult(bool ok) {
    m_lastResult = ok ? kResultOk : kResultFailed;
}

void Link::setOperationRunning(bool running) {
    if (m_operationRunning == running)
        return;
    m_operationRunning = running;
    emit wake();
}

void Link::setCommandInProgress(bool inProgress) {
    if (m_commandInProgress == inProgress)
        return;
    m_commandInProgress = inProgress;
    emit commandInProgressChanged(inProgress);
}

void Link::modeReactionDone() {
    m_modeChanged = false;
    m_statusHold = false;
}

void Link::markEstablished() {
    m_statusHold = true;
    m_linkEstablished = true;
}

void Link::setOffline(bool offline) {
    const qint16 owner = offline ? kLinkOffline : kLinkIdle;
    const bool changed = m_linkBusy != owner;
    m_linkBusy = owner;
    emit wake();
    if (changed)
        emit linkBusyChanged(owner);
}

// ---- Port ----

int Link::openDevice(const QString& device) {
    closePort();
    m_port.setPortName(device);
    bool ok = !device.isEmpty() && m_port.open(QIODevice::ReadWrite);
    if (ok) {
        ok = m_port.setBaudRate(QSerialPort::Baud9600) && m_port.setDataBits(QSerialPort::Data8) &&
             m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::TwoStop) &&
             m_port.setFlowControl(QSerialPort::NoFlowControl);
        m_port.clear();
        if (!ok)
            m_port.close();
    }
    m_openProblemText.clear();
    if (!ok) {
        const PortFacts facts = gatherPortFacts(device, m_port.error());
        m_openProblem = classifyPortProblem(facts);
        m_openProblemText = portProblemText(m_openProblem, facts);
        m_port.clearError();
        m_ui.messageBox(msg(msgid::PortCannotOpen) + QLatin1Char('\r') +
                            msg(msgid::PortCannotOpenHint) + QStringLiteral("\r\r") +
                            m_openProblemText,
                        msg(msgid::PortErrorTitle), UserInterface::Style::Ok);
        return 1;
    }
    m_assembler.clear();
    m_slot.clear();
    m_fatalShown = false;
    // Modem lines are watched where the device has them; a pseudo-terminal has none.
    m_lines = m_port.pinoutSignals();
    if (m_port.error() == QSerialPort::NoError)
        m_linePoll.start(m_timings.lineSignalPollMs);
    m_port.clearError();
    return 0;
}

bool Link::isOpen() const {
    return m_port.isOpen();
}

QString Link::deviceName() const {
    return m_port.portName();
}

void Link::closePort() {
    m_linePoll.stop();
    if (m_port.isOpen())
        m_port.close();
    emit wake();
}

void Link::onReadyRead() {
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_assembler.feed(bytes);
    deliver();
}

void Link::deliver() {
    if (!m_slot.isEmpty() || !m_assembler.hasUnit())
        return;
    m_slot = m_assembler.takeUnit();
    emit traffic(false, m_slot);
    emit wake();
    kickPoll();
}

void Link::onPortError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError: // also what clearError() reports
        return;
    case QSerialPort::UnsupportedOperationError: // a pseudo-terminal has no modem lines
    case QSerialPort::TimeoutError:
        m_port.clearError();
        return;
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError:
        // The far end hung up or the device went away. Close at once: the port would
        // otherwise repeat the error in a busy loop.
        closePort();
        lineEvent();
        return;
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        closePort();
        fatalPortError(msgid::UnexpectedError);
        return;
    default:
        // Errors of opening are reported by openDevice().
        return;
    }
}

void Link::pollLineSignals() {
    if (!m_port.isOpen()) {
        m_linePoll.stop();
        return;
    }
    const auto lines = m_port.pinoutSignals();
    if (m_port.error() != QSerialPort::NoError) {
        m_port.clearError();
        m_linePoll.stop();
        return;
    }
    constexpr auto watched = QSerialPort::ClearToSendSignal | QSerialPort::DataSetReadySignal |
                             QSerialPort::DataCarrierDetectSignal |
                             QSerialPort::RingIndicatorSignal;
    const bool changed = (lines & watched) != (m_lines & watched);
    m_lines = lines;
    if (changed)
        lineEvent();
}

void Link::lineEvent() {
    if (!m_linkEstablished) {
        // Perhaps the changer was just switched on: try the handshake again a little later.
        m_reconnect.start(m_timings.reconnectMs);
        return;
    }
    fatalPortError(msgid::InterfaceErrorClosing);
}

void Link::fatalPortError(int messageId) {
    if (m_fatalShown)
        return;
    m_fatalShown = true;
    closePort();
    m_ui.messageBox(msg(messageId), msg(msgid::CommunicationErrorTitle), UserInterface::Style::Ok);
    // Leave through the normal closing path, which asks about unsaved titles, instead of
    // ending on the spot.
    emit closeRequested();
}

void Link::tmReConnect_Timer() {
    m_reconnect.stop();
    if (m_linkEstablished)
        return;
    if (!m_port.isOpen()) {
        const QString device = m_port.portName();
        m_port.setPortName(device);
        if (!m_port.open(QIODevice::ReadWrite)) {
            m_port.clearError();
            return; // still nothing there; the next line event tries again
        }
        m_port.setBaudRate(QSerialPort::Baud9600);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::TwoStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        m_assembler.clear();
        m_slot.clear();
    }
    RS232C_Changer_INIT();
    if (m_linkBusy == kLinkIdle) {
        m_statusHold = true;
        m_linkEstablished = true;
        startPoll();
        emit linkUp();
    }
}

// ---- Taking the link ----

bool Link::Tarminal_Base_check() {
    waitUntil([this] { return m_linkBusy == kLinkIdle || m_linkBusy == kLinkOffline; });
    return m_linkBusy == kLinkIdle;
}

void Link::takeFor(LinkOwner owner) {
    emit busyCursor(true);
    stopPoll();
    setLinkBusy(owner);
}

void Link::giveBack() {
    emit busyCursor(false);
    startPoll();
    setLinkBusy(kLinkIdle);
}

// ---- The link poll ----
// It runs when something can have changed (a unit arrived, the link was released, the poll
// was restarted) rather than on a fixed tick, so an idle link costs nothing.

void Link::startPoll() {
    m_pollRunning = true;
    kickPoll();
}

void Link::stopPoll() {
    m_pollRunning = false;
}

void Link::kickPoll() {
    if (m_pollScheduled || !m_pollRunning)
        return;
    m_pollScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_pollScheduled = false;
        TM232c_Timer();
    });
}

void Link::TM232c_Timer() {
    if (!m_pollRunning || m_linkState != kLinkUp || m_linkBusy != kLinkIdle || m_inInputData)
        return;
    if (slotFull()) {
        Input_data();
        kickPoll();
    } else if (m_modeChanged) {
        m_modeChanged = false;
        emit modeReaction();
    } else if (!m_statusHold) {
        emit statusTick();
    }
}

// ---- Primitives ----

void Link::send(const QByteArray& unit, int waitMs) {
    if (m_port.isOpen()) {
        m_port.write(unit);
        m_port.flush();
    }
    emit traffic(true, unit);
    ArmWait(waitMs);
}

void Link::SendEnq() {
    m_lastResult = kResultOk;
    send(QByteArray(1, char(kEnq)), m_timings.enqMs);
}

void Link::SendAck() {
    send(QByteArray(1, char(kAck)), m_timings.controlMs);
}

void Link::SendNak() {
    send(QByteArray(1, char(kNak)), m_timings.controlMs);
}

void Link::SendEot() {
    send(QByteArray(1, char(kEot)), m_timings.controlMs);
}

void Link::SendDataRequest(RequestCode code, const RequestRecord& request) {
    m_request = request;
    m_request.RequestGroup = code.group;
    m_request.RequestCode = code.code;
    send(buildDataRequest(code, request.RequestDisc, request.RequestTrack, request.RequestKind,
                          request.RequestFieldD),
         m_timings.frameMs);
}

void Link::SendTitleFrame(const RequestRecord& request) {
    m_request = request;
    send(buildTitleFrame(request.RequestDisc, request.RequestTrack, request.RequestFieldB,
                         request.RequestKind, request.RequestFieldD, request.RequestText),
         m_timings.frameMs);
}

void Link::SendKeyCodeFrame(quint8 high, quint8 low) {
    send(buildKeyCode(quint16((high << 8) | low)), m_timings.frameMs);
}

void Link::SendPlayFrame(quint16 disc, quint8 a, quint8 b) {
    send(buildPlayRequest(disc, a, b), m_timings.frameMs);
}

void Link::SendPlayModeFrame(quint8 a, quint8 b) {
    send(buildPlayModeRequest(a, b), m_timings.frameMs);
}

void Link::SendProgramList(const QList<ProgramStep>& steps) {
    send(buildProgramList(steps), m_timings.frameMs);
}

void Link::ArmWait(int ms) {
    m_errTm.stop();
    m_timeoutFlag = false;
    m_errTm.start(ms);
}

void Link::onWaitTimer() {
    m_timeoutFlag = true;
    // A frame whose bytes stopped coming was most likely started by noise: look past it.
    if (m_assembler.pendingBytes() > 0) {
        m_assembler.abandonPartialFrame();
        deliver();
    }
    emit wake();
}

// ---- Slot and waits ----

bool Link::slotIs(quint8 byte) const {
    return m_slot.size() == 1 && quint8(m_slot.at(0)) == byte;
}

void Link::emptySlot() {
    m_slot.clear();
    deliver();
}

Link::WaitResult Link::waitUnit() {
    // Every wait is bounded: when no time-out is running (it ran out earlier and was taken),
    // the wait gets a control byte's time-out rather than hanging.
    if (!m_errTm.isActive() && !m_timeoutFlag && !slotFull())
        ArmWait(m_timings.controlMs);
    waitUntil([this] { return slotFull() || m_timeoutFlag; });
    if (slotFull())
        return WaitResult::Unit;
    m_timeoutFlag = false;
    return WaitResult::Timeout;
}

bool Link::waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    if (condition())
        return true;
    QEventLoop loop;
    bool expired = false;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, [&] {
        expired = true;
        loop.quit();
    });
    const auto connection = connect(this, &Link::wake, &loop, [&] {
        if (condition())
            loop.quit();
    });
    if (timeoutMs >= 0)
        limit.start(timeoutMs);
    loop.exec();
    disconnect(connection);
    return expired ? condition() : true;
}

void Link::drainOutput() {
    if (!m_port.isOpen())
        return;
    m_port.flush();
    if (m_port.bytesToWrite() > 0)
        m_port.waitForBytesWritten(m_timings.controlMs);
}

bool Link::waitForToc(int disc, int ms) {
    m_tocTimer.start(ms);
    waitUntil([&] {
        return m_play.TocReadyDisc == disc || !m_tocTimer.isActive() || !m_operationRunning;
    });
    const bool ready = m_play.TocReadyDisc == disc;
    m_tocTimer.stop();
    return ready;
}

void Link::ShowLinkError(const QString& body, const QString& title) {
    m_errorDialogOpen = true;
    m_ui.showErrorDialog(body, title, m_timings.errorCountdownS, [this] {
        m_errorDialogOpen = false;
        emit wake();
    });
    waitUntil([this] { return !m_errorDialogOpen; });
    if (m_linkBusy != kLinkOffline)
        setLinkBusy(kLinkIdle);
    m_currentTransaction = 0;
}

// ---- Changer-initiated exchanges ----

bool Link::storePlayStatus(const Frame& frame) {
    const auto status = decodePlayStatus(frame);
    if (!status)
        return false;
    if (status->disc != m_play.PlayDisc) {
        m_discChanged = true;
        m_play.TocReadyDisc = 0;
        m_play.PlayDisc = qint16(status->disc);
    }
    m_play.PlayTrack = status->track;
    m_play.PlayProgramStep = status->programStep;
    m_play.PlayMusicType = status->musicType;
    m_play.PlayUserFileBits = status->userFileBits;
    m_play.PlayStatus7 = status->status7;
    m_play.PlayMode = status->playMode;
    m_play.PlayRepeat = status->repeat;
    return true;
}

bool Link::storeChangerMode(const Frame& frame) {
    const auto mode = decodeChangerMode(frame);
    if (!mode)
        return false;
    if (*mode + 1 != m_modeCode) {
        m_modeChanged = true;
        m_modeCode = qint16(*mode + 1);
        // A running long operation stops as if cancelled.
        m_operationRunning = false;
    }
    return true;
}

bool Link::storePushedFrame(const Frame& frame) {
    switch (frame.cmd) {
    case kPushPlayStatus:
        if (!storePlayStatus(frame))
            return false;
        break;
    case kPushPlayState: {
        const auto state = decodePlayState(frame);
        if (!state)
            return false;
        m_play.PlayStateCode = *state;
        break;
    }
    case kPushTocReady: {
        const auto disc = decodeTocReady(frame);
        if (!disc)
            return false;
        m_play.TocReadyDisc = qint16(*disc);
        break;
    }
    case kPushChangerMode:
        if (!storeChangerMode(frame))
            return false;
        break;
    default:
        return false;
    }
    emit playValuesChanged();
    emit wake();
    return true;
}

void Link::Input_data() {
    if (!slotIs(kEnq)) {
        if (slotIs(kEot))
            SendAck();
        emptySlot();
        return;
    }
    // The poll must not start a second exchange while this one waits; the flag outlives the
    // hold so the release cannot re-enter.
    m_inInputData = true;
    const auto leaving = qScopeGuard([this] { m_inInputData = false; });
    const LinkHold hold(*this, kLinkPush);
    if (receivePushedFrame())
        awaitClosingEot();
}

bool Link::receivePushedFrame() {
    for (;;) {
        SendAck();
        emptySlot();
        for (;;) {
            if (waitUnit() == WaitResult::Timeout)
                return false;
            if (slotIs(kEnq))
                break; // the changer opened the exchange again: answer it again
            if (slotIs(kEot)) {
                SendAck();
                emptySlot();
                drainOutput();
                return false;
            }
            if (m_slot.size() == 1) {
                emptySlot();
                continue;
            }
            const auto frame = parseFrame(m_slot);
            if (!frame || !isPushedCmd(frame->cmd) || !storePushedFrame(*frame)) {
                SendNak();
                emptySlot();
                continue;
            }
            SendAck();
            emptySlot();
            return true;
        }
    }
}

void Link::awaitClosingEot() {
    for (;;) {
        if (waitUnit() == WaitResult::Timeout)
            return;
        if (slotIs(kEot)) {
            SendAck();
            emptySlot();
            drainOutput();
            return;
        }
        emptySlot();
    }
}

} // namespace tf
