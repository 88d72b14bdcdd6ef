#include "sim/simmodel.h"

#include <QString>

namespace tf::sim {

Msf Msf::fromFrames(int frames) {
    Msf msf;
    msf.frames = frames % 75;
    msf.seconds = (frames / 75) % 60;
    msf.minutes = frames / 75 / 60;
    return msf;
}

bool SimDisc::hasMemoryTitles() const {
    if (!memoryTitle.isEmpty())
        return true;
    for (const QByteArray& title : memoryTracks) {
        if (!title.isEmpty())
            return true;
    }
    return false;
}

QByteArray SimDisc::cdTextTrack(int track) const {
    const int index = track - lowest;
    return index >= 0 && index < cdTextTracks.size() ? cdTextTracks.at(index) : QByteArray();
}

int ChangerLibrary::loadedCount() const {
    int count = 0;
    for (int slot = 1; slot <= kSlotCount; ++slot)
        count += discs.at(slot).present ? 1 : 0;
    return count;
}

quint8 toBcd(int value) {
    value = qBound(0, value, 99);
    return static_cast<quint8>(((value / 10) << 4) | (value % 10));
}

QString msfText(const Msf& msf) {
    return QStringLiteral("%1:%2:%3")
        .arg(msf.minutes, 2, 10, QLatin1Char('0'))
        .arg(msf.seconds, 2, 10, QLatin1Char('0'))
        .arg(msf.frames, 2, 10, QLatin1Char('0'));
}

} // namespace tf::sim
