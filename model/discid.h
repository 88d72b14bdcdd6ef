#pragma once

// The CDDB lookup key of a disc: its identifier, computed from the table of contents, and the
// TOC text handed to the lookup component.

#include "model/toc.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace tf {

// The four identifier bytes, most significant first.
using DiscIdBytes = std::array<quint8, 4>;

// A disc as downloaded from the changer: its slot (element 1) and its identifier (elements 2
// to 5). All four identifier bytes zero means the identifier is not known.
struct DiscIdentity {
    quint8 disc = 0; // slot 1..200; also the n of DISC<n>.txt
    DiscIdBytes id{};

    bool idKnown() const { return (id[0] | id[1] | id[2] | id[3]) != 0; }
    bool operator==(const DiscIdentity&) const = default;
};

// Eight hexadecimal digits, the bytes in order with a leading zero below 16.
QString discIdText(const DiscIdBytes& id, bool upperCase = false);

// Reads eight hexadecimal digits in either case (surrounding blanks ignored); nullopt for
// anything else, so that a damaged ID line can never become part of a file name.
std::optional<DiscIdBytes> parseDiscIdText(const QString& text);

// Start of a TOC entry counted in frames (75 a second).
constexpr int tocFrameOffset(const TocTime& t) {
    return t.minutes * 4500 + t.seconds * 75 + t.frames;
}

// The CDDB identifier of a table of contents: entries 1..n are the tracks, entry n + 1 the
// lead-out (toc[i - 1] is entry i). Frames never reach the identifier. nullopt, with the
// reason in *error, for a table that has no track, more than 99 tracks, or a lead-out before
// the start of track 1: such a disc has no valid key and must not be looked up.
std::optional<DiscIdBytes> ComputeDiscId(const QList<TocTime>& toc, QString* error = nullptr);

// "150 14287 31587": every entry's start in frames, the lead-out last, one blank between.
QString tocText(const QList<TocTime>& toc);

} // namespace tf
