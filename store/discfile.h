#pragma once

// The per-disc title file DISC<n>.txt in the data folder:
//
//   DISC ID =        / the identifier, 8 hex digits
//   DISC NO =        / the slot number
//   MIN TNO =        / first track
//   MAX TNO =        / last track
//   Disc Title =     / the disc title (an empty line when there is none)
//   Track Title =    / one line per track, first track first
//
// Writers differ in the case of the ID and in whether the track range carries blanks
// (" 12 "); every reader accepts all of them. A disc saved before its identifier was known is
// kept as DISC<n>.tmp until the identifier arrives. The file of a disc that left its slot is
// parked as t<id>._xt and brought back when the disc turns up again.

#include "model/discid.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tf::discfile {

QString fileName(int disc);                    // "DISC7.txt"
QString scratchFileName(int disc);             // "DISC7.tmp"
QString parkedFileName(const DiscIdBytes& id); // "t001aff07._xt"

// The editor's scratch name for a file name: everything up to and including the "." of the
// extension, then "tmp" (".../DISC7.txt" -> ".../DISC7.tmp").
QString editorScratchPath(const QString& path);

// The titles as the title editor holds them: the first grid row's track number and one
// title per grid row.
struct EditorTitles {
    int firstTrack = 1;
    QString discTitle;
    QStringList trackTitles;
};

// Where writeFromEditor() puts the titles: `path` when the identifier is known, its scratch
// name otherwise.
QString editorTarget(const QString& path, const DiscIdentity& identity);

// Writes the editor's titles (ID in upper case, track range as printed numbers) to
// editorTarget(). Saving under a known identifier also removes a DISC<n>.tmp left from an
// earlier save of the same slot: it is older, and refreshing it later would overwrite these
// titles.
bool writeFromEditor(const QString& path, const DiscIdentity& identity, const EditorTitles& titles,
                     QString* error = nullptr);

// Parks the slot's existing DISC<n>.txt, then writes the lookup result (ID in lower case,
// track range as printed numbers, the result's track titles in order). Nothing is written
// when the old file cannot be parked.
bool writeFromLookup(const QString& dataDir, const DiscIdentity& identity, int minTno, int maxTno,
                     const QString& discTitle, const QStringList& trackTitles,
                     QString* error = nullptr);

enum class RefreshResult { NoScratchFile, Refreshed, Failed };

// Turns DISC<n>.tmp (saved while the identifier was unknown) into DISC<n>.txt of the same
// folder, n = identity.disc: the ID line becomes the identifier in lower case and the track
// range is rewritten without blanks; the scratch file is removed afterwards. A scratch file
// whose first eight lines are not in the fixed order is left untouched (Failed).
RefreshResult refreshIdentifier(const QString& scratchPath, const DiscIdentity& identity,
                                int minTno, int maxTno, QString* error = nullptr);

// "DISC NO =", "MIN TNO =" and "MAX TNO =", looked up in that order without going back; a key
// that is missing leaves its number and every later one at 0.
struct DiscFileNumbers {
    qint16 discNo = 0;
    qint16 minTno = 0;
    qint16 maxTno = 0;
};
DiscFileNumbers readNumbers(const QStringList& lines);
std::optional<DiscFileNumbers> readNumbers(const QString& path); // nullopt: no readable file

// The line after the first "Disc Title ="; nullopt when the file or the key is missing.
std::optional<QString> readDiscTitle(const QString& path);

// Everything a per-disc file holds, for the editor and the title lists.
struct DiscFileContent {
    QString idText; // as written; compare in lower case
    DiscFileNumbers numbers;
    bool hasDiscTitle = false;
    QString discTitle;
    QStringList trackTitles; // every line after "Track Title ="
};
// The line of the "Track Title =" key that starts the track titles (behind the disc title's
// value), or -1.
int trackTitleKeyLine(const QStringList& lines);

std::optional<DiscFileContent> readDiscFile(const QString& path);

enum class IdCheck { NoFile, Match, Mismatch };

// Compares the file's ID line, in any case, with the identifier. A file without an ID line,
// or one that cannot be read, is a mismatch.
IdCheck checkId(const QString& path, const DiscIdentity& identity);

enum class ParkResult { NoFile, Parked, Failed };

// Renames the file to t<its id>._xt in its folder, replacing an older parked file of that
// name. A file whose ID line is not 8 hexadecimal digits could never be brought back and is
// left where it is (Failed).
ParkResult park(const QString& path, QString* error = nullptr);

enum class RestoreResult { NotFound, Restored, Failed };

// Brings back the parked file of the identifier as DISC<n>.txt, n = identity.disc, with the
// slot number rewritten, then removes the parked file. An existing DISC<n>.txt of another
// disc is parked first, so that disc's titles are kept too; one of the same disc is replaced.
RestoreResult restore(const QString& dataDir, const DiscIdentity& identity,
                      QString* error = nullptr);

} // namespace tf::discfile
