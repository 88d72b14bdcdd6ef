#pragma once

// The pieces of the lookup flow that need neither the network nor the user: where a disc's
// table of contents comes from, how a lookup result becomes the disc's title file, and the
// windows the flow asks the user through (behind an interface, so the flow runs headless).

#include "lookup/cddbprotocol.h"
#include "lookup/cddbresult.h"
#include "lookup/xmcd.h"
#include "store/discrecord.h"

#include <QList>
#include <QString>

#include <optional>

namespace tf {

// The two lookup windows: the candidate choice and the disc information.
class LookupChooser {
public:
    virtual ~LookupChooser() = default;

    // Lets the user pick one of `matches` (several exact ones, or inexact ones); the index of
    // the pick, or nullopt for "none of these".
    virtual std::optional<int> chooseCandidate(const QList<CddbMatch>& matches) = 0;

    // Shows `disc`; with `editable` the user may change it in place. True when something was
    // changed (the disc then holds the new values).
    virtual bool showDiscInfo(CddbDisc& disc, bool editable) = 0;
};

// The disc of slot `disc` as the master data file knows it; nullopt, with the reason in
// *problem, when the file or the disc's block is missing or damaged.
std::optional<DiscRecord> masterFileDisc(const QString& dataDir, int disc,
                                         QString* problem = nullptr);

// The lookup key of a disc: nullopt, with the reason in *problem, for a table of contents that
// has no valid CDDB identifier (such a disc is never looked up).
struct LookupKey {
    DiscIdentity identity; // the slot and the identifier computed from the table
    CddbToc toc;
};
std::optional<LookupKey> lookupKey(const DiscRecord& disc, QString* problem = nullptr);

// The disc title a lookup result gives the title file: "Artist / Title", or the one name
// that is set.
QString lookupDiscTitle(const CddbDisc& disc);

// Parks the slot's title file and writes the lookup result as its new DISC<n>.txt. The track
// titles are the record's, one per track of the looked-up table (missing ones empty), so that
// the file always matches the disc's track range.
bool writeLookupResult(const QString& dataDir, const LookupKey& key, int minTno, int maxTno,
                       const CddbDisc& result, QString* error = nullptr);

// Failures of the service itself (time-out, throttling, network, server errors): nothing is
// known about the disc, so its title file must stay where it is.
bool isServiceFailure(CddbResultCode code);
// Failures after which a pass over many discs stops instead of asking again for every disc.
bool stopsPass(CddbResultCode code);

} // namespace tf
