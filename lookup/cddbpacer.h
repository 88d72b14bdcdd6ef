#pragma once

#include <QtGlobal>

#include <optional>

namespace tf {

// Keeps requests at least a given spacing apart: each request reserves the earliest slot that
// is no sooner than now and no sooner than the previous slot plus the spacing. Times are
// milliseconds on any monotonic clock, so the rule is tested with made-up times.
class CddbPacer {
public:
    explicit CddbPacer(int spacingMs = 0) : m_spacingMs(spacingMs) {}

    void setSpacing(int spacingMs) { m_spacingMs = spacingMs; }
    int spacing() const { return m_spacingMs; }

    // Reserves the next slot and returns how long to wait from `nowMs` until it (0: send now).
    qint64 reserve(qint64 nowMs);
    // Forgets earlier slots (a new pass starts fresh).
    void reset() { m_lastSlot.reset(); }

private:
    int m_spacingMs = 0;
    std::optional<qint64> m_lastSlot;
};

} // namespace tf
