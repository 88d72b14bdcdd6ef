#pragma once

// Playing a search result: the same rules as choosing a disc or track on the audio tab. A
// result plays only while the changer is in its PC mode, in plain track play, and nobody holds
// the link or runs a command; otherwise nothing is sent and the reason is told.

#include <QString>

namespace tf {
class Link;
}

namespace tf::playback {

enum class SearchPlayRefusal {
    None,
    NoChanger,    // offline, or the link never came up
    PanelMode,    // the changer is run from its own panel
    NotTrackMode, // programmed, music-type or user-file play
    Busy,         // another command or exchange holds the link
};

SearchPlayRefusal searchPlayRefusal(const Link& link);

// Why nothing was sent, one sentence; empty for None.
QString refusalText(SearchPlayRefusal refusal);

// The track a result plays: its own track, or for a disc result the disc's lowest track as the
// disc list records it (1 without a record), as a disc chosen on the audio tab does.
int searchPlayTrack(const QString& dataDir, int disc, int track);

} // namespace tf::playback
