#include "operations/startupread.h"

#include "link/link.h"
#include "operations/exchange.h"
#include "operations/textdownload.h"
#include "store/config.h"
#include "store/disclist.h"
#include "store/storefiles.h"

namespace tf {

namespace {

// Runs `exchange` holding the link with the push bracket.
template <typename F> bool holding(Link& link, F exchange) {
    if (!link.Tarminal_Base_check())
        return false;
    const LinkHold hold(link, kLinkPush);
    return exchange();
}

} // namespace

StartUpReadResult startUpRead(Link& link, const Configuration& config, UserInterface& ui) {
    StartUpReadResult result;
    if (!holding(link, [&] { return downloadAllDiscTitles(link, config, ui); })) {
        fillDiscListToAllSlots(config, &result.error);
        return result;
    }

    // The disc in the player gets its real track range; with none there is nothing to ask.
    disclist::PlayerRange player;
    if (link.playValues().PlayDisc > 0) {
        player.disc = link.playValues().PlayDisc;
        MinMaxTno range;
        const bool read = holding(
            link, [&] { return link.ReadMinMaxTno(quint16(link.playValues().PlayDisc), range); });
        player.minTno = read ? range.lowest : 1;
        player.maxTno = read ? range.highest : 99;
    }
    const disclist::Result converted = disclist::convertAllDiscs(
        config.programPath(storefiles::kAllDiscs), config.settings.dataDir, player, &result.error);
    result.discListBuilt = converted == disclist::Result::Done;

    result.userFileNamesRead =
        holding(link, [&] { return downloadUserFileNames(link, config, ui); });
    return result;
}

bool fillDiscListToAllSlots(const Configuration& config, QString* error) {
    return disclist::fillToAllSlots(config.settings.dataDir, disclist::kSlotCount, error) !=
           disclist::Result::Failed;
}

} // namespace tf
