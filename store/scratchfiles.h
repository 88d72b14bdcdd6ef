#pragma once

// Scratch files left behind by replacements that never finished. Every replacement writes its
// scratch file and renames it over the target; a program killed between the two leaves the
// scratch file next to an intact target. The next start removes them (only after taking the
// single-instance lock, so that a running instance's scratch file is never touched).

#include <QString>
#include <QStringList>

namespace tf::scratchfiles {

// True for a name that only ever serves as a scratch file: the fixed scratch names
// (discdata.tmp, dest.tmp, tempd.tmp, tmpd.dsc, tmpttl1.txt, config.tmp, ...) and
// "<file>.new" for the files this program replaces (DISC<n>.txt.new, ufn.txt.new, ...).
// DISC<n>.tmp is not one: it holds the titles of a disc saved before its identifier arrived.
bool isScratchName(const QString& fileName);

// The scratch files in `folder`, sorted by name.
QStringList leftovers(const QString& folder);

// Removes the scratch files in `folder`; returns how many were removed.
int removeLeftovers(const QString& folder);

} // namespace tf::scratchfiles
