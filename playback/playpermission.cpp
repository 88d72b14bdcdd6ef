#include "playback/playpermission.h"

#include "link/link.h"

namespace tf::playback {

bool askPermission(Link& link, quint8 group, quint8 bit) {
    if (!link.Tarminal_Base_check())
        return false;
    quint8 answer = 0;
    // The permission query names no disc; its track, kind and music type go out as 0.
    const bool ok = whileHolding(link, kLinkAudio, [&] {
        return link.ConfirmRequest(RequestCode{group, 0x00}, 0, answer);
    });
    return ok && link.lastResult() == kResultOk && (answer & bit) != 0;
}

bool requestPlayModeWithPermission(Link& link, quint8 mode, quint8 parameter) {
    if (!askPermission(link, kGroupPlayMode, kPlayModeAllowed))
        return false;
    if (!link.Tarminal_Base_check())
        return false;
    const bool ok =
        whileHolding(link, kLinkAudio, [&] { return link.RequestPlayMode(mode, parameter); });
    return ok && link.lastResult() == kResultOk;
}

bool clearPlayMode(Link& link) {
    if (!link.Tarminal_Base_check())
        return false;
    const bool ok = whileHolding(link, kLinkAudio, [&] { return link.RequestPlayMode(0, 0); });
    return ok;
}

} // namespace tf::playback
