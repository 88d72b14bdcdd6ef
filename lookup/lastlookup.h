#pragma once

#include "model/discid.h"
#include "model/toc.h"

#include <QList>

namespace tf {

// The disc of the most recent lookup, kept so that the CDDB menu commands can repeat it.
struct LastLookup {
    DiscIdentity identity;
    QList<TocTime> toc; // as many entries as the looked-up table, the lead-out last
    int firstTrack = 0;
    int lastTrack = 0;

    bool isEmpty() const { return toc.isEmpty(); }
};

} // namespace tf
