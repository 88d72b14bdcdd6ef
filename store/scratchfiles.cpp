#include "store/scratchfiles.h"

#include "store/storefiles.h"

#include <QDir>
#include <QRegularExpression>

namespace tf::scratchfiles {

namespace {

// Scratch names that differ from "<target>.new".
const QStringList& fixedScratchNames() {
    static const QStringList names{
        storefiles::kDiscDataScratch,     storefiles::kBlockScratch,
        storefiles::kDiscListScratch,     storefiles::kDiscListTitleScratch,
        storefiles::kTitleRecordsScratch, storefiles::kConfigScratch,
        storefiles::kProgramScratch,      storefiles::kCdTextScratch,
    };
    return names;
}

// Files replaced through "<name>.new".
const QStringList& replacedNames() {
    static const QStringList names{
        storefiles::kDiscData,      storefiles::kDiscList,      storefiles::kDiscProgram,
        storefiles::kLookupLoop,    storefiles::kAllDiscs,      storefiles::kOneDisc,
        storefiles::kTitleRecords,  storefiles::kUserFileNames, storefiles::kProxyHandOver,
        storefiles::kProgram,       storefiles::kCdText,        storefiles::kAudioTitles,
        storefiles::kProgramTitles,
    };
    return names;
}

} // namespace

bool isScratchName(const QString& fileName) {
    if (fixedScratchNames().contains(fileName))
        return true;
    if (!fileName.endsWith(QLatin1String(".new")))
        return false;
    const QString target = fileName.chopped(4);
    static const QRegularExpression discFile(QStringLiteral("^DISC\\d{1,3}\\.txt$"));
    return replacedNames().contains(target) || discFile.match(target).hasMatch();
}

QStringList leftovers(const QString& folder) {
    QStringList found;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (isScratchName(name))
            found.append(name);
    }
    return found;
}

int removeLeftovers(const QString& folder) {
    QDir dir(folder);
    int removed = 0;
    for (const QString& name : leftovers(folder)) {
        if (dir.remove(name))
            ++removed;
    }
    return removed;
}

} // namespace tf::scratchfiles
