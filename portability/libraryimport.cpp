#include "portability/libraryimport.h"

#include "store/discdata.h"
#include "store/discfile.h"
#include "store/recordfile.h"
#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/userfiles.h"

namespace tf::library {

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString rangeText(int low, int high) {
    return QStringLiteral("%1..%2").arg(low).arg(high);
}

// The identifier a disc is known by: its master block's, else its title file's; nullopt when
// neither is known.
std::optional<DiscIdBytes> knownId(const Disc& disc) {
    if (disc.master && DiscIdentity{1, disc.master->id}.idKnown())
        return disc.master->id;
    if (disc.titles) {
        const auto id = parseDiscIdText(disc.titles->idText);
        if (id && DiscIdentity{1, *id}.idKnown())
            return id;
    }
    return std::nullopt;
}

void masterChanges(const QString& where, const MasterPart* from, const MasterPart& to,
                   QStringList& out) {
    if (!from) {
        out.append(where + QStringLiteral("new master data: id %1, tracks %2, music type %3, "
                                          "user-file byte %4")
                               .arg(discIdText(to.id), rangeText(to.minTno, to.maxTno))
                               .arg(to.musicType)
                               .arg(to.userFileByte));
        return;
    }
    if (from->id != to.id)
        out.append(where +
                   QStringLiteral("disc id %1 -> %2").arg(discIdText(from->id), discIdText(to.id)));
    if (from->minTno != to.minTno || from->maxTno != to.maxTno)
        out.append(where + QStringLiteral("tracks %1 -> %2")
                               .arg(rangeText(from->minTno, from->maxTno),
                                    rangeText(to.minTno, to.maxTno)));
    if (from->toc != to.toc)
        out.append(where + QStringLiteral("table of contents changed"));
    if (from->info != to.info)
        out.append(where +
                   QStringLiteral("disc information %1 -> %2").arg(from->info).arg(to.info));
    if (from->userFileByte != to.userFileByte)
        out.append(
            where +
            QStringLiteral("user-file byte %1 -> %2").arg(from->userFileByte).arg(to.userFileByte));
    if (from->musicType != to.musicType)
        out.append(where +
                   QStringLiteral("music type %1 -> %2").arg(from->musicType).arg(to.musicType));
}

void titleChanges(const QString& where, const TitlePart* from, const TitlePart& to,
                  QStringList& out) {
    if (!from) {
        out.append(where + QStringLiteral("new title file: %1, %2 track titles")
                               .arg(quoted(to.discTitle))
                               .arg(to.trackTitles.size()));
        return;
    }
    if (from->idText != to.idText)
        out.append(where + QStringLiteral("title file id %1 -> %2").arg(from->idText, to.idText));
    if (from->minTno != to.minTno || from->maxTno != to.maxTno)
        out.append(where + QStringLiteral("title file tracks %1 -> %2")
                               .arg(rangeText(from->minTno, from->maxTno),
                                    rangeText(to.minTno, to.maxTno)));
    if (from->discTitle != to.discTitle)
        out.append(where + QStringLiteral("disc title %1 -> %2")
                               .arg(quoted(from->discTitle), quoted(to.discTitle)));
    const qsizetype lines = qMax(from->trackTitles.size(), to.trackTitles.size());
    for (qsizetype i = 0; i < lines; ++i) {
        const int track = to.minTno + int(i);
        if (i >= to.trackTitles.size()) {
            out.append(where + QStringLiteral("track line %1 %2 removed")
                                   .arg(i + 1)
                                   .arg(quoted(from->trackTitles.at(i))));
        } else if (i >= from->trackTitles.size()) {
            out.append(where + QStringLiteral("track %1 title %2 added")
                                   .arg(track)
                                   .arg(quoted(to.trackTitles.at(i))));
        } else if (from->trackTitles.at(i) != to.trackTitles.at(i)) {
            out.append(where +
                       QStringLiteral("track %1 title %2 -> %3")
                           .arg(track)
                           .arg(quoted(from->trackTitles.at(i)), quoted(to.trackTitles.at(i))));
        }
    }
}

DiscRecord recordOf(int slot, const MasterPart& m) {
    DiscRecord record;
    record.identity = DiscIdentity{quint8(slot), m.id};
    record.minTno = qint16(m.minTno);
    record.maxTno = qint16(m.maxTno);
    record.toc = m.toc;
    record.discInfo = qint16(m.info);
    record.userFileByte = quint8(m.userFileByte);
    record.musicType = quint8(m.musicType);
    return record;
}

QStringList titleFileLines(int slot, const TitlePart& t) {
    QStringList lines{QStringLiteral("DISC ID ="),    t.idText,
                      QStringLiteral("DISC NO ="),    QString::number(slot),
                      QStringLiteral("MIN TNO ="),    textfile::paddedNumber(t.minTno),
                      QStringLiteral("MAX TNO ="),    textfile::paddedNumber(t.maxTno),
                      QStringLiteral("Disc Title ="), t.discTitle,
                      QStringLiteral("Track Title =")};
    lines += t.trackTitles;
    return lines;
}

} // namespace

QStringList discChanges(const Disc* current, const Disc& incoming) {
    QStringList out;
    const QString where = QStringLiteral("disc %1: ").arg(incoming.slot);
    if (incoming.master && (!current || current->master != incoming.master))
        masterChanges(where, current && current->master ? &*current->master : nullptr,
                      *incoming.master, out);
    if (incoming.titles && (!current || current->titles != incoming.titles))
        titleChanges(where, current && current->titles ? &*current->titles : nullptr,
                     *incoming.titles, out);
    return out;
}

ImportReport importInto(const QString& dataDir, const Library& incoming,
                        const ImportOptions& options) {
    ImportReport report;
    const Library current = load(dataDir);

    const QString ufnPath = storefiles::inFolder(dataDir, storefiles::kUserFileNames);
    bool namesChanged = false;
    if (incoming.userFileNames && incoming.userFileNames != current.userFileNames) {
        namesChanged = true;
        for (int k = 0; k < kUserFileCount; ++k) {
            const QString from =
                current.userFileNames ? current.userFileNames->value(k) : QStringLiteral("(none)");
            const QString to = incoming.userFileNames->at(k);
            if (!current.userFileNames || from != to)
                report.changes.append(
                    QStringLiteral("user file %1: name %2 -> %3")
                        .arg(k + 1)
                        .arg(current.userFileNames ? quoted(from) : from, quoted(to)));
        }
    }

    QList<const Disc*> accepted;
    for (const Disc& disc : incoming.discs) {
        const Disc* existing = current.find(disc.slot);
        const QStringList changes = discChanges(existing, disc);
        if (changes.isEmpty())
            continue;
        const auto oldId = existing ? knownId(*existing) : std::nullopt;
        const auto newId = knownId(disc);
        if (oldId && newId && *oldId != *newId) {
            const QString text =
                QStringLiteral("disc %1: the folder holds disc %2, the file disc %3")
                    .arg(disc.slot)
                    .arg(discIdText(*oldId), discIdText(*newId));
            if (!options.force) {
                report.refused.append(text + QStringLiteral(": left alone (--force replaces it)"));
                continue;
            }
            report.changes.append(text + QStringLiteral(": replaced (forced)"));
        }
        report.changes += changes;
        accepted.append(&disc);
    }

    if (options.dryRun)
        return report;

    for (const Disc* disc : accepted) {
        const Disc* existing = current.find(disc->slot);
        if (disc->master && (!existing || existing->master != disc->master) &&
            !discdata::replaceBlock(dataDir, recordOf(disc->slot, *disc->master), &report.error))
            return report;
        if (disc->titles && (!existing || existing->titles != disc->titles)) {
            const QString path = storefiles::inFolder(dataDir, discfile::fileName(disc->slot));
            if (!textfile::replaceLines(path, textfile::defaultScratch(path),
                                        titleFileLines(disc->slot, *disc->titles), &report.error))
                return report;
        }
    }
    if (namesChanged && !recordfile::writeRecords(ufnPath, textfile::defaultScratch(ufnPath), 1,
                                                  *incoming.userFileNames, &report.error))
        return report;
    return report;
}

} // namespace tf::library
