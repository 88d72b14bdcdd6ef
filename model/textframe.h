#pragma once

// The contents of a text frame the changer sends: a disc title, a track title or a user-file
// name, with the slot's user-file byte and music type.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace tf {

// Kind of text (parameter C of a DataRequest, field C of a TitleFrame).
inline constexpr quint8 kTextKindDisc = 0;
inline constexpr quint8 kTextKindTrack = 1;
inline constexpr quint8 kTextKindUserFileName = 7;

// A 0xFE (disc-level) or 0xFD (track- or item-level) text frame.
struct TextFrame {
    bool trackLevel = false; // 0xFD
    quint16 disc = 0;        // DATA[1..2]
    quint8 item = 0;         // DATA[3]: track, or the user-file bit of a user-file name
    quint8 userFileByte = 0; // DATA[4]
    quint8 kind = 0;         // DATA[5]
    quint8 musicType = 0;    // DATA[6]
    // DATA[8] of a 0xFD frame: 1 = the text begins its entry, else it continues the previous
    // piece. A 0xFE frame always begins its entry.
    quint8 entryFlag = 1;
    // Frames without text (LEN 8 for 0xFE, 9 for 0xFD) carry a status as their last byte:
    // 0 = the slot holds no disc, 1 = no title stored, 2 or more = a one-character title.
    std::optional<quint8> status;
    QByteArray textBytes; // as received (the status character for status 2 or more)
    QString text;         // textBytes decoded, control characters as blanks

    bool beginsEntry() const { return entryFlag == 1; }
    bool noDisc() const { return status == 0; }
    bool noTitle() const { return status == 1; }
    // A text-less 0xFD frame with status 1 and an entry flag of 2 or more: nothing follows
    // for this item or the ones after it.
    bool lastItemMark() const { return trackLevel && status == 1 && entryFlag >= 2; }
};
// User file 1..8 named by a one-bit mask (0x01 -> 1, 0x80 -> 8); 0 unless exactly one bit is set.
int userFileFromMask(quint8 mask);

} // namespace tf
