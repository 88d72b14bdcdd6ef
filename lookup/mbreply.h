#pragma once

// MusicBrainz's answers to a disc id lookup and to the fuzzy lookup by table of contents
// (JSON), turned into one candidate per release medium that fits the disc. The answer comes
// from the network: it is size-capped, every field is checked for its type, texts lose their
// control characters, and whatever does not fit is left out rather than guessed.

#include "lookup/cddbresult.h"
#include "lookup/mbdiscid.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tf {

// Far more than the largest real answer (a few hundred kilobytes for a disc in many releases).
inline constexpr qint64 kMbMaxReplyBytes = 4 * 1024 * 1024;
inline constexpr int kMbMaxReleases = 100;
inline constexpr int kMbMaxTextChars = 512;
// The category a MusicBrainz result carries in place of a CDDB one.
inline constexpr char kMbCategory[] = "musicbrainz";

// One medium of one release: what the user needs to choose, and the titles it gives the disc.
struct MbCandidate {
    QString releaseId;
    QString artist; // the credit joined as MusicBrainz shows it ("A feat. B")
    QString title;
    QString year;
    QString country;
    QString label;
    int discNumber = 0; // the medium's position in the release
    int discCount = 0;  // media in the release
    int trackCount = 0;
    bool exact = false;      // the medium carries this disc id
    bool tocMatches = false; // the medium has as many tracks as the disc
    bool variousArtists = false;
    QStringList trackTitles; // "Artist / Title" on a various-artists medium

    // The disc as the title writer takes it.
    CddbDisc toDisc() const;
    // The candidate window's line: source "MusicBrainz" and the release details.
    CddbMatch toMatch() const;
};

QList<CddbMatch> mbMatches(const QList<MbCandidate>& candidates);

struct MbReply {
    CddbOutcome outcome;           // Ok, or BadResponse with a sentence for the user
    QList<MbCandidate> candidates; // exact ones first, then the rest in the answer's order
};

// `exactLookup`: the answer of /discid/<id> (its media may carry the id); otherwise the answer
// of the fuzzy lookup, whose candidates are never exact.
MbReply parseMbReply(const QByteArray& body, const MbDiscId& disc, bool exactLookup);

} // namespace tf
