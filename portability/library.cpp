#include "portability/library.h"

#include "base/codepage.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/recordfile.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/userfiles.h"
#include "store/workfiles.h"

#include <QDir>
#include <QMap>
#include <QRegularExpression>

namespace tf::library {

namespace {

constexpr int kSlotCount = 200;

MasterPart masterFromRecord(const DiscRecord& record) {
    MasterPart part;
    part.id = record.identity.id;
    part.minTno = record.minTno;
    part.maxTno = record.maxTno;
    part.info = record.discInfo;
    part.userFileByte = record.userFileByte;
    part.musicType = record.musicType;
    part.toc = record.toc;
    return part;
}

// The text problem of a title or name, or nothing when a file can hold it unchanged.
std::optional<QString> textProblem(const QString& text) {
    for (const QChar c : text) {
        if (codepage::isControl(c))
            return QStringLiteral("holds a control character");
    }
    if (codepage::fromCp1252(codepage::toCp1252(text)) != text)
        return QStringLiteral("holds a character that Windows-1252 cannot store");
    return std::nullopt;
}

} // namespace

const Disc* Library::find(int slot) const {
    for (const Disc& disc : discs) {
        if (disc.slot == slot)
            return &disc;
    }
    return nullptr;
}

QString tocEntryText(const TocTime& t) {
    return QStringLiteral("%1:%2:%3")
        .arg(t.minutes, 2, 10, QLatin1Char('0'))
        .arg(t.seconds, 2, 10, QLatin1Char('0'))
        .arg(t.frames, 2, 10, QLatin1Char('0'));
}

std::optional<TocTime> parseTocEntry(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const int seconds = m.captured(2).toInt();
    const int frames = m.captured(3).toInt();
    if (seconds > 59 || frames > 74)
        return std::nullopt;
    return TocTime{quint8(m.captured(1).toInt()), quint8(seconds), quint8(frames)};
}

Library load(const QString& dataDir, QStringList* warnings) {
    const auto warn = [warnings](const QString& text) {
        if (warnings)
            warnings->append(text);
    };
    QMap<int, Disc> discs;

    const QString masterPath = storefiles::inFolder(dataDir, storefiles::kDiscData);
    const storeio::Lines master = storeio::readText(masterPath);
    if (!master.ok() && !master.missing())
        warn(master.error);
    for (const int n : workfiles::discNumbersInMasterFile(master.lines)) {
        if (discs.contains(n) && discs[n].master)
            continue;
        QString problem;
        const auto record = discdata::readBlock(master.lines, n, &problem);
        if (!record) {
            warn(QStringLiteral("disc %1: master data block left out: %2").arg(n).arg(problem));
            continue;
        }
        discs[n].slot = n;
        discs[n].master = masterFromRecord(*record);
    }

    static const QRegularExpression titleName(QStringLiteral("^DISC([1-9][0-9]{0,2})\\.txt$"));
    const QStringList names = QDir(dataDir).entryList({QStringLiteral("DISC*.txt")}, QDir::Files);
    for (const QString& name : names) {
        const auto m = titleName.match(name);
        const int n = m.hasMatch() ? m.captured(1).toInt() : 0;
        if (n < 1 || n > kSlotCount)
            continue;
        const auto content = discfile::readDiscFile(storefiles::inFolder(dataDir, name));
        if (!content) {
            warn(QStringLiteral("disc %1: %2 cannot be read and is left out").arg(n).arg(name));
            continue;
        }
        TitlePart part;
        part.idText = content->idText.trimmed().toLower();
        part.minTno = content->numbers.minTno;
        part.maxTno = content->numbers.maxTno;
        part.discTitle = content->discTitle;
        part.trackTitles = content->trackTitles;
        discs[n].slot = n;
        discs[n].titles = part;
    }

    Library library;
    library.discs = discs.values();
    const QString ufn = storefiles::inFolder(dataDir, storefiles::kUserFileNames);
    if (QFile::exists(ufn)) {
        library.userFileNames = userfiles::read(ufn);
        if (!library.userFileNames)
            warn(QStringLiteral("ufn.txt is damaged: the user-file names are left out"));
    }
    return library;
}

std::optional<QString> validate(const Library& library) {
    if (library.userFileNames) {
        if (library.userFileNames->size() != kUserFileCount)
            return QStringLiteral("userFileNames: %1 names where there must be %2")
                .arg(library.userFileNames->size())
                .arg(kUserFileCount);
        for (int k = 0; k < kUserFileCount; ++k) {
            const QString& name = library.userFileNames->at(k);
            if (const auto problem = textProblem(name))
                return QStringLiteral("user-file name %1 %2").arg(k + 1).arg(*problem);
            if (codepage::toCp1252(name).size() > recordfile::kMaxTextBytes)
                return QStringLiteral("user-file name %1 is longer than %2 characters")
                    .arg(k + 1)
                    .arg(recordfile::kMaxTextBytes);
        }
    }
    QList<int> seen;
    for (const Disc& disc : library.discs) {
        const QString where = QStringLiteral("disc %1: ").arg(disc.slot);
        if (disc.slot < 1 || disc.slot > kSlotCount)
            return QStringLiteral("slot %1 is outside 1..%2").arg(disc.slot).arg(kSlotCount);
        if (seen.contains(disc.slot))
            return where + QStringLiteral("the slot appears twice");
        seen.append(disc.slot);
        if (!disc.master && !disc.titles)
            return where + QStringLiteral("neither master data nor titles");
        if (const auto& m = disc.master) {
            // The range is kept as read: a disc without a table of contents has 0 there.
            if (m->minTno < 0 || m->maxTno < 0 || m->minTno > kMaxTrack || m->maxTno > kMaxTrack)
                return where + QStringLiteral("track range %1..%2 is not within 0..99")
                                   .arg(m->minTno)
                                   .arg(m->maxTno);
            if (m->toc.size() != m->maxTno + 1)
                return where + QStringLiteral("toc has %1 entries where maxTno %2 needs %3")
                                   .arg(m->toc.size())
                                   .arg(m->maxTno)
                                   .arg(m->maxTno + 1);
            if (m->info < -32768 || m->info > 32767)
                return where + QStringLiteral("info %1 is not a 16-bit number").arg(m->info);
            if (m->userFileByte < 0 || m->userFileByte > 255)
                return where + QStringLiteral("userFileByte %1 is not 0..255").arg(m->userFileByte);
            if (m->musicType < 0 || m->musicType > 255)
                return where + QStringLiteral("musicType %1 is not 0..255").arg(m->musicType);
        }
        if (const auto& t = disc.titles) {
            if (!t->idText.isEmpty() && !parseDiscIdText(t->idText))
                return where + QStringLiteral("titles.discId \"%1\" is not 8 hexadecimal digits")
                                   .arg(t->idText);
            if (t->minTno < 0 || t->maxTno < 0 || t->minTno > kMaxTrack || t->maxTno > kMaxTrack)
                return where + QStringLiteral("titles track range %1..%2 is not within 0..99")
                                   .arg(t->minTno)
                                   .arg(t->maxTno);
            if (const auto problem = textProblem(t->discTitle))
                return where + QStringLiteral("titles.title ") + *problem;
            for (int i = 0; i < t->trackTitles.size(); ++i) {
                if (const auto problem = textProblem(t->trackTitles.at(i)))
                    return where + QStringLiteral("titles.tracks[%1] ").arg(i) + *problem;
            }
        }
    }
    return std::nullopt;
}

} // namespace tf::library
