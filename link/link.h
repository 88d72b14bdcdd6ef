#pragma once

#include "link/frame.h"
#include "link/linkstate.h"
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
class Link : public QObject, public RequestRecord, public PlayValues {
    Q_OBJECT
public:
    explicit Link(UserInterface& ui, QObject* parent = nullptr);
    ~Link() override;

    LinkTimings timings;

    // ---- Shared state ----
    qint16 LinkState = kLinkDown;
    qint16 LastResult = kResultOk;
    qint16 CurrentTransaction = 0;
    qint16 RetryCount = 1;
    bool TimeoutFlag = false;
    bool ErrorDialogOpen = false;
    qint16 MaxDiscCount = kMaxDiscCount;
    qint16 ModeCode = 0; // 1 = changer mode 0, 2 = changer mode 1, 0 = none reported yet
    bool ModeChanged = false;
    bool LinkEstablished = false;   // a handshake from start-up or reconnect succeeded
    bool StatusHold = false;        // no status display until the first mode report
    bool DiscChanged = false;       // a PlayStatus named another disc
    bool OperationRunning = false;  // a long operation runs; Cancel or a mode change clears it
    bool CommandInProgress = false; // a command's changer exchange runs

    qint16 linkBusy() const { return m_linkBusy; }
    // Changes the owner; the offline state is left only through setOffline(false).
    void setLinkBusy(qint16 owner);
    // Goes offline or comes back (owner idle).
    void setOffline(bool offline);

    // ---- Port ----
    // Opens the device mapped to COM `comPort` at 9600 baud, 8N2, no flow control. 0 = open;
    // 1 = cannot be opened (the user has been told).
    int Rs232cINIT(int comPort);
    // The same on a named device.
    int openDevice(const QString& device);
    bool isOpen() const;
    QString deviceName() const;
    void closePort();

    // ---- Taking the link ----
    // Sleeps until nobody holds the link. True when it is free to take, false when offline.
    // Take it with a LinkHold.
    bool Tarminal_Base_check();
    bool pollRunning() const { return m_pollRunning; }

    // ---- Primitives: each sends one unit and arms the wait timer ----
    void SendEnq();
    void SendAck();
    void SendNak();
    void SendEot();
    void SendDataRequest(quint8 group, quint8 code);
    void SendTitleFrame();
    void SendKeyCodeFrame(quint8 high, quint8 low);
    void SendPlayFrame(quint16 disc, quint8 a, quint8 b);
    void SendPlayModeFrame(quint8 a, quint8 b);
    void SendProgramList(const QList<ProgramStep>& steps);
    void ArmWait(int ms);

    // ---- The delivery slot and waits ----
    bool slotFull() const { return !m_slot.isEmpty(); }
    const QByteArray& slotUnit() const { return m_slot; }
    // The slot's unit when it is the one control byte `byte`.
    bool slotIs(quint8 byte) const;
    void emptySlot();
    enum class WaitResult { Unit, Timeout };
    // Waits for a unit in the slot or the wait timer; a time-out clears TimeoutFlag.
    WaitResult waitUnit();
    // Sleeps until `condition` holds. Woken by every change of the link's state.
    void waitUntil(const std::function<bool()>& condition);
    // Waits until the port's output buffer has drained.
    void drainOutput();
    // Waits up to `ms` for the changer to report the table of contents of `disc`; true when
    // it did.
    bool waitForToc(int disc, int ms);

    // ---- Transactions: each leaves LastResult (0 success, 255 failure) ----
    bool ReadDiscId(DiscToc& toc);
    bool ReadUserFile(quint8& userFileByte);
    bool ReadMusicType(quint8& musicType);
    int ConfirmTitleInput(); // 1 = titles may be entered; 0 = refused or failed
    bool ReadMinMaxTno(MinMaxTno& range);
    // RequestGroup and RequestCode preset by the caller; the answer byte of reply 0x09.
    bool ConfirmRequest(quint8& answer);
    bool ReadProgramList(QList<ProgramStep>& steps);
    bool RequestPlay(quint16 disc, quint8 a, quint8 b);
    bool RequestPlayMode(quint8 a, quint8 b);
    bool SendKeyCode(quint8 high, quint8 low);

    // The error dialog with a countdown; returns when it has closed.
    void ShowLinkError(const QString& body, const QString& title);

    // ---- Start-up ----
    // The handshake; afterwards linkBusy() is 0 (up) or 4 (offline).
    void RS232C_Changer_INIT();
    // Opens the port and runs the handshake. True when the link is up.
    bool startUpLink(int comPort);

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
    // The link came up (from start-up, reconnect or the options window).
    void linkUp();
    // The port failed after the link was up: the program should close (asking about unsaved
    // work) after the user has read the message.
    void closeRequested();
    // Every unit sent (true) or received (false), for tracing.
    void traffic(bool sent, const QByteArray& unit);
    // Internal: wakes waits.
    void wake();

private:
    friend class LinkTestAccess;
    friend class LinkHold;

    // The busy bracket's two halves; LinkHold pairs them.
    void takeFor(LinkOwner owner);
    void giveBack();

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
        quint8 group;
        quint8 request;
        quint8 reply;
        int bodyMsg;
        int titleMsg;
    };
    bool dataTransaction(const DataSpec& tx, const FrameHandler& handle);
    bool commandTransaction(const QByteArray& frame, int bodyMsg, int titleMsg, bool showError);
    void giveUp(int bodyMsg, int titleMsg);
    void errorReport(int bodyMsg, int titleMsg);
    void handshakeFailure();
    void handshakeFailWithEot();
    bool storePushedFrame(const Frame& frame);
    // Input_data's two halves: the pushed frame (true when one was stored) and the EOT after it.
    bool receivePushedFrame();
    void awaitClosingEot();

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
