#pragma once

#include "sim/simfaults.h"
#include "sim/simframe.h"
#include "sim/simmodel.h"
#include "sim/simplayer.h"
#include "sim/simrequests.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace tf::sim {

// Timing of the changer's side of the line.
inline constexpr int kPcIdleTimeoutMs = 8000;   // an opened exchange the PC abandons
inline constexpr int kReplyAckTimeoutMs = 1000; // PC's ACK to a reply frame, then resend
inline constexpr int kEotAckTimeoutMs = 300;    // PC's ACK to a closing EOT
inline constexpr int kPushEnqTimeoutMs = 200;   // PC's ACK to the changer's ENQ
inline constexpr int kPushFrameTimeoutMs = 300; // PC's ACK to a pushed frame
inline constexpr int kAttempts = 4;             // sends of one unit before giving up
inline constexpr int kPushGapMs = 20;           // quiet line before the changer opens a push
inline constexpr int kPushBackoffMs = 1000;     // after an unanswered push, doubling each time
inline constexpr int kPushBackoffMaxMs = 8000;
// A PC may hold the line for a while (an error dialog, a long operation) and ignore the
// changer's ENQ meanwhile; only after this long without any answer is it taken as gone.
inline constexpr int kPushGiveUpMs = 60000;
inline constexpr int kStaleFrameMs = 200; // an incomplete frame is noise after this
inline constexpr int kMaxQueuedPushes = 64;

// The changer's half of the protocol: answers the PC's exchanges, opens its own exchanges for
// pushed frames, and retries and gives up as a changer does. Bytes come in through receive()
// and go out through transmit(); faults are applied on the way out.
class Engine : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,
        PcOpen,     // the PC's ENQ was accepted; waiting for its frames or its EOT
        ReplyWait,  // request accepted; thinking before the first reply frame
        ReplyAck,   // reply frame sent; waiting for the PC's ACK
        ClosingEot, // replies done, EOT sent; waiting for the PC's ACK
        PushEnq,    // changer's ENQ sent
        PushFrame,  // pushed frame sent
        PushEot,    // pushed frame acknowledged, EOT sent
    };

    struct Stats {
        qint64 unitsReceived = 0;
        qint64 framesReceived = 0;
        qint64 badFramesReceived = 0;
        qint64 naksSent = 0;
        qint64 refusals = 0;
        qint64 replyFramesSent = 0;
        qint64 pushesDelivered = 0;
        qint64 pushesAbandoned = 0;
        qint64 handshakes = 0;
    };

    Engine(ChangerLibrary& library, Player& player, FaultSet& faults, QObject* parent = nullptr);

    void setThinkMs(int ms) { m_thinkMs = qMax(0, ms); }
    // First pause after an unanswered push (it doubles up to eight times this).
    void setPushRetryMs(int ms) { m_pushRetryMs = qMax(10, ms); }
    int thinkMs() const { return m_thinkMs; }
    void setPieceLength(int length) { m_pieceLength = qMax(2, length); }

    void receive(const QByteArray& bytes);
    // Call after the fault set changed (silence may have started or ended).
    void faultsChanged();
    // The line went away: forget the exchange, the queued pushes and the handshake.
    void lineLost();

    bool linked() const { return m_linked; }
    State state() const { return m_state; }
    QString stateName() const;
    int queuedPushes() const { return static_cast<int>(m_pushQueue.size()); }
    const Stats& stats() const { return m_stats; }
    qint64 noiseBytes() const { return m_lexer.skippedBytes(); }

signals:
    // Bytes for the line; gapMs is quiet time to keep before them.
    void transmit(const QByteArray& bytes, int gapMs);
    void logLine(const QString& line);
    // A "cut" fault wants the line dropped.
    void hangUpRequested();

private:
    void queuePush(quint8 cmd, const QByteArray& data);
    void handleUnit(const Unit& unit);
    void handleEnq();
    void handleEot();
    void handleAck();
    void handleNak();
    void handleFrame(const Unit& unit);
    void dispatch(const Unit& unit);
    void onTimeout();
    void onStaleFrame();

    void enter(State state, int timeoutMs);
    void goIdle();
    void refuse(const char* why);
    void beginReplies(const QList<OutFrame>& frames, bool handshake);
    void sendReply();
    void finishReplies();
    void schedulePush(int delayMs = -1);
    void startPush();
    void pushRoundFailed();
    void postponePush();
    void pushDelivered();

    void sendControl(char byte);
    void sendFrame(const OutFrame& frame, const QString& note);
    void emitUnit(const QByteArray& bytes, bool frame, const QString& note);
    void queueOut(const QByteArray& bytes, int gapMs);
    void flushCoalesced();
    void log(const QString& text);

    ChangerLibrary& m_library;
    Player& m_player;
    FaultSet& m_faults;
    UnitLexer m_lexer;
    State m_state = State::Idle;
    QTimer m_timer;
    QTimer m_pushTimer;
    QTimer m_staleTimer;
    QTimer m_coalesceTimer;
    QByteArray m_coalesced; // units gathered by the coalesce fault
    QElapsedTimer m_clock;
    int m_thinkMs = 20;
    int m_pushRetryMs = kPushBackoffMs;
    int m_pieceLength = kMemoryTitleLength;
    int m_attempts = 0;

    QList<OutFrame> m_replies;
    int m_replyIndex = 0;
    QByteArray m_lastRequest;
    bool m_handshakeReply = false;

    QList<OutFrame> m_pushQueue;
    int m_pushRounds = 0;           // unanswered push attempts in a row
    qint64 m_firstUnansweredMs = 0; // when the first of them began
    bool m_linked = false;
    Stats m_stats;
};

} // namespace tf::sim
