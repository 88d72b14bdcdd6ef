#pragma once

// The whole title library of a data folder as one value, for export and import: per slot what
// the master data file holds (identifier, track range, table of contents, disc information,
// user-file byte, music type) and what the per-disc title file holds, plus the eight user-file
// names. The two parts of a disc are kept apart because the folder keeps them apart: a title
// file may exist without a master block and the other way round.

#include "model/discid.h"
#include "model/toc.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::library {

inline constexpr int kFormatVersion = 1;
inline constexpr char kFormatName[] = "trackfen-library";

// The block of discdata.txt.
struct MasterPart {
    DiscIdBytes id{};
    int minTno = 1;
    int maxTno = 1;
    int info = 0;
    int userFileByte = 0;
    int musicType = 0;
    QList<TocTime> toc; // maxTno + 1 entries, the lead-out last

    bool operator==(const MasterPart&) const = default;
};

// DISC<n>.txt.
struct TitlePart {
    QString idText; // lower case; empty when the file has no identifier line
    int minTno = 1;
    int maxTno = 1;
    QString discTitle;
    QStringList trackTitles; // every line after "Track Title =", in order

    bool operator==(const TitlePart&) const = default;
};

struct Disc {
    int slot = 0;
    std::optional<MasterPart> master;
    std::optional<TitlePart> titles;

    bool operator==(const Disc&) const = default;
};

struct Library {
    std::optional<QStringList> userFileNames; // eight names; nullopt when ufn.txt is missing
    QList<Disc> discs;                        // ascending slot, each slot once

    const Disc* find(int slot) const;
};

// "MM:SS:FF" and back; nullopt for anything else (seconds below 60, frames below 75).
QString tocEntryText(const TocTime& t);
std::optional<TocTime> parseTocEntry(const QString& text);

// Reads the library of a data folder. Blocks or title files that cannot be read are left out
// and named in *warnings; nothing in the folder is changed.
Library load(const QString& dataDir, QStringList* warnings = nullptr);

// Checks what a file may hold before anything is written: slot range and uniqueness, track
// ranges, a table of maxTno + 1 entries, byte ranges, and texts the title files can hold
// (Windows-1252, no control characters). The first problem, naming the disc and field.
std::optional<QString> validate(const Library& library);

} // namespace tf::library
