#pragma once

// The master data file discdata.txt in the data folder: one block per disc read from the
// changer, in the order written.
//
//   _!_<n>
//   TOC_<n>            then TRACK<i> = |<min>|<sec>|<frame> for i = 1 .. max + 1 (lead-out last)
//   DISCID<n>          then the four identifier bytes in decimal, one a line
//   MINMAXTNO_<n>      then min TNO and max TNO
//   INFO_<n>           then the disc-information word
//   UFILE_<n>          then the user-file byte
//   MTYPE_<n>          then the music-type code
//
// Keys are whole lines, so disc 1 never matches the lines of disc 12. A block ends where the
// next line beginning with "_!_" starts.

#include "store/discrecord.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tf {
class UserInterface;
}

namespace tf::discdata {

enum class RangeStyle {
    Bare,    // the read-all pass: every number without blanks
    Printed, // single-disc writer: min and max TNO as " 12 "
};

// The lines of one block. The table of contents is written with exactly maxTno + 1 entries:
// missing entries are written as 0:00.00 and surplus ones left out, so that the block can
// always be read back.
QStringList blockLines(const DiscRecord& disc, RangeStyle style);

// Replaces the block of disc.identity.disc: every old block of that disc is removed and the
// new block (track range printed) goes to the end. The new file is written to dest.tmp and
// renamed over discdata.txt; on failure discdata.txt is unchanged.
bool replaceBlock(const QString& dataDir, const DiscRecord& disc, QString* error = nullptr);

// Reads the block of disc n: identifier bytes, track range, disc-information word and table
// of contents (searching each key from the disc's first "_!_<n>" line, or from the top of the
// file when it has none), and the user-file byte and music type when present. nullopt, with
// the reason in *problem, when the file is missing or one of DISCID, MINMAXTNO_, INFO_ and
// TOC_ is missing or damaged.
std::optional<DiscRecord> readBlock(const QStringList& lines, int disc, QString* problem = nullptr);
std::optional<DiscRecord> readBlock(const QString& path, int disc, QString* problem = nullptr);

// The music-type code the title editor stores for a position in its choice list: 0 for the
// first entry ("Not Defined"), otherwise the position + 1.
quint8 musicTypeFromChoice(int index);

enum class ValueUpdate {
    Updated,
    NoMasterFile, // message 409 shown
    KeysMissing,  // message 408 shown, discdata.txt unchanged
    Failed,       // the file could not be read or written; discdata.txt unchanged
};

// Replaces the UFILE_<n> and MTYPE_<n> values of disc n with printed numbers (discdata.tmp
// renamed over discdata.txt). Tells the user through `ui` when the file or the keys are
// missing.
ValueUpdate updateUserFileAndMusicType(const QString& dataDir, int disc, quint8 userFileByte,
                                       quint8 musicType, UserInterface& ui,
                                       QString* error = nullptr);

// The read-all pass's new master file. Blocks are collected whole, so a disc whose reads
// were cut short never leaves half a block; commit() writes them all to discdata.tmp and
// renames it over discdata.txt. Until then discdata.txt is untouched, and a pass that ends in
// an error simply drops the builder.
class MasterFileBuilder {
public:
    explicit MasterFileBuilder(QString dataDir);

    void addBlock(const DiscRecord& disc); // all numbers bare
    int blockCount() const { return m_blocks; }
    bool commit(QString* error = nullptr);

private:
    QString m_dataDir;
    QStringList m_lines;
    int m_blocks = 0;
};

} // namespace tf::discdata
