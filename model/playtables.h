#pragma once

// The fixed tables of the audio tab: music-type names, play-mode and play-state texts, the
// transport key codes and the info-line font rules.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace tf::playback {

// ---- Music types ----
inline constexpr int kMusicTypeCount = 28; // codes 1..28; 0 = none
inline constexpr int kEroticCode = 10;     // may not be chosen for music-type play

// The name of code c: "Not Defined" for 0 and 1, otherwise the c-th name of the table.
// Codes above 28 have no name (empty text).
QString musicTypeName(int code);

// The list of the audio tab's hidden source list: "Not Defined" and the 27 genres, in code
// order; code c >= 1 is entry c - 1, code 0 is entry 0.
QStringList audioMusicTypeEntries();
int audioMusicTypeIndex(int code);

// The music-type panel's list: the 27 genres only, "Adult Contemporary" first; code c is
// entry c - 2.
QStringList panelMusicTypeEntries();
inline constexpr int panelIndexOfCode(int code) {
    return code - 2;
}
inline constexpr int codeOfPanelIndex(int index) {
    return index + 2;
}

// ---- Play modes and states ----
inline constexpr int kPlayModeTrack = 0;
inline constexpr int kPlayModeProgram = 3;
inline constexpr int kPlayModeMusicType = 5;
inline constexpr int kPlayModeMusicTypeRandom = 6;
inline constexpr int kPlayModeUserFile = 7;
inline constexpr int kPlayModeUserFileRandom = 8;

inline constexpr int kStateStopped = 0x40;
inline constexpr int kStateStopping = 0x50;
inline constexpr int kStateSearching = 0x60;
inline constexpr int kStatePlaying = 0x70;
inline constexpr int kStatePaused = 0x80;

// Name of a play mode 0..8; empty for modes above 8 (the label then keeps its text).
QString playModeName(int mode);
// The random indicator's text and whether it is lit (red).
QString randomText(int mode);
bool randomLit(int mode);
// Text of a transport state; empty for codes outside the table.
QString playStateText(int state);

// Whether random play is being switched on by the random key in this mode (what the key is
// about to do): on from 0, 1, 3, 4, 5 and 7.
bool randomKeySwitchesOn(int mode);

// ---- Key codes ----
struct KeyCode {
    quint8 group;
    quint8 key;
};
inline constexpr KeyCode kKeyPlay{0xA0, 0xCB};
inline constexpr KeyCode kKeyStop{0xA0, 0xC9};
inline constexpr KeyCode kKeyRepeat{0xA0, 0xCC};
inline constexpr KeyCode kKeyRandom{0xA1, 0xD4};
inline constexpr KeyCode kKeyRelease{0xFF, 0xFF};
inline constexpr int kContinueKeyCount = 4;
// Track down, track up, fast backward, fast forward.
inline constexpr KeyCode kContinueKeys[kContinueKeyCount] = {
    {0xA0, 0xCE}, {0xA0, 0xCF}, {0xA0, 0x06}, {0xA0, 0x07}};

// ---- Status codes shown in the info lines ----
namespace status {
inline constexpr int DownloadedTitles = 0;
inline constexpr int ChangerControls = 1;
inline constexpr int RewritingNames = 3;
inline constexpr int NamesUpdated = 4;
inline constexpr int NameEditorClosed = 5;
inline constexpr int Saving = 6;
inline constexpr int Reloading = 7;
inline constexpr int Loading = 8;
inline constexpr int TitlesCopied = 9;
inline constexpr int ProgramOpened = 10;
inline constexpr int ProgramSet = 11;
inline constexpr int ProgramCleared = 12;
inline constexpr int MusicTypeOpened = 13;
inline constexpr int MusicTypeSet = 14;
inline constexpr int MusicTypeCleared = 15;
inline constexpr int UserFileOpened = 16;
inline constexpr int UserFileSet = 17;
inline constexpr int UserFileCleared = 18;
inline constexpr int SelectedDisc = 19;
inline constexpr int SelectedTrack = 20;
inline constexpr int Playing = 21;
inline constexpr int Stopped = 22;
inline constexpr int Random = 23;
inline constexpr int TrackDown = 24;
inline constexpr int TrackUp = 25;
inline constexpr int Repeat = 26;
inline constexpr int FastBackward = 27;
inline constexpr int FastForward = 28;
inline constexpr int ProgramClosed = 29;
inline constexpr int MusicTypeClosed = 30;
inline constexpr int UserFileClosed = 31;
inline constexpr int Paused = 32;
} // namespace status

// The status shown for each continue key, in the order of kContinueKeys.
inline constexpr int kContinueStatus[kContinueKeyCount] = {
    status::TrackDown, status::TrackUp, status::FastBackward, status::FastForward};

// ---- Fonts ----
// Info lines: up to 30 characters 22 points, 31 to 40 14 points, longer 12 points.
int infoLinePointSize(const QString& text);
// The hidden play-state label: up to 16 characters 20 points, longer 15 points.
int playInfoPointSize(const QString& text);

// Colours of the indicators.
inline constexpr unsigned kIndicatorOffRgb = 0xFFFFFF;
inline constexpr unsigned kIndicatorOnRgb = 0xFF0000;

} // namespace tf::playback
