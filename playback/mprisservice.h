#pragma once

// The media player on the session bus as an MPRIS 2 player: bus name
// org.mpris.MediaPlayer2.trackfen (".instance<pid>" added when another program holds it),
// object /org/mpris/MediaPlayer2. The values and commands are MediaPlayer's.

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace tf {

class MediaPlayer;

class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(MediaPlayer& player, QObject* parent = nullptr);
    ~MprisService() override;

    // Takes a bus name and shows the object. Without a session bus nothing is published and
    // false is returned; that is no error for the program.
    bool publish();
    void withdraw();
    bool isPublished() const { return !m_busName.isEmpty(); }
    QString busName() const { return m_busName; }

    MediaPlayer& player() { return m_player; }

private:
    void propertiesChanged(const QVariantMap& properties);

    MediaPlayer& m_player;
    QString m_busName;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)
public:
    explicit MprisRootAdaptor(MprisService* service);

    QString identity() const { return QStringLiteral("TrackFen"); }
    QString desktopEntry() const { return QStringLiteral("trackfen"); }
    bool yes() const { return true; }
    bool no() const { return false; }
    QStringList none() const { return {}; }

public slots:
    void Raise();
    void Quit();

private:
    MediaPlayer& m_player;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QString LoopStatus READ loopStatus WRITE setLoopStatus)
    Q_PROPERTY(bool Shuffle READ shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ one WRITE ignoreRate)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one WRITE ignoreRate)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanControl READ canControl)
    Q_PROPERTY(bool CanPlay READ controllable)
    Q_PROPERTY(bool CanPause READ controllable)
    Q_PROPERTY(bool CanGoNext READ controllable)
    Q_PROPERTY(bool CanGoPrevious READ controllable)
    Q_PROPERTY(bool CanSeek READ canSeek)
public:
    explicit MprisPlayerAdaptor(MprisService* service);

    QString playbackStatus() const;
    QString loopStatus() const;
    void setLoopStatus(const QString& status);
    bool shuffle() const;
    void setShuffle(bool on);
    QVariantMap metadata() const;
    double one() const { return 1.0; }
    void ignoreRate(double) {}
    qlonglong position() const { return 0; }
    bool canControl() const { return true; }
    bool controllable() const;
    bool canSeek() const { return false; }

    // The track id travels as an object path.
    static QVariantMap onTheBus(QVariantMap metadata);

public slots:
    void PlayPause();
    void Play();
    void Pause();
    void Stop();
    void Next();
    void Previous();
    // A changer cannot seek or open files: these do nothing.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

signals:
    void Seeked(qlonglong position);

private:
    MediaPlayer& m_player;
};

} // namespace tf
