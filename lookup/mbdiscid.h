#pragma once

// The MusicBrainz disc id of a disc, worked out by libdiscid from the table of contents the
// changer reports. The hash and its text form are libdiscid's, never ours: a home-made copy
// that differed in one detail would find nothing, or the wrong disc.

#include "lookup/cddbprotocol.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace tf {

struct MbDiscId {
    QString id;         // 28 characters of MusicBrainz's base64 variant
    QString toc;        // "first last leadout offset1 ..." (frames, lead-in included)
    QUrl submissionUrl; // the page where a user adds this disc id to a release
    int firstTrack = 1;
    int trackCount = 0;
};

// `firstTrack` is the number of the table's first track (1 for nearly every disc; a disc of a
// set may start higher). Nullopt, with libdiscid's reason in *error, for a table it refuses.
std::optional<MbDiscId> mbDiscId(const CddbToc& toc, int firstTrack = 1, QString* error = nullptr);

} // namespace tf
