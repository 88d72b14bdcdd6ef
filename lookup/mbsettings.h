#pragma once

// The MusicBrainz options in the per-user settings store (group "MusicBrainz"): the order of
// the online databases and the server (a mirror may stand in for musicbrainz.org). The proxy
// and the e-mail address are the CDDB options'.

#include "lookup/mbclient.h"

namespace tf {

class MbSettings {
public:
    static constexpr char kGroup[] = "MusicBrainz";

    static MbOptions load();
    static void save(const MbOptions& options);
};

} // namespace tf
