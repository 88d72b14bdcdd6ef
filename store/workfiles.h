#pragma once

// The disc-number lists the long passes walk: discprog.tmp (discs the read-all pass reads,
// taken from the disc list) and loopfl.tmp (discs the online pass looks up, taken from the
// master data file). One decimal number a line.

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::workfiles {

// Slot numbers of the disc list's record lines (those beginning with "["), in file order.
QList<int> discNumbersFromDiscList(const QStringList& discListLines);

// Disc numbers of the master data file's block headers ("_!_<n>"), in file order.
QList<int> discNumbersInMasterFile(const QStringList& discDataLines);

// Writes the list (atomically); false with *error on failure.
bool writeNumberList(const QString& path, const QList<int>& numbers, QString* error = nullptr);

// Reads a list back; lines that are not numbers are skipped. nullopt when the file is missing
// or unreadable.
std::optional<QList<int>> readNumberList(const QString& path);

// discprog.tmp from tempdisc.txt in the data folder; returns the numbers written, nullopt
// (with *error) when the disc list cannot be read or the list cannot be written.
std::optional<QList<int>> writeDiscProgram(const QString& dataDir, QString* error = nullptr);

// loopfl.tmp from discdata.txt in the data folder, likewise.
std::optional<QList<int>> writeLookupLoop(const QString& dataDir, QString* error = nullptr);

} // namespace tf::workfiles
