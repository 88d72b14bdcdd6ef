#pragma once

// Link settings and calls the tests against a changer share.

#include "link/link.h"

namespace tf::test {

// The link's frame and reply waits cut to `waitMs`, so that a failing case costs little; the
// attempts and steps stay the product's. The error dialog closes at once.
inline LinkTimings shortTimings(int waitMs) {
    LinkTimings t;
    t.frameMs = waitMs;
    t.handshakeFrameMs = waitMs;
    t.replyMs = waitMs;
    t.handshakeReplyMs = waitMs;
    t.nextFrameMs = waitMs;
    t.errorCountdownS = 0;
    return t;
}

// The product's waits, with the error dialog closing at once.
inline LinkTimings productTimings() {
    LinkTimings t;
    t.errorCountdownS = 0;
    return t;
}

// Runs one transaction outside an operation, holding the link as the changer's own exchanges
// do, and returns what it returns.
template <typename F> auto holding(Link& link, F f) {
    return whileHolding(link, kLinkPush, f);
}

} // namespace tf::test
