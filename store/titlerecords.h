#pragma once

// The raw title records that text downloads write to tmpttl.txt in the program folder, five
// lines each:
//
//   ##<disc>
//   #<track>           (0 for the disc title)
//   <title>            or "* NO DISC *" / "* NO TITLE *"
//   <user-file byte>
//   <music-type code>
//
// User-file names (kind 7) go instead into records 1..8 of tmpttl.txt used as a file of
// 128-byte records. When a download ends, tmpttl.txt is handed over to its destination
// (alldisc.txt, texttmp.txt, ufn.txt, ...).

#include "model/textframe.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tf {

inline constexpr char kNoDiscText[] = "* NO DISC *";
inline constexpr char kNoTitleText[] = "* NO TITLE *";
inline constexpr quint8 kLastItemReached = 255;

// The text a frame stands for: its characters, or the status text of a frame without text
// ("USER FILE k" for a user-file name).
QString titleRecordText(const TextFrame& frame);

// One five-line raw title record.
QStringList titleRecord(int disc, int track, const QString& title, int userFileByte, int musicType);

// Writer for a received disc-level (0xFE) text frame: appends one record (kinds 0 and 1) or
// stores a user-file name (kind 7). Frames of other kinds are not stored. False with *error
// when tmpttl.txt could not be written or a user-file name frame names no single user file.
bool DiscTextFrame(const TextFrame& frame, const QString& programDir, QString* error = nullptr);

struct TrackTextResult {
    bool ok = true;
    quint8 lastItemFlag = 0; // kLastItemReached: nothing follows up to `RequestLast`
    QString error;
};

// Writer for a received track-level (0xFD) text frame, given the last item `RequestLast`.
// A piece that begins an entry appends a record. A continuing piece is joined to the latest
// record of its disc and track (through tmpttl1.txt). A text-less "no title" frame whose entry
// flag is 2 or more marks the last item: its track and every track up to `requestLast` get
// "* NO TITLE *" records, so the record list runs to the end without gaps. A continuing piece
// for a track that has no record yet is dropped, keeping every record whole. User-file names
// are stored as DiscTextFrame() does.
TrackTextResult TrackTextFrame(const TextFrame& frame, int requestLast, const QString& programDir);

// Deletes tmpttl.txt (and a left-over tmpttl1.txt) before a download starts.
void clearTitleRecords(const QString& programDir);

// Copies tmpttl.txt over the destination (atomically) and deletes it. False, with the
// destination unchanged, when there is no tmpttl.txt or the copy fails.
bool handOverTitleRecords(const QString& programDir, const QString& destinationPath,
                          QString* error = nullptr);

// The titles of a record file a download handed over, in record order: the disc title (#0)
// first, then tracks 1, 2, ... A record out of that order is passed over, so the list ends
// at the first number missing. nullopt when the file cannot be read.
std::optional<QStringList> readRecordTitles(const QString& path);

} // namespace tf
