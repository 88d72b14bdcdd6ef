#pragma once

// The disc list tempdisc.txt in the data folder: one five-line record per changer slot,
//
//   [  7] <disc title>      slot label + title, or slot label + "Unknown DISC"
//   <user-file byte>
//   <music-type code>
//   <min TNO>
//   <max TNO>
//
// built at start-up from the changer's raw title records (alldisc.txt) and the disc titles of
// the per-disc files.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::disclist {

inline constexpr int kSlotCount = 200;
inline constexpr char kUnknownDisc[] = "Unknown DISC";

// "[" + the slot number right-aligned in three characters + "] ": "[  7] ", "[123] ".
QString slotLabel(int slot);

// The slot number as the disc selection list shows it: characters 2 to 4 of the label.
QString slotItem(int slot);

// The slot of a record line ("[ 12] ..."); nullopt for any other line.
std::optional<int> slotOfLine(const QString& line);

struct Entry {
    int slot = 0;
    QString title; // line 1 after the label
    int userFileByte = 0;
    int musicType = 0;
    int minTno = 1;
    int maxTno = 1;
};

// The records of tempdisc.txt; nullopt when it is missing or unreadable. Values that are not
// numbers read as 0.
std::optional<QList<Entry>> read(const QString& dataDir);

// The disc in the player and its track range as read from the changer at start-up: that
// disc's record gets this range, every other record 1 and 1. disc 0: no disc in the player.
struct PlayerRange {
    int disc = 0;
    int minTno = 1;
    int maxTno = 1;
};

enum class Result { NoSource, Done, Failed };

// Builds tempdisc.txt from alldisc.txt: every "##<n>" record becomes slot label + title (the
// disc title of DISC<n>.txt when it has one, the changer's title otherwise), its user-file
// byte and music type, and the track range. The list is written through tempd.tmp; only
// then is alldisc.txt deleted. NoSource when there is no alldisc.txt.
Result convertAllDiscs(const QString& allDiscPath, const QString& dataDir,
                       const PlayerRange& player, QString* error = nullptr);

// Rewrites tempdisc.txt with one record for every slot 1..slotCount: the slot's first record
// when it has one, else "Unknown DISC", 0, 0; every record gets the track range 1..99.
// NoSource when there is no tempdisc.txt.
Result fillToAllSlots(const QString& dataDir, int slotCount = kSlotCount, QString* error = nullptr);

// The items of the disc selection list.
struct SelectionList {
    QStringList items;    // slotItem() of every record
    int selected = -1;    // the item equal to the text shown before, -1 for none
    bool created = false; // tempdisc.txt was missing and has been created for every slot
    QString error;        // the list could not be read or created
};

// Create_cmbDNO_List: the slot numbers of tempdisc.txt, creating it with an "Unknown DISC"
// record for every slot when it is missing. `shownText` is what the list showed before; the
// first item equal to it is selected again.
SelectionList Create_cmbDNO_List(const QString& dataDir, const QString& shownText,
                                 int slotCount = kSlotCount);

// Index of the item whose slot number equals the typed number (" 7", "007" and "7" all find
// "  7"); -1 when none does or the text is not a number.
int findSlotItem(const QStringList& items, const QString& typed);

// After disc `slot` was saved: its record line becomes label + the new disc title (through
// tmpd.dsc). NoSource when there is no tempdisc.txt.
Result updateTitle(const QString& dataDir, int slot, const QString& discTitle,
                   QString* error = nullptr);

} // namespace tf::disclist
