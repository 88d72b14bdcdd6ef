#include "lookup/lookupflow.h"

#include "model/discid.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/storefiles.h"

#include <QStringList>

namespace tf {

std::optional<DiscRecord> masterFileDisc(const QString& dataDir, int disc, QString* problem) {
    return discdata::readBlock(storefiles::inFolder(dataDir, storefiles::kDiscData), disc, problem);
}

std::optional<LookupKey> lookupKey(const DiscRecord& disc, QString* problem) {
    if (disc.identity.disc < 1) {
        if (problem)
            *problem = QStringLiteral("The disc has no slot number.");
        return std::nullopt;
    }
    // The identifier is worked out from the table itself: the master file's copy may have
    // been written before the table arrived complete.
    const auto id = ComputeDiscId(disc.toc, problem);
    // The table holds an empty entry for every track number below the disc's first track (a
    // disc of a set may start at track 13). The database knows the disc by the tracks it
    // really has, so those entries stay out of the CDDB key; the disc's own identifier, which
    // the title files carry, is left as it is.
    QList<TocTime> tracks = disc.toc;
    const int skipped = qMax(1, int(disc.minTno)) - 1;
    if (skipped > 0 && skipped < tracks.size() - 1)
        tracks = tracks.mid(skipped);
    const auto toc = CddbToc::fromTocTimes(tracks, problem);
    if (!id || !toc)
        return std::nullopt;
    LookupKey key;
    key.identity.disc = disc.identity.disc;
    key.identity.id = *id;
    key.toc = *toc;
    return key;
}

QString lookupDiscTitle(const CddbDisc& disc) {
    if (disc.artist.isEmpty())
        return disc.title;
    if (disc.title.isEmpty())
        return disc.artist;
    return disc.dtitle();
}

bool writeLookupResult(const QString& dataDir, const LookupKey& key, int minTno, int maxTno,
                       const CddbDisc& result, QString* error) {
    QStringList tracks;
    // The record's first title belongs to the disc's first track, whatever its number (a disc
    // of a set may start at track 13).
    for (int t = minTno; t <= maxTno; ++t)
        tracks.append(result.trackTitles.value(t - minTno));
    return discfile::writeFromLookup(dataDir, key.identity, minTno, maxTno, lookupDiscTitle(result),
                                     tracks, error);
}

bool isServiceFailure(CddbResultCode code) {
    switch (code) {
    case CddbResultCode::Ok:
    case CddbResultCode::NoMatch:
        return false;
    default:
        return true;
    }
}

bool stopsPass(CddbResultCode code) {
    return code == CddbResultCode::Throttled || code == CddbResultCode::NetworkError ||
           code == CddbResultCode::Timeout || code == CddbResultCode::Cancelled;
}

} // namespace tf
