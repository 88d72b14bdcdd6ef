#include "playback/searchplay.h"

#include "base/catalogue.h"
#include "link/link.h"
#include "model/playtables.h"
#include "store/disclist.h"

namespace tf::playback {

SearchPlayRefusal searchPlayRefusal(const Link& link) {
    if (link.linkBusy() == kLinkOffline || link.linkState() != kLinkUp)
        return SearchPlayRefusal::NoChanger;
    if (link.modeCode() != 1)
        return SearchPlayRefusal::PanelMode;
    if (link.playValues().PlayMode != kPlayModeTrack)
        return SearchPlayRefusal::NotTrackMode;
    if (link.linkBusy() != kLinkIdle || link.commandInProgress())
        return SearchPlayRefusal::Busy;
    return SearchPlayRefusal::None;
}

QString refusalText(SearchPlayRefusal refusal) {
    switch (refusal) {
    case SearchPlayRefusal::None:
        return {};
    case SearchPlayRefusal::NoChanger:
        return msg(msgid::SearchNoChanger);
    case SearchPlayRefusal::PanelMode:
        return msg(msgid::SearchPanelMode);
    case SearchPlayRefusal::NotTrackMode:
        return msg(msgid::SearchNotTrackMode);
    case SearchPlayRefusal::Busy:
        return msg(msgid::SearchBusy);
    }
    return {};
}

int searchPlayTrack(const QString& dataDir, int disc, int track) {
    if (track > 0)
        return track;
    if (const auto entries = disclist::read(dataDir)) {
        for (const disclist::Entry& e : *entries)
            if (e.slot == disc)
                return e.minTno > 0 ? e.minTno : 1;
    }
    return 1;
}

} // namespace tf::playback
