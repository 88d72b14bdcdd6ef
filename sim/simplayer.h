#pragma once

#include "sim/simmodel.h"

#include <QByteArray>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

namespace tf::sim {

// Pushed frames the changer sends on its own.
inline constexpr quint8 kCmdPlayStatus = 0x12;
inline constexpr quint8 kCmdPlayState = 0x13;
inline constexpr quint8 kCmdTocReady = 0x14;
inline constexpr quint8 kCmdChangerMode = 0x15;

// Play modes as the play-status frame reports them.
enum PlayMode : int {
    kTrackMode = 0,
    kOneDiscRandom = 1,
    kAllDiscRandom = 2,
    kProgramMode = 3,
    kBestSelection = 4,
    kMusicTypeMode = 5,
    kMusicTypeRandom = 6,
    kUserFileMode = 7,
    kUserFileRandom = 8,
};

// The changer's mechanism: which disc is in the player, what it plays and how. Every change
// the PC should learn about is announced through pushRequested(), in the order a changer
// reports it; the protocol engine turns each into a changer-initiated exchange.
class Player : public QObject {
    Q_OBJECT
public:
    explicit Player(ChangerLibrary& library, QObject* parent = nullptr);

    // Takes the starting position from the library (no pushes).
    void reset();

    void setLoadMs(int ms) { m_loadMs = qMax(0, ms); }
    int loadMs() const { return m_loadMs; }
    // Overrides the load time while set (>= 0): a slow table of contents.
    void setSlowTocMs(int ms) { m_slowTocMs = ms; }
    // A track ends by itself after this time while playing; 0 keeps it playing for ever.
    void setTrackMs(int ms);
    void setSeed(quint32 seed) { m_random.seed(seed); }

    // Requests from the PC; false means the changer refuses the request.
    bool playRequest(int disc, quint8 track, quint8 parameterB);
    bool playModeRequest(quint8 mode, quint8 parameter);
    // local: pressed on the changer's own panel, which works in either changer mode.
    bool keyCode(quint8 group, quint8 key, bool local = false);
    // The program list was replaced (by the PC or the library).
    void programChanged();
    void setChangerMode(int mode);

    // Front panel: load a disc and play it (track 0 = its first track).
    bool load(int disc, int track);

    // Announces the whole state: status, transport state, table of contents (when a disc is
    // ready) and the changer mode, in that order.
    void pushAll();
    void pushStatus() { emitPush(kCmdPlayStatus, playStatusData()); }
    void pushState() { emitPush(kCmdPlayState, QByteArray(1, static_cast<char>(m_state))); }
    void pushTocReady();
    void pushChangerMode();

    QByteArray playStatusData() const;
    int disc() const { return m_disc; }
    int track() const { return m_track; }
    int programStep() const { return m_step; }
    int playMode() const { return m_mode; }
    bool repeat() const { return m_repeat; }
    quint8 state() const { return m_state; }
    bool loading() const { return m_loadTimer.isActive(); }
    int loadingDisc() const { return m_loadTimer.isActive() ? m_pendingDisc : 0; }
    bool tocReady() const { return m_tocReady; }
    int musicTypeFilter() const { return m_musicType; }
    quint8 userFileMask() const { return m_userFileMask; }
    quint8 status7() const;

signals:
    void pushRequested(quint8 cmd, const QByteArray& data);

private:
    void emitPush(quint8 cmd, const QByteArray& data) { emit pushRequested(cmd, data); }
    void beginLoad(int disc, int track);
    void finishLoad();
    void startPlaying();
    void stop();
    void step(int direction);
    void playProgramStep(int index);
    void goTo(int disc, int track);
    bool matches(int slot) const;
    int nextMatchingDisc(int after) const;
    int randomMatchingDisc();
    int randomTrack(int disc);
    int firstTrack(int disc) const;
    int clampTrack(int disc, int track) const;
    void updateTrackTimer();
    void setMode(int mode);

    ChangerLibrary& m_library;
    int m_disc = 0;
    int m_track = 0;
    int m_step = 0;
    int m_mode = kTrackMode;
    bool m_repeat = false;
    quint8 m_state = kStopped;
    quint8 m_heldFrom = 0; // state before fast forward/backward, restored on key release
    int m_musicType = 0;
    quint8 m_userFileMask = 0;
    bool m_tocReady = false;

    QTimer m_loadTimer;
    int m_pendingDisc = 0;
    int m_pendingTrack = 0;
    int m_loadMs = 300;
    int m_slowTocMs = -1;
    QTimer m_trackTimer;
    int m_trackMs = 0;
    QRandomGenerator m_random{1};
};

} // namespace tf::sim
