#pragma once

namespace tf {

// The play values as the audio tab last drew them: what a desktop media player shows follows
// the tab's own redraws, so the two never disagree. -1: not drawn since the tab was prepared.
struct DrawnPlay {
    int disc = 0; // the disc whose titles are shown
    int track = 0;
    int playState = 0;
    int playMode = 0;
    int repeat = 0;
    int musicType = 0;

    bool operator==(const DrawnPlay&) const = default;
};

} // namespace tf
