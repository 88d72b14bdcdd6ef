#pragma once

#include "model/discid.h"
#include "model/toc.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tf {

// Bit of the disc-information word: the disc carries CD TEXT.
inline constexpr qint16 kDiscInfoCdText = 0x10;

inline constexpr int kMinTrack = 1;
inline constexpr int kMaxTrack = 99;

// One disc as the title store knows it. The titles live in the per-disc file DISC<n>.txt;
// the table of contents, track range, flags, user-file byte and music type live in the master
// data file.
struct DiscRecord {
    DiscIdentity identity; // slot and identifier
    qint16 minTno = 0;
    qint16 maxTno = 0;
    QString discTitle;
    QStringList trackTitles; // tracks minTno..maxTno, in order
    // toc[i - 1] is entry i: every track from 1 to maxTno, then the lead-out (maxTno + 1
    // entries in all).
    QList<TocTime> toc;
    qint16 discInfo = 0;
    quint8 userFileByte = 0;
    quint8 musicType = 0;

    int disc() const { return identity.disc; }
    bool hasCdText() const { return (discInfo & kDiscInfoCdText) != 0; }
};

} // namespace tf
