#pragma once

// Bringing an exported library back into a data folder. An import merges: a disc or a part
// of a disc that the file does not hold is left as it is, nothing is deleted. Every file is
// replaced through the title store's atomic writers.

#include "portability/library.h"

#include <QString>
#include <QStringList>

namespace tf::library {

struct ImportOptions {
    bool dryRun = false; // list the changes, write nothing
    bool force = false;  // replace discs whose identifier differs from the folder's
};

struct ImportReport {
    QStringList changes; // one readable line per changed value, in slot order
    QStringList refused; // discs left alone because their identifier differs
    QString error;       // a file that could not be written (the import stopped there)

    bool ok() const { return error.isEmpty(); }
};

// The changes of one disc from `current` (nullptr: the folder has no such slot) to `incoming`.
QStringList discChanges(const Disc* current, const Disc& incoming);

// Compares `incoming` with the folder and, unless a dry run, writes what differs: the master
// block through discdata.txt's block replacement, DISC<n>.txt whole, and ufn.txt's eight
// records. A disc whose identifier in the folder is known and differs from the file's is
// refused (listed in `refused`, nothing of it written) unless `force`. The caller has
// validated `incoming`.
ImportReport importInto(const QString& dataDir, const Library& incoming,
                        const ImportOptions& options);

} // namespace tf::library
