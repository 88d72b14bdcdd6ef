#pragma once

// The changer's permission for play set-ups, asked before a program or a play mode is sent.

#include <QtGlobal>

namespace tf {
class Link;
}

namespace tf::playback {

inline constexpr quint8 kGroupProgram = 0x20;  // may a program be set? (bit 0x04)
inline constexpr quint8 kGroupPlayMode = 0x10; // may music-type or user-file play start? (0x08)
inline constexpr quint8 kProgramAllowed = 0x04;
inline constexpr quint8 kPlayModeAllowed = 0x08;

// Waits until the link is free, asks the changer inside the audio bracket and returns whether
// the answer carries `bit`. A failed query is a refusal.
bool askPermission(Link& link, quint8 group, quint8 bit);

// Permission for group 0x10, then the play-mode request (music-type play: mode 5 and the
// code; user-file play: mode 7 and the mask). True only when the changer took the request.
bool requestPlayModeWithPermission(Link& link, quint8 mode, quint8 parameter);

// Play mode 0 (plain track play), without asking: clears music-type and user-file play.
bool clearPlayMode(Link& link);

} // namespace tf::playback
