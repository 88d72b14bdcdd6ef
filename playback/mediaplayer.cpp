#include "playback/mediaplayer.h"

#include "model/playtables.h"
#include "store/config.h"
#include "store/discfile.h"
#include "store/disclist.h"

namespace tf {

using namespace playback;

namespace {

const QString kPlaying = QStringLiteral("Playing");
const QString kPaused = QStringLiteral("Paused");
const QString kStopped = QStringLiteral("Stopped");

// Searching and winding are passing states: the desktop keeps showing play or pause.
QString statusFor(int state, const QString& last) {
    switch (state) {
    case kStatePlaying:
        return kPlaying;
    case kStatePaused:
        return kPaused;
    case kStateSearching:
    case 0x90: // fast forward
    case 0xA0: // fast backward
        return last;
    default:
        return kStopped;
    }
}

// The library's disc title: the per-disc file's, else the disc list's (the changer's).
QString discTitle(const QString& dataDir, int disc) {
    if (const auto title = discfile::readDiscTitle(dataDir + discfile::fileName(disc));
        title && !title->isEmpty())
        return *title;
    if (const auto entries = disclist::read(dataDir)) {
        for (const disclist::Entry& e : *entries)
            if (e.slot == disc && e.title != QLatin1String(disclist::kUnknownDisc))
                return e.title;
    }
    return {};
}

QString fileTrackTitle(const QString& dataDir, int disc, int track) {
    const auto content = discfile::readDiscFile(dataDir + discfile::fileName(disc));
    if (!content)
        return {};
    // The file's titles start at its lowest track.
    const int lowest = content->numbers.minTno > 0 ? content->numbers.minTno : 1;
    return content->trackTitles.value(track - lowest);
}

} // namespace

DrawnPlay MediaPlayer::asReported(const PlayValues& v) {
    // The playing disc's titles are there once the changer has reported it ready.
    return {v.TocReadyDisc,  v.TocReadyDisc != 0 ? v.PlayTrack : 0,
            v.PlayStateCode, v.PlayMode,
            v.PlayRepeat,    v.PlayMusicType};
}

MediaPlayer::MediaPlayer(const Configuration& config, MediaPlayerCommands& commands,
                         std::function<QString(int disc, int track)> listedTrackTitle,
                         QObject* parent)
    : QObject(parent), m_config(config), m_commands(commands),
      m_listedTrackTitle(std::move(listedTrackTitle)) {
    m_metadata = metadataFor(m_config.settings.dataDir, 0, 0, 0, {});
}

QVariantMap MediaPlayer::metadataFor(const QString& dataDir, int disc, int track, int musicType,
                                     const QString& listedTitle) {
    QVariantMap m;
    if (disc <= 0 || track <= 0) {
        m.insert(QStringLiteral("mpris:trackid"),
                 QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        return m;
    }
    m.insert(QStringLiteral("mpris:trackid"),
             QStringLiteral("/org/trackfen/disc/%1/track/%2").arg(disc).arg(track));
    QString title = fileTrackTitle(dataDir, disc, track).trimmed();
    if (title.isEmpty())
        title = listedTitle.trimmed();
    if (title.isEmpty())
        title = disclist::slotLabel(track).trimmed();
    m.insert(QStringLiteral("xesam:title"), title);
    // "Artist / Title" is how disc titles name their artist; the album is then the title part.
    QString album = discTitle(dataDir, disc);
    const qsizetype split = album.indexOf(QLatin1String(" / "));
    if (split > 0) {
        const QStringList artist{album.left(split).trimmed()};
        m.insert(QStringLiteral("xesam:artist"), artist);
        m.insert(QStringLiteral("xesam:albumArtist"), artist);
        album = album.mid(split + 3).trimmed();
    }
    if (!album.isEmpty())
        m.insert(QStringLiteral("xesam:album"), album);
    m.insert(QStringLiteral("xesam:trackNumber"), track);
    // Codes 0 and 1 name no genre ("Not Defined").
    if (musicType > 1 && !musicTypeName(musicType).isEmpty())
        m.insert(QStringLiteral("xesam:genre"), QStringList{musicTypeName(musicType)});
    return m;
}

QString MediaPlayer::loopStatus() const {
    return m_drawn.repeat > 0 ? QStringLiteral("Playlist") : QStringLiteral("None");
}

bool MediaPlayer::shuffle() const {
    return randomLit(m_drawn.playMode);
}

QVariantMap MediaPlayer::snapshot() const {
    return {{QStringLiteral("PlaybackStatus"), m_status},
            {QStringLiteral("LoopStatus"), loopStatus()},
            {QStringLiteral("Shuffle"), shuffle()},
            {QStringLiteral("Metadata"), m_metadata},
            {QStringLiteral("CanPlay"), m_controllable},
            {QStringLiteral("CanPause"), m_controllable},
            {QStringLiteral("CanGoNext"), m_controllable},
            {QStringLiteral("CanGoPrevious"), m_controllable}};
}

void MediaPlayer::follow(const DrawnPlay& drawn, bool controllable) {
    const QVariantMap before = snapshot();
    if (drawn.disc != m_drawn.disc || drawn.track != m_drawn.track ||
        drawn.musicType != m_drawn.musicType)
        m_metadataStale = true;
    m_drawn = drawn;
    m_controllable = controllable;
    m_status = statusFor(drawn.playState, m_status);
    if (m_metadataStale) {
        m_metadataStale = false;
        m_metadata = metadataFor(
            m_config.settings.dataDir, drawn.disc, drawn.track, drawn.musicType,
            drawn.disc > 0 && drawn.track > 0 ? m_listedTrackTitle(drawn.disc, drawn.track)
                                              : QString());
    }
    QVariantMap differs;
    const QVariantMap after = snapshot();
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        if (before.value(it.key()) != it.value())
            differs.insert(it.key(), it.value());
    if (!differs.isEmpty())
        emit changed(differs);
}

void MediaPlayer::titlesChanged(int disc) {
    if (disc == m_drawn.disc)
        m_metadataStale = true;
}

void MediaPlayer::playPause() {
    m_commands.playPauseKey();
}

// One toggle key serves both: it is sent only when the changer is not already where asked.
void MediaPlayer::play() {
    if (m_status != kPlaying)
        m_commands.playPauseKey();
}

void MediaPlayer::pause() {
    if (m_status == kPlaying)
        m_commands.playPauseKey();
}

void MediaPlayer::stop() {
    m_commands.stopKey();
}

void MediaPlayer::next() {
    m_commands.trackUpKey();
}

void MediaPlayer::previous() {
    m_commands.trackDownKey();
}

void MediaPlayer::setLoopStatus(const QString& status) {
    // Track looping is not a mode of the changer: any loop turns repeat on.
    if ((status != QLatin1String("None")) != (m_drawn.repeat > 0))
        m_commands.repeatKey();
}

void MediaPlayer::setShuffle(bool on) {
    if (on != shuffle())
        m_commands.randomKey();
}

} // namespace tf
