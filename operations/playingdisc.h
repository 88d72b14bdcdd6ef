#pragma once

// The titles of the disc the changer plays, for the audio tab's lists: from its per-disc file,
// a parked file brought back, an online or CD TEXT lookup, or the titles the changer stores.

#include "model/discid.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf {

struct AppContext;
class Link;

struct TrackTitle {
    int number = 0;
    QString title;
};

// What the disc-title and track-title lists show for one disc.
struct DiscTitles {
    // The disc's item in the disc-title list takes this title (the item is added if missing).
    std::optional<QString> discTitle;
    // Without a title the disc still gets a bare item when it has none.
    bool discItem = false;
    // The whole track-title list, in order.
    QList<TrackTitle> tracks;
    // The titles can stand on their own: a disc title, or at least one titled track.
    bool usable = false;
};

// The titles of a per-disc file for tracks lowest..highest; the file's own track range wins
// when it names one. nullopt when there is no readable file.
std::optional<DiscTitles> discFileTitles(const QString& path, int lowest, int highest);

// The table of contents of the playing disc as far as the titles need it.
struct PlayingDisc {
    DiscIdentity identity; // the identifier stays unknown when the table gives none
    int lowest = 1;
    int highest = 1;
    bool cdText = false;
};

// Reads the table of contents of `disc`, holding the link. nullopt when the read failed or
// the changer answered with an error.
std::optional<PlayingDisc> readPlayingDisc(Link& link, int disc);

// Where the titles came from; None when nothing usable was found.
enum class TitleSource { DiscFile, ParkedFile, Lookup, Changer, None };

struct PlayingDiscTitles {
    TitleSource source = TitleSource::None;
    DiscTitles titles;
};

// The titles of the disc just read: its file when the identifier matches, else a parked file
// of the identifier, else a lookup (CD TEXT, or online after asking the user unless the
// settings decide), else the changer's stored titles. The changer stores 20 tracks; the rest
// are listed without a title.
PlayingDiscTitles findPlayingDiscTitles(AppContext& ctx, const PlayingDisc& disc);

// The track titles the program set-up lists for `disc`: the titles of its file, else those
// the changer stores (holding the link). Tracks after the titled ones up to `highest` have no
// title to show.
struct ProgramTrackTitles {
    QStringList titles; // track 1 first
    int highest = 0;
};
ProgramTrackTitles programTrackTitles(AppContext& ctx, int disc);

// Asks the changer to play `track` of `disc`, holding the link. The command is marked in
// progress once the link is free, and stays so for the caller to clear when it has shown the
// choice.
bool requestPlay(Link& link, int disc, int track);

} // namespace tf
