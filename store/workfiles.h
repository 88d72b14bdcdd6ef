#pragma once

// The disc-number list the read-all pass walks: discprog.tmp (discs to read, taken from the
// disc list), one decimal number a line. The online pass keeps its list of discs in memory: it
// is only needed while the pass runs.

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

// discprog.tmp from tempdisc.txt in the data folder; returns the numbers written, nullopt
// (with *error) when the disc list cannot be read or the list cannot be written.
std::optional<QList<int>> writeDiscProgram(const QString& dataDir, QString* error = nullptr);

} // namespace tf::workfiles
