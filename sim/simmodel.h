#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>

#include <array>

namespace tf::sim {

inline constexpr int kSlotCount = 200;
inline constexpr int kMaxTracks = 99;
inline constexpr int kMemoryTitleLength = 25; // characters the changer's title memory keeps
inline constexpr int kMemoryTrackLimit = 20;  // track titles are kept for tracks 1 to 20 only
inline constexpr int kUserFileCount = 8;
inline constexpr int kMaxProgramSteps = 32;
inline constexpr quint8 kAllTracks = 0xAA; // program step: every track of the disc
inline constexpr quint8 kInfoCdText = 0x10;
inline constexpr int kMusicTypeMax = 28;

// A position on the disc: minutes, seconds and frames (75 a second).
struct Msf {
    int minutes = 0;
    int seconds = 0;
    int frames = 0;

    int totalFrames() const { return (minutes * 60 + seconds) * 75 + frames; }
    static Msf fromFrames(int frames);
    friend bool operator==(const Msf&, const Msf&) = default;
};

// One slot of the changer. Texts are kept as the changer's own 8-bit bytes.
struct SimDisc {
    bool present = false;
    quint8 info = 0; // disc-information byte; kInfoCdText = the disc carries CD TEXT
    int lowest = 1;
    int highest = 0;
    QList<Msf> toc; // start of tracks lowest..highest, then the lead-out
    QByteArray cdTextTitle;
    QList<QByteArray> cdTextTracks; // index 0 = track `lowest`
    QByteArray memoryTitle;
    QMap<int, QByteArray> memoryTracks; // track number -> title, tracks 1..20
    quint8 userFileByte = 0;
    quint8 musicType = 0;
    bool titleLocked = false; // the changer refuses title input for this disc

    bool hasCdText() const { return (info & kInfoCdText) != 0; }
    bool hasMemoryTitles() const;
    int trackCount() const { return present ? highest - lowest + 1 : 0; }
    QByteArray cdTextTrack(int track) const;
};

struct ProgramStep {
    int disc = 0;
    int track = 0; // 1..99, or kAllTracks
    friend bool operator==(const ProgramStep&, const ProgramStep&) = default;
};

// Transport states reported in the play-state frame.
enum TransportState : quint8 {
    kStopped = 0x40,
    kStopping = 0x50,
    kSearching = 0x60,
    kPlaying = 0x70,
    kPaused = 0x80,
    kFastForward = 0x90,
    kFastBackward = 0xA0,
};

// How play starts when the library is loaded.
struct InitialPlay {
    int disc = 0;
    int track = 0;
    quint8 state = kStopped;
    int playMode = 0;
    bool repeat = false;
    int musicType = 0;       // music-type play: the genre played
    quint8 userFileMask = 0; // user-file play: the user file played
};

// Everything the changer holds: the discs, the eight user-file names, the program, the mode.
struct ChangerLibrary {
    std::array<SimDisc, kSlotCount + 1> discs{}; // index 0 unused
    std::array<QByteArray, kUserFileCount> userFileNames{};
    QList<ProgramStep> program;
    int changerMode = 0;
    InitialPlay play;

    static bool validSlot(int slot) { return slot >= 1 && slot <= kSlotCount; }
    SimDisc& disc(int slot) { return discs.at(slot); }
    const SimDisc& disc(int slot) const { return discs.at(slot); }
    int loadedCount() const;
};

// BCD byte of a value 0..99.
quint8 toBcd(int value);

// "MM:SS:FF" with two digits each.
QString msfText(const Msf& msf);

} // namespace tf::sim
