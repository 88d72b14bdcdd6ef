#pragma once

// One step of the changer's program list.

#include <QtGlobal>

namespace tf {

inline constexpr quint8 kWholeDiscTrack = 0xAA; // program step playing a whole disc
inline constexpr int kMaxProgramSteps = 32;

struct ProgramStep {
    quint16 disc = 0;
    quint8 track = 0; // 100 or more: the whole disc (sent as kWholeDiscTrack)

    bool wholeDisc() const { return track >= 100; }
    bool operator==(const ProgramStep&) const = default;
};

} // namespace tf
