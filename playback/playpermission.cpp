#include "playback/playpermission.h"

#include "link/link.h"

namespace tf::playback {

bool waitForFreeLink(Link& link) {
    link.waitUntil([&] { return link.linkBusy() == kLinkIdle || link.linkBusy() == kLinkOffline; });
    return link.linkBusy() == kLinkIdle;
}

bool askPermission(Link& link, quint8 group, quint8 bit) {
    if (!waitForFreeLink(link))
        return false;
    link.RequestGroup = group;
    link.RequestCode = 0x00;
    link.RequestDisc = 0;
    link.RequestTrack = 0;
    link.RequestKind = 0; // not given a meaning by the changer for this query
    link.RequestFieldD = quint8(link.PlayMusicType);
    quint8 answer = 0;
    link.Set_Tarminal_AUDIO();
    const bool ok = link.ConfirmRequest(answer);
    link.Clear_Tarminal_AUDIO();
    return ok && link.LastResult == kResultOk && (answer & bit) != 0;
}

bool requestPlayModeWithPermission(Link& link, quint8 mode, quint8 parameter) {
    if (!askPermission(link, kGroupPlayMode, kPlayModeAllowed))
        return false;
    if (!waitForFreeLink(link))
        return false;
    link.Set_Tarminal_AUDIO();
    const bool ok = link.RequestPlayMode(mode, parameter);
    link.Clear_Tarminal_AUDIO();
    return ok && link.LastResult == kResultOk;
}

bool clearPlayMode(Link& link) {
    if (!waitForFreeLink(link))
        return false;
    link.Set_Tarminal_AUDIO();
    const bool ok = link.RequestPlayMode(0, 0);
    link.Clear_Tarminal_AUDIO();
    return ok;
}

} // namespace tf::playback
