#pragma once

// The xmcd record of one disc: what a CDDB read returns and what a submission sends.

#include "lookup/cddbprotocol.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace tf {

inline constexpr int kXmcdMaxTracks = 99;
// The protocol's limit for one record line, key included; longer values continue on lines
// with the same key.
inline constexpr int kXmcdMaxLineBytes = 256;

struct CddbDisc {
    QString category; // where the record lives in the database (rock, misc...)
    QStringList discIds;
    QString artist;
    QString title;
    QString year;
    QString genre;
    QString extendedData;          // EXTD
    QStringList trackTitles;       // TTITLE0.. in order
    QStringList trackExtendedData; // EXTT0.., as many as trackTitles
    QString playOrder;
    int revision = -1;       // -1: not known (a disc that was never in the database)
    QList<int> frameOffsets; // from the record's comment block
    int lengthSeconds = 0;

    QString discId() const { return discIds.isEmpty() ? QString() : discIds.first(); }
    // The disc title as the record keeps it: "Artist / Title".
    QString dtitle() const;
    // Both names empty: a candidate nobody can use.
    bool namesEmpty() const { return artist.isEmpty() && title.isEmpty(); }

    // A new, empty disc for a table of contents: its id, offsets and one empty title a track.
    static CddbDisc fromToc(const CddbToc& toc);
};

// Parses a record. Escapes \n and \t read as blanks, \\ as a backslash; values split over
// several lines are joined; every field is free of control characters afterwards. Track
// numbers beyond kXmcdMaxTracks are ignored. False, with the reason in *error, when the text
// holds no DISCID or no DTITLE (not a record).
bool parseXmcd(const QStringList& lines, CddbDisc* disc, QString* error = nullptr);
bool parseXmcd(const QByteArray& bytes, CddbDisc* disc, QString* error = nullptr);

// The record for a submission, in UTF-8 with LF line ends: comment block with the offsets,
// the length and `revision`, then DISCID (the TOC's id first), DTITLE, DYEAR, DGENRE,
// TTITLEn, EXTD, EXTTn, PLAYORDER. As many track lines as the TOC has tracks.
QByteArray buildXmcd(const CddbDisc& disc, const CddbToc& toc, int revision);

// The revision a submission of `disc` carries: one above the record's, 0 for a new disc.
inline int nextXmcdRevision(const CddbDisc& disc) {
    return disc.revision < 0 ? 0 : disc.revision + 1;
}

// Why `disc` must not be submitted, or an empty text when it may: an empty artist or title,
// no track titles, or only default titles ("Track 1", "Track 2"...).
QString xmcdSubmissionProblem(const CddbDisc& disc);

} // namespace tf
