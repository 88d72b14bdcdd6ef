#include "playback/playpermission.h"

#include "link/link.h"

namespace tf::playback {

bool askPermission(Link& link, quint8 group, quint8 bit) {
    if (!link.Tarminal_Base_check())
        return false;
    link.RequestGroup = group;
    link.RequestCode = 0x00;
    link.RequestDisc = 0;
    link.RequestTrack = 0;
    link.RequestKind = 0; // not given a meaning by the changer for this query
    link.RequestFieldD = quint8(link.PlayMusicType);
    quint8 answer = 0;
    const bool ok = whileHolding(link, kLinkAudio, [&] { return link.ConfirmRequest(answer); });
    return ok && link.LastResult == kResultOk && (answer & bit) != 0;
}

bool requestPlayModeWithPermission(Link& link, quint8 mode, quint8 parameter) {
    if (!askPermission(link, kGroupPlayMode, kPlayModeAllowed))
        return false;
    if (!link.Tarminal_Base_check())
        return false;
    const bool ok =
        whileHolding(link, kLinkAudio, [&] { return link.RequestPlayMode(mode, parameter); });
    return ok && link.LastResult == kResultOk;
}

bool clearPlayMode(Link& link) {
    if (!link.Tarminal_Base_check())
        return false;
    const bool ok = whileHolding(link, kLinkAudio, [&] { return link.RequestPlayMode(0, 0); });
    return ok;
}

} // namespace tf::playback
