#pragma once

// A disc's table of contents and track range, as the changer reports them.

#include <QList>
#include <QtGlobal>

namespace tf {

// The lowest and highest track of the disc in the player.
struct MinMaxTno {
    quint8 lowest = 0;  // DATA[3]
    quint8 highest = 0; // DATA[4]
    quint8 third = 0;   // DATA[5], handed on unchanged
};

// One table-of-contents entry, converted from BCD.
struct TocTime {
    quint8 minutes = 0;
    quint8 seconds = 0;
    quint8 frames = 0; // 75 a second
    bool operator==(const TocTime&) const = default;
};

// The table of contents of a disc identifier: entries[k - 1] is track k, entries[highest] the
// lead-out; tracks below the lowest stay zero. A disc whose highest track is 0 has no table.
struct DiscToc {
    quint8 discInfo = 0; // bit 0x10: the disc carries CD TEXT
    quint8 lowest = 0;
    quint8 highest = 0;
    QList<TocTime> entries;
};

} // namespace tf
