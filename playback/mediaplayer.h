#pragma once

// The changer as a desktop media player (the MPRIS 2 model, without D-Bus): the values the
// desktop reads, made from what the audio tab drew and from the title library, and the
// desktop's commands turned into the audio tab's own button paths.

#include "link/link.h"
#include "playback/drawnplay.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace tf {

class Configuration;

// What the desktop's commands reach: the audio tab's buttons, the window. Each call takes the
// path of a click, busy checks and status text included.
class MediaPlayerCommands {
public:
    virtual ~MediaPlayerCommands() = default;
    virtual void playPauseKey() = 0;
    virtual void stopKey() = 0;
    virtual void trackUpKey() = 0;   // press, then release once the press is acknowledged
    virtual void trackDownKey() = 0; // likewise
    virtual void repeatKey() = 0;
    virtual void randomKey() = 0;
    virtual void raiseWindow() = 0;
    virtual void quitProgram() = 0;
};

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    // `listedTrackTitle` gives the title the audio tab lists for a track of a disc (the
    // changer's memory title when the library has none); empty when it lists none.
    MediaPlayer(const Configuration& config, MediaPlayerCommands& commands,
                std::function<QString(int disc, int track)> listedTrackTitle,
                QObject* parent = nullptr);

    // The values as the changer reported them, for the moments the audio tab is not shown
    // and so draws nothing.
    static DrawnPlay asReported(const PlayValues& values);

    // Takes one redraw of the audio tab. `controllable`: the link is up and the audio tab
    // usable. Emits changed() once with every property that differs, or not at all.
    void follow(const DrawnPlay& drawn, bool controllable);
    // The titles of a disc were rewritten: its metadata is read again on the next follow().
    void titlesChanged(int disc);

    QString playbackStatus() const { return m_status; }
    QString loopStatus() const;
    bool shuffle() const;
    QVariantMap metadata() const { return m_metadata; }
    bool controllable() const { return m_controllable; }

    void playPause();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void setLoopStatus(const QString& status);
    void setShuffle(bool on);
    void raise() { m_commands.raiseWindow(); }
    void quit() { m_commands.quitProgram(); }

    // The metadata of a track: trackid, title (library, else listed, else slot label), the
    // disc title as album, its "Artist / Title" artist, track number and genre.
    static QVariantMap metadataFor(const QString& dataDir, int disc, int track, int musicType,
                                   const QString& listedTitle);

signals:
    // Property name -> new value, for the Player interface; never empty.
    void changed(const QVariantMap& properties);

private:
    QVariantMap snapshot() const;

    const Configuration& m_config;
    MediaPlayerCommands& m_commands;
    std::function<QString(int, int)> m_listedTrackTitle;
    DrawnPlay m_drawn;
    QString m_status = QStringLiteral("Stopped");
    QVariantMap m_metadata;
    bool m_controllable = false;
    bool m_metadataStale = true;
};

} // namespace tf
