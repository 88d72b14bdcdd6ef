#include "sim/simplayer.h"

namespace tf::sim {

namespace {

// Key codes: group byte, key byte.
constexpr quint8 kKeyGroup = 0xA0;
constexpr quint8 kRandomGroup = 0xA1;
constexpr quint8 kReleaseGroup = 0xFF;
constexpr quint8 kKeyPlayPause = 0xCB;
constexpr quint8 kKeyStop = 0xC9;
constexpr quint8 kKeyRepeat = 0xCC;
constexpr quint8 kKeyRandom = 0xD4;
constexpr quint8 kKeyTrackDown = 0xCE;
constexpr quint8 kKeyTrackUp = 0xCF;
constexpr quint8 kKeyFastBackward = 0x06;
constexpr quint8 kKeyFastForward = 0x07;
constexpr quint8 kKeyRelease = 0xFF;

bool oneBit(quint8 mask) {
    return mask != 0 && (mask & (mask - 1)) == 0;
}

} // namespace

Player::Player(ChangerLibrary& library, QObject* parent) : QObject(parent), m_library(library) {
    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, &Player::finishLoad);
    m_trackTimer.setSingleShot(true);
    connect(&m_trackTimer, &QTimer::timeout, this, [this] { step(+1); });
    reset();
}

void Player::reset() {
    m_loadTimer.stop();
    const InitialPlay& play = m_library.play;
    m_disc = play.disc;
    m_tocReady = m_disc != 0;
    m_track = m_disc != 0 ? clampTrack(m_disc, play.track) : 0;
    m_state = m_disc != 0 ? play.state : quint8(kStopped);
    m_mode = play.playMode;
    m_repeat = play.repeat;
    m_musicType = play.musicType;
    m_userFileMask = play.userFileMask;
    m_step = m_mode == kProgramMode && !m_library.program.isEmpty() ? 1 : 0;
    updateTrackTimer();
}

void Player::setTrackMs(int ms) {
    m_trackMs = qMax(0, ms);
    updateTrackTimer();
}

quint8 Player::status7() const {
    return m_mode == kUserFileMode || m_mode == kUserFileRandom ? m_userFileMask : 0;
}

QByteArray Player::playStatusData() const {
    const SimDisc* disc = ChangerLibrary::validSlot(m_disc) ? &m_library.disc(m_disc) : nullptr;
    QByteArray data;
    data.append(static_cast<char>(m_disc & 0xFF));
    data.append(static_cast<char>((m_disc >> 8) & 0xFF));
    data.append(static_cast<char>(m_track));
    data.append(static_cast<char>(m_mode == kProgramMode ? m_step : 0));
    data.append(static_cast<char>(disc ? disc->musicType : 0));
    data.append(static_cast<char>(disc ? disc->userFileByte : 0));
    data.append(static_cast<char>(status7()));
    data.append(static_cast<char>(m_mode));
    data.append(static_cast<char>(m_repeat ? 1 : 0));
    return data;
}

void Player::pushAll() {
    pushStatus();
    pushState();
    if (m_disc != 0 && m_tocReady)
        pushTocReady();
    pushChangerMode();
}

void Player::pushTocReady() {
    QByteArray data;
    data.append(static_cast<char>(m_disc & 0xFF));
    data.append(static_cast<char>((m_disc >> 8) & 0xFF));
    emitPush(kCmdTocReady, data);
}

void Player::pushChangerMode() {
    emitPush(kCmdChangerMode, QByteArray(1, static_cast<char>(m_library.changerMode)));
}

void Player::setChangerMode(int mode) {
    m_library.changerMode = mode;
    pushChangerMode();
}

int Player::firstTrack(int disc) const {
    const SimDisc& d = m_library.disc(disc);
    return d.present ? d.lowest : 0;
}

int Player::clampTrack(int disc, int track) const {
    const SimDisc& d = m_library.disc(disc);
    if (!d.present)
        return 0;
    return track < d.lowest || track > d.highest ? d.lowest : track;
}

bool Player::playRequest(int disc, quint8 track, quint8 parameterB) {
    Q_UNUSED(parameterB); // 1 (play a chosen track) and 0 (load for reading) both load and play
    if (!ChangerLibrary::validSlot(disc) || track > kMaxTracks || m_library.changerMode != 0)
        return false;
    if (m_mode != kTrackMode)
        setMode(kTrackMode);
    beginLoad(disc, track);
    return true;
}

bool Player::load(int disc, int track) {
    if (!ChangerLibrary::validSlot(disc) || track < 0 || track > kMaxTracks)
        return false;
    beginLoad(disc, track);
    return true;
}

void Player::beginLoad(int disc, int track) {
    m_trackTimer.stop();
    if (disc == m_disc && m_tocReady && !m_loadTimer.isActive()) {
        // The disc is already in the player: only the track changes.
        m_track = clampTrack(disc, track);
        m_state = m_library.disc(disc).present ? kPlaying : kStopped;
        pushStatus();
        pushState();
        pushTocReady();
        updateTrackTimer();
        return;
    }
    m_pendingDisc = disc;
    m_pendingTrack = track;
    m_state = kSearching;
    pushState();
    m_loadTimer.start(m_slowTocMs >= 0 ? m_slowTocMs : m_loadMs);
}

void Player::finishLoad() {
    m_disc = m_pendingDisc;
    m_tocReady = true;
    m_track = clampTrack(m_disc, m_pendingTrack);
    // An empty slot is read as a disc without tracks: the changer reports it ready and stopped.
    m_state = m_library.disc(m_disc).present ? kPlaying : kStopped;
    pushStatus();
    pushState();
    pushTocReady();
    updateTrackTimer();
}

void Player::updateTrackTimer() {
    if (m_trackMs > 0 && m_state == kPlaying && !m_loadTimer.isActive())
        m_trackTimer.start(m_trackMs);
    else
        m_trackTimer.stop();
}

void Player::setMode(int mode) {
    m_mode = mode;
    if (mode != kProgramMode)
        m_step = 0;
    if (mode != kMusicTypeMode && mode != kMusicTypeRandom)
        m_musicType = 0;
    if (mode != kUserFileMode && mode != kUserFileRandom)
        m_userFileMask = 0;
}

bool Player::playModeRequest(quint8 mode, quint8 parameter) {
    if (mode > kUserFileRandom || m_library.changerMode != 0)
        return false;
    switch (mode) {
    case kProgramMode:
        if (m_library.program.isEmpty())
            return false;
        setMode(kProgramMode);
        playProgramStep(1);
        return true;
    case kMusicTypeMode:
    case kMusicTypeRandom:
        if (parameter < 1 || parameter > kMusicTypeMax)
            return false;
        setMode(mode);
        m_musicType = parameter;
        break;
    case kUserFileMode:
    case kUserFileRandom:
        if (!oneBit(parameter))
            return false;
        setMode(mode);
        m_userFileMask = parameter;
        break;
    default:
        setMode(mode);
        pushStatus();
        return true;
    }
    // Music-type and user-file play start on the first disc that belongs to the choice.
    const int disc = matches(m_disc) ? m_disc : nextMatchingDisc(m_disc);
    if (disc == 0) {
        stop();
        pushStatus();
        return true;
    }
    if (disc == m_disc && m_tocReady) {
        pushStatus();
        startPlaying();
    } else {
        pushStatus();
        beginLoad(disc, firstTrack(disc));
    }
    return true;
}

void Player::programChanged() {
    if (m_library.program.isEmpty()) {
        if (m_mode == kProgramMode) {
            setMode(kTrackMode);
            pushStatus();
        }
        return;
    }
    setMode(kProgramMode);
    if (m_state == kPlaying || m_state == kSearching) {
        playProgramStep(1);
    } else {
        m_step = 1;
        pushStatus();
    }
}

void Player::playProgramStep(int index) {
    m_step = index;
    const ProgramStep& step = m_library.program.at(index - 1);
    goTo(step.disc, step.track == kAllTracks ? 0 : step.track);
}

void Player::goTo(int disc, int track) {
    if (disc == m_disc && m_tocReady && !m_loadTimer.isActive()) {
        m_track = clampTrack(disc, track);
        m_state = m_library.disc(disc).present ? kPlaying : kStopped;
        pushStatus();
        pushState();
        updateTrackTimer();
    } else {
        beginLoad(disc, track);
    }
}

bool Player::matches(int slot) const {
    if (!ChangerLibrary::validSlot(slot) || !m_library.disc(slot).present)
        return false;
    const SimDisc& disc = m_library.disc(slot);
    switch (m_mode) {
    case kMusicTypeMode:
    case kMusicTypeRandom:
        return disc.musicType == m_musicType;
    case kUserFileMode:
    case kUserFileRandom:
        return (disc.userFileByte & m_userFileMask) != 0;
    default:
        return true;
    }
}

int Player::nextMatchingDisc(int after) const {
    for (int i = 1; i <= kSlotCount; ++i) {
        const int slot = (qMax(after, 0) + i - 1) % kSlotCount + 1;
        if (matches(slot))
            return slot;
    }
    return 0;
}

int Player::randomMatchingDisc() {
    QList<int> candidates;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (matches(slot))
            candidates.append(slot);
    }
    return candidates.isEmpty()
               ? 0
               : candidates.at(m_random.bounded(static_cast<int>(candidates.size())));
}

int Player::randomTrack(int disc) {
    const SimDisc& d = m_library.disc(disc);
    return d.present ? d.lowest + m_random.bounded(d.trackCount()) : 0;
}

void Player::startPlaying() {
    if (m_mode == kProgramMode && !m_library.program.isEmpty()) {
        playProgramStep(qBound(1, m_step, static_cast<int>(m_library.program.size())));
        return;
    }
    if (!matches(m_disc)) {
        const int disc = nextMatchingDisc(m_disc);
        if (disc != 0)
            beginLoad(disc, firstTrack(disc));
        return;
    }
    if (m_track == 0)
        m_track = firstTrack(m_disc);
    m_state = kPlaying;
    pushStatus();
    pushState();
    updateTrackTimer();
}

void Player::stop() {
    m_loadTimer.stop();
    m_trackTimer.stop();
    m_state = kStopped;
    pushState();
}

// Moves one track on (direction +1) or back (-1) the way the play mode walks the discs.
void Player::step(int direction) {
    if (m_disc == 0 || !m_library.disc(m_disc).present) {
        startPlaying();
        return;
    }
    const SimDisc& disc = m_library.disc(m_disc);
    switch (m_mode) {
    case kOneDiscRandom:
        goTo(m_disc, randomTrack(m_disc));
        return;
    case kAllDiscRandom:
    case kMusicTypeRandom:
    case kUserFileRandom: {
        const int next = randomMatchingDisc();
        if (next != 0)
            goTo(next, randomTrack(next));
        return;
    }
    case kProgramMode: {
        const int steps = static_cast<int>(m_library.program.size());
        if (steps == 0)
            return;
        const bool allTracks =
            m_step >= 1 && m_step <= steps && m_library.program.at(m_step - 1).track == kAllTracks;
        if (allTracks && direction > 0 && m_track < disc.highest) {
            goTo(m_disc, m_track + 1);
            return;
        }
        int next = m_step + direction;
        if (next > steps) {
            if (!m_repeat) {
                stop();
                return;
            }
            next = 1;
        }
        playProgramStep(qMax(1, next));
        return;
    }
    default:
        break;
    }
    if (direction < 0) {
        goTo(m_disc, qMax(disc.lowest, m_track - 1));
        return;
    }
    if (m_track < disc.highest) {
        goTo(m_disc, m_track + 1);
        return;
    }
    if (m_repeat) {
        goTo(m_disc, disc.lowest);
        return;
    }
    const int next = nextMatchingDisc(m_disc);
    if (next == 0 || next == m_disc)
        goTo(m_disc, disc.lowest);
    else
        beginLoad(next, firstTrack(next));
}

bool Player::keyCode(quint8 group, quint8 key, bool local) {
    if (!local && m_library.changerMode != 0)
        return false;
    if (group == kReleaseGroup && key == kKeyRelease) {
        if (m_state == kFastForward || m_state == kFastBackward) {
            m_state = m_heldFrom;
            pushState();
            updateTrackTimer();
        }
        return true;
    }
    if (group == kRandomGroup && key == kKeyRandom) {
        static const int next[] = {kOneDiscRandom, kAllDiscRandom,  kTrackMode,
                                   kProgramMode,   kBestSelection,  kMusicTypeRandom,
                                   kMusicTypeMode, kUserFileRandom, kUserFileMode};
        const int filter = m_musicType;
        const quint8 mask = m_userFileMask;
        m_mode = next[qBound(0, m_mode, 8)];
        m_musicType = filter;
        m_userFileMask = mask;
        pushStatus();
        return true;
    }
    if (group != kKeyGroup)
        return false;
    switch (key) {
    case kKeyPlayPause:
        if (m_state == kPlaying) {
            m_state = kPaused;
            m_trackTimer.stop();
            pushState();
        } else if (m_state == kPaused) {
            m_state = kPlaying;
            pushState();
            updateTrackTimer();
        } else if (m_state != kSearching) {
            startPlaying();
        }
        return true;
    case kKeyStop:
        stop();
        return true;
    case kKeyRepeat:
        m_repeat = !m_repeat;
        pushStatus();
        return true;
    case kKeyTrackDown:
    case kKeyTrackUp:
        if (!m_loadTimer.isActive())
            step(key == kKeyTrackUp ? +1 : -1);
        return true;
    case kKeyFastBackward:
    case kKeyFastForward:
        if (m_state == kPlaying || m_state == kPaused) {
            m_heldFrom = m_state;
            m_state = key == kKeyFastForward ? kFastForward : kFastBackward;
            m_trackTimer.stop();
            pushState();
        }
        return true;
    default:
        return false;
    }
}

} // namespace tf::sim
