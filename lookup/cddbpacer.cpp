#include "lookup/cddbpacer.h"

#include <algorithm>

namespace tf {

qint64 CddbPacer::reserve(qint64 nowMs) {
    qint64 slot = nowMs;
    if (m_lastSlot && m_spacingMs > 0)
        slot = std::max(nowMs, *m_lastSlot + m_spacingMs);
    m_lastSlot = slot;
    return slot - nowMs;
}

} // namespace tf
