#pragma once

// The changer-memory titles of one disc as the title download leaves them in texttmp.txt
// (raw title records: "##<disc>", "#<track>", the title, the user-file byte, the music type).

#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::memorytitles {

struct MemoryTitles {
    std::optional<QString> discTitle; // record #0
    QMap<int, QString> trackTitles;   // track number -> title
};

// Reads the records in track order: a counter k starts at 0, and a line equal to "#" + k
// makes the next line the title of track k (0 = the disc title), after which k goes up by
// one. Records out of order or after a gap therefore do not count, exactly as the changer's
// sequence is meant to be read.
MemoryTitles fromRecords(const QStringList& lines);

} // namespace tf::memorytitles
