#pragma once

#include "link/frame.h"
#include "link/linkstate.h"
#include "link/portdiagnosis.h"
#include "link/timings.h"
#include "link/unitassembler.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

#include <functional>

namespace tf {

class UserInterface;

// The one owner of the serial port and of the link's shared state: the delivery slot, the
// busy flags, the request record, the pushed play values and the changer's mode. Operations
// and panels receive it by reference.
//
// Waits sleep in a nested event loop that is woken by what they wait for (a unit in the slot,
// the wait timer, a flag), so port events and timers keep running while an operation waits,
// and an idle wait costs no CPU. Only code that holds the link (a busy bracket) may wait.
class Link : public QObject {
    Q_OBJECT
public:
    explicit Link(UserInterface& ui, QObject* parent = nullptr);
    ~Link() override;

    // Time-outs; tests and benchmarks shorten them.
    const LinkTimings& timings() const { return m_timings; }
    void setTimings(const LinkTimings& timings) { m_timings = timings; }

    // ---- Shared state (written only by the link; the setters below say who else may) ----
    qint16 linkState() const { return m_linkState; }
    qint16 lastResult() const { return m_lastResult; }
    qint16 currentTransaction() const { return m_currentTransaction; }
    bool errorDialogOpen() const { return m_errorDialogOpen; }
    qint16 maxDiscCount() const { return m_maxDiscCount; }
    qint16 modeCode() const { return m_modeCode; } // 1 = mode 0, 2 = mode 1, 0 = none yet
    bool modeChanged() const { return m_modeChanged; }
    bool linkEstablished() const { return m_linkEstablished; }
    bool statusHold() const { return m_statusHold; }
    bool discChanged() const { return m_discChanged; }
    bool operationRunning() const { return m_operationRunning; }
    bool commandInProgress() const { return m_commandInProgress; }
    // What the changer last pushed about its play state.
    PlayValues playValues() const { return m_play; }
    // The request record as the last request left it.
    const RequestRecord& request() const { return m_request; }

    // An operation running its own exchange records how it ended, for lastResult().
    void recordResult(bool ok);
    // An operation running its own exchange names it while it runs (0 afterwards).
    void setCurrentTransaction(qint16 code) { m_currentTransaction = code; }
    // A long operation runs; Cancel or a mode change clears it. Wakes waits.
    void setOperationRunning(bool running);
    // A command's changer exchange runs; handlers that find it set return at once.
    void setCommandInProgress(bool inProgress);
    // The status display stays off until the first mode report.
    void holdStatus(bool hold) { m_statusHold = hold; }
    // The window has rebuilt itself for the changer's new mode: the status may show again.
    void modeReactionDone();
    // A handshake run outside startUpLink() succeeded and the caller shows the status itself:
    // no reconnect is tried, and the status is held until the first mode report.
    void markEstablished();
    // The table of contents reported so far no longer counts (a new disc is being asked for).
    void forgetTocReady() { m_play.TocReadyDisc = 0; }

    qint16 linkBusy() const { return m_linkBusy; }
    // Goes offline or comes back (owner idle).
    void setOffline(bool offline);

    // ---- Port ----
    // Opens `device` at 9600 baud, 8N2, no flow control. 0 = open; 1 = cannot be opened (the
    // user has been told). Rs232cINIT (operations/comport.h) finds the device of a COM number.
    int openDevice(const QString& device);
    // Why the last openDevice failed, in words a user can act on (empty after a success).
    PortProblem openProblem() const { return m_openProblem; }
    const QString& openProblemText() const { return m_openProblemText; }
    bool isOpen() const;
    QString deviceName() const;
    void closePort();

    // ---- Taking the link ----
    // Sleeps until nobody holds the link. True when it is free to take, false when offline.
    // Take it with a LinkHold.
    bool Tarminal_Base_check();
    bool pollRunning() const { return m_pollRunning; }

    // ---- Primitives for operations' own exchanges: each sends one unit and arms the wait
    // timer ----
    void SendEot();
    // The data request `code` for `request`'s disc, track, kind and music type; the request
    // becomes the link's request record.
    void SendDataRequest(RequestCode code, const RequestRecord& request);
    // A title frame of `request`; it becomes the link's request record.
    void SendTitleFrame(const RequestRecord& request);
    void SendProgramList(const QList<ProgramStep>& steps);

    // ---- The delivery slot and waits ----
    bool slotFull() const { return !m_slot.isEmpty(); }
    const QByteArray& slotUnit() const { return m_slot; }
    void emptySlot();
    // Sleeps until `condition` holds, or at most `timeoutMs` when that is not negative.
    // Woken by every change of the link's state. Returns the condition.
    bool waitUntil(const std::function<bool()>& condition, int timeoutMs = -1);
    // Waits up to `ms` for the changer to report the table of contents of `disc`; true when
    // it did.
    bool waitForToc(int disc, int ms);

    // ---- Exchange steps, for operations that run exchanges of many frames ----
    // Each sends up to kAttempts times under the time-out of the unit sent, and answers a
    // refusal (EOT in place of ACK) with ACK.
    enum class StepResult {
        Acked,    // the changer acknowledged (its ACK is left in the slot by openExchange)
        Refused,  // the changer answered EOT, acknowledged
        NoAnswer, // the attempts ran out; nothing more was sent
        Stray,    // a unit other than ACK or EOT after the last attempt (strict start only)
    };
    // ENQ until the changer acknowledges. A strict start (the handshake) counts any other
    // unit as a failed attempt.
    StepResult openExchange(int attempts = kAttempts, bool strict = false);
    // Sends with `send` until the changer acknowledges, again on NAK or time-out.
    StepResult sendAcked(const std::function<void()>& send);
    // EOT until the changer acknowledges it; lastResult() 0 or 255.
    StepResult closeExchange();
    // What a reply handler makes of one frame.
    enum class FrameAction {
        Ack,        // acknowledge and wait for the next frame
        AckRepeat,  // acknowledge a frame sent again; it does not count as progress
        AckAndStop, // acknowledge: the reply is complete
        EndNow,     // the PC ends the exchange with EOT
        Fail,       // unusable: EOT, lastResult() 255
    };
    enum class ReplyEnd {
        ChangerEot, // the changer ended its answer (acknowledged)
        Complete,   // a handler took the last frame (AckAndStop)
        PcEnded,    // a handler ended the exchange (EndNow)
        Failed,     // time-out, bad or unexpected frame; EOT sent, lastResult() 255
    };
    // Receives reply frames, the first under replyMs and each later one under nextFrameMs;
    // bad checksums are answered with NAK up to kAttempts times.
    ReplyEnd receiveFrames(const std::function<FrameAction(const Frame&)>& handle);
    // After a failure (lastResult() 255): takes the changer's answer to the EOT just sent.
    void catchAnswer();

    // ---- Transactions: each leaves lastResult() (0 success, 255 failure) ----
    bool ReadDiscId(quint16 disc, DiscToc& toc);
    bool ReadUserFile(quint16 disc, quint8& userFileByte);
    bool ReadMusicType(quint16 disc, quint8& musicType);
    int ConfirmTitleInput(quint16 disc); // 1 = titles may be entered; 0 = refused or failed
    bool ReadMinMaxTno(quint16 disc, MinMaxTno& range);
    // The answer byte of reply 0x09 to `code` about `disc`.
    bool ConfirmRequest(RequestCode code, quint16 disc, quint8& answer);
    // The request carries the disc of the request before it.
    bool ReadProgramList(QList<ProgramStep>& steps);
    bool RequestPlay(quint16 disc, quint8 a, quint8 b);
    bool RequestPlayMode(quint8 a, quint8 b);
    bool SendKeyCode(quint8 high, quint8 low);

    // The error dialog with a countdown; returns when it has closed.
    void ShowLinkError(const QString& body, const QString& title);

    // ---- Start-up ----
    // The handshake; afterwards linkBusy() is 0 (up) or 4 (offline).
    void RS232C_Changer_INIT();
    // Opens `device` and runs the handshake. True when the link is up.
    bool startUpLink(const QString& device);

    // ---- Changer-initiated exchanges ----
    void Input_data();

    // Bytes received that could not start a unit (line noise), since the port was opened.
    qsizetype noiseBytes() const { return m_assembler.skippedBytes(); }

signals:
    // Hourglass while the link is held for a changer-initiated exchange or an operation.
    void busyCursor(bool busy);
    // The changer reported a new mode; the window rebuilds the disc list and the tabs.
    void modeReaction();
    // The link is idle and may show the play status.
    void statusTick();
    // New play values were stored from a pushed frame.
    void playValuesChanged();
    // A command's exchange started (true) or ended (false).
    void commandInProgressChanged(bool inProgress);
    // Another owner holds the link (or none: kLinkIdle; or it went offline).
    void linkBusyChanged(qint16 owner);
    // The link came up (from start-up, reconnect or the options window).
    void linkUp();
    // The port failed after the link was up: the program should close (asking about unsaved
    // work) after the user has read the message.
    void closeRequested();
    // Every unit sent (true) or received (false), for tracing.
    void traffic(bool sent, const QByteArray& unit);

private:
    friend class LinkTestAccess;
    friend class LinkHold;

    // Wakes waits: emitted on every change a wait may be waiting for.
    Q_SIGNAL void wake();

    // The busy bracket's two halves; LinkHold pairs them.
    void takeFor(LinkOwner owner);
    void giveBack();
    // Changes the owner; the offline state is left only through setOffline(false).
    void setLinkBusy(qint16 owner);

    // Primitives of the link's own exchanges.
    void SendEnq();
    void SendAck();
    void SendNak();
    void SendKeyCodeFrame(quint8 high, quint8 low);
    void SendPlayFrame(quint16 disc, quint8 a, quint8 b);
    void SendPlayModeFrame(quint8 a, quint8 b);
    void ArmWait(int ms);
    // The slot's unit when it is the one control byte `byte`.
    bool slotIs(quint8 byte) const;
    enum class WaitResult { Unit, Timeout };
    // Waits for a unit in the slot or the wait timer.
    WaitResult waitUnit();
    // Waits until the port's output buffer has drained.
    void drainOutput();

    void send(const QByteArray& unit, int waitMs);
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void onWaitTimer();
    void deliver();
    void kickPoll();
    void TM232c_Timer();
    void startPoll();
    void stopPoll();
    void pollLineSignals();
    void lineEvent();
    void fatalPortError(int messageId);
    void tmReConnect_Timer();

    // The two transaction patterns.
    using FrameHandler = std::function<bool(const Frame&, bool& complete)>;
    struct DataSpec {
        qint16 code;
        RequestCode request;
        quint8 reply;
        int bodyMsg;
        int titleMsg;
    };
    bool dataTransaction(const DataSpec& tx, const FrameHandler& handle);
    bool awaitClosingEotOfReply(const DataSpec& tx);
    bool commandTransaction(const QByteArray& frame, int bodyMsg, int titleMsg, bool showError);
    bool stepFailed(StepResult result, int bodyMsg, int titleMsg);
    void giveUp(int bodyMsg, int titleMsg);
    void errorReport(int bodyMsg, int titleMsg);
    // The handshake's steps.
    bool sendHandshakeFrame();
    bool takeHandshakeReply();
    bool awaitHandshakeEot();
    void handshakeFailure();
    void handshakeFailWithEot();
    bool storePushedFrame(const Frame& frame);
    bool storePlayStatus(const Frame& frame);
    bool storeChangerMode(const Frame& frame);
    // Input_data's two halves: the pushed frame (true when one was stored) and the EOT after it.
    bool receivePushedFrame();
    void awaitClosingEot();

    LinkTimings m_timings;
    qint16 m_linkState = kLinkDown;
    qint16 m_lastResult = kResultOk;
    qint16 m_currentTransaction = 0;
    qint16 m_retryCount = 1;
    bool m_timeoutFlag = false;
    bool m_errorDialogOpen = false;
    PortProblem m_openProblem = PortProblem::Other;
    QString m_openProblemText;
    qint16 m_maxDiscCount = kMaxDiscCount;
    qint16 m_modeCode = 0;
    bool m_modeChanged = false;
    bool m_linkEstablished = false; // a handshake from start-up or reconnect succeeded
    bool m_statusHold = false;      // no status display until the first mode report
    bool m_discChanged = false;     // a PlayStatus named another disc
    bool m_operationRunning = false;
    bool m_commandInProgress = false;
    PlayValues m_play;
    RequestRecord m_request;

    UserInterface& m_ui;
    QSerialPort m_port;
    UnitAssembler m_assembler;
    QByteArray m_slot;
    qint16 m_linkBusy = kLinkIdle;
    QTimer m_errTm;
    QTimer m_reconnect;
    QTimer m_linePoll;
    QTimer m_tocTimer;
    QSerialPort::PinoutSignals m_lines;
    bool m_pollRunning = false;
    bool m_pollScheduled = false;
    bool m_fatalShown = false;
    bool m_inInputData = false;
};

// Holds the link for one owner (store, audio or push) for its scope: the busy cursor shows,
// the status poll stops, and all three are given back on every way out of the scope. While the
// link is offline the owner stays offline; the cursor and the poll still follow the hold.
class LinkHold {
public:
    LinkHold(Link& link, LinkOwner owner) : m_link(link) { m_link.takeFor(owner); }
    ~LinkHold() { m_link.giveBack(); }
    LinkHold(const LinkHold&) = delete;
    LinkHold& operator=(const LinkHold&) = delete;

private:
    Link& m_link;
};

// Runs `exchange` holding the link for `owner` and returns what it returns.
template <typename F> auto whileHolding(Link& link, LinkOwner owner, F exchange) {
    const LinkHold hold(link, owner);
    return exchange();
}

} // namespace tf
