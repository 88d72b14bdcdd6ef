#pragma once

// White-box set-up of the link's state for tests that put a widget or an operation into a
// state the changer would have pushed, without a changer.

#include "link/link.h"

namespace tf {

class LinkTestAccess {
public:
    static LinkTimings& timings(Link& link) { return link.m_timings; }
    static PlayValues& play(Link& link) { return link.m_play; }
    static void setModeCode(Link& link, qint16 code) { link.m_modeCode = code; }
    static void setLinkEstablished(Link& link, bool established) {
        link.m_linkEstablished = established;
    }
};

} // namespace tf
