#include "store/discfile.h"

#include "base/codepage.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <QFile>
#include <QFileInfo>

namespace tf::discfile {

namespace {

const QString kIdKey = QStringLiteral("DISC ID =");
const QString kNoKey = QStringLiteral("DISC NO =");
const QString kMinKey = QStringLiteral("MIN TNO =");
const QString kMaxKey = QStringLiteral("MAX TNO =");
const QString kDiscTitleKey = QStringLiteral("Disc Title =");
const QString kTrackTitleKey = QStringLiteral("Track Title =");

QStringList fileLines(const QString& idText, int disc, const QString& minTno, const QString& maxTno,
                      const QString& discTitle, const QStringList& trackTitles) {
    QStringList lines{kIdKey,        idText,    kNoKey,        QString::number(disc),
                      kMinKey,       minTno,    kMaxKey,       maxTno,
                      kDiscTitleKey, discTitle, kTrackTitleKey};
    lines += trackTitles;
    return lines;
}

bool writeLines(const QString& path, const QStringList& lines, QString* error) {
    // DISC<n>.tmp means "saved without identifier", so it cannot double as the scratch file.
    return textfile::replaceLines(path, textfile::defaultScratch(path), lines, error);
}

bool checkSlot(const DiscIdentity& identity, QString* error) {
    if (identity.disc >= 1)
        return true;
    return storeio::fail(error, QStringLiteral("A disc title file needs a disc number."));
}

QString folderOf(const QString& path) {
    return QFileInfo(path).path();
}

std::optional<DiscIdBytes> fileId(const QStringList& lines) {
    const auto value = storeio::valueAfter(lines, kIdKey);
    return value ? parseDiscIdText(*value) : std::nullopt;
}

} // namespace

QString fileName(int disc) {
    return QStringLiteral("DISC%1.txt").arg(disc);
}

QString scratchFileName(int disc) {
    return QStringLiteral("DISC%1.tmp").arg(disc);
}

QString parkedFileName(const DiscIdBytes& id) {
    return QStringLiteral("t") + discIdText(id) + QStringLiteral("._xt");
}

QString editorScratchPath(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (dot < 0 || dot < slash)
        return path + QStringLiteral(".tmp");
    return path.left(dot + 1) + QStringLiteral("tmp");
}

QString editorTarget(const QString& path, const DiscIdentity& identity) {
    return identity.idKnown() ? path : editorScratchPath(path);
}

bool writeFromEditor(const QString& path, const DiscIdentity& identity, const EditorTitles& titles,
                     QString* error) {
    if (!checkSlot(identity, error))
        return false;
    const int maxTno = titles.firstTrack - 1 + static_cast<int>(titles.trackTitles.size());
    const QString target = editorTarget(path, identity);
    const QStringList lines = fileLines(
        discIdText(identity.id, true), identity.disc, textfile::paddedNumber(titles.firstTrack),
        textfile::paddedNumber(maxTno), titles.discTitle, titles.trackTitles);
    if (!writeLines(target, lines, error))
        return false;
    if (target == path)
        QFile::remove(editorScratchPath(path));
    return true;
}

bool writeFromLookup(const QString& dataDir, const DiscIdentity& identity, int minTno, int maxTno,
                     const QString& discTitle, const QStringList& trackTitles, QString* error) {
    if (!checkSlot(identity, error))
        return false;
    const QString path = storefiles::inFolder(dataDir, fileName(identity.disc));
    if (park(path, error) == ParkResult::Failed)
        return false;
    return writeLines(path,
                      fileLines(discIdText(identity.id), identity.disc,
                                textfile::paddedNumber(minTno), textfile::paddedNumber(maxTno),
                                discTitle, trackTitles),
                      error);
}

RefreshResult refreshIdentifier(const QString& scratchPath, const DiscIdentity& identity,
                                int minTno, int maxTno, QString* error) {
    const storeio::Lines read = storeio::readText(scratchPath);
    if (read.missing())
        return RefreshResult::NoScratchFile;
    if (!read.ok()) {
        storeio::fail(error, read.error);
        return RefreshResult::Failed;
    }
    if (!checkSlot(identity, error))
        return RefreshResult::Failed;
    QStringList lines = read.lines;
    // The refresh rewrites lines 2, 6 and 8 by position; only a file in the fixed order can
    // be rewritten that way without mixing up its values.
    if (lines.size() < 8 || lines.at(0) != kIdKey || lines.at(2) != kNoKey ||
        lines.at(4) != kMinKey || lines.at(6) != kMaxKey) {
        storeio::fail(error, QStringLiteral("%1 is not a disc title file in the expected "
                                            "order; it was left unchanged.")
                                 .arg(scratchPath));
        return RefreshResult::Failed;
    }
    lines[1] = discIdText(identity.id);
    lines[5] = QString::number(minTno);
    lines[7] = QString::number(maxTno);
    const QString target = storefiles::inFolder(folderOf(scratchPath), fileName(identity.disc));
    if (!writeLines(target, lines, error))
        return RefreshResult::Failed;
    QFile::remove(scratchPath);
    return RefreshResult::Refreshed;
}

DiscFileNumbers readNumbers(const QStringList& lines) {
    DiscFileNumbers numbers;
    qint16* const targets[] = {&numbers.discNo, &numbers.minTno, &numbers.maxTno};
    const QString keys[] = {kNoKey, kMinKey, kMaxKey};
    int from = 0;
    for (int k = 0; k < 3; ++k) {
        const int at = storeio::findLine(lines, keys[k], from);
        if (at < 0)
            break; // the search has reached the end of the file: the rest stay 0
        if (at + 1 < lines.size())
            *targets[k] = textfile::parseNumber(lines.at(at + 1)).value_or(0);
        from = at + 2;
    }
    return numbers;
}

std::optional<DiscFileNumbers> readNumbers(const QString& path) {
    const storeio::Lines read = storeio::readText(path);
    if (!read.ok())
        return std::nullopt;
    return readNumbers(read.lines);
}

std::optional<QString> readDiscTitle(const QString& path) {
    // The disc list reads this for every slot: only the title line is decoded.
    const std::optional<QByteArray> read = storeio::readBytes(path);
    if (!read)
        return std::nullopt;
    const QByteArray& bytes = *read;
    const QByteArray key = kDiscTitleKey.toLatin1();
    std::optional<QString> title;
    bool keySeen = false;
    textfile::forEachLine(bytes, [&](QByteArrayView line) {
        if (keySeen) {
            title = codepage::fromCp1252(line.toByteArray());
            return false;
        }
        keySeen = line == key;
        return true;
    });
    if (keySeen && !title)
        title = QString(); // the key on the last line: an empty title
    return title;
}

std::optional<DiscFileContent> readDiscFile(const QString& path) {
    const storeio::Lines read = storeio::readText(path);
    if (!read.ok())
        return std::nullopt;
    DiscFileContent content;
    content.idText = storeio::valueAfter(read.lines, kIdKey).value_or(QString());
    content.numbers = readNumbers(read.lines);
    if (const auto title = storeio::valueAfter(read.lines, kDiscTitleKey)) {
        content.hasDiscTitle = true;
        content.discTitle = *title;
    }
    const int tracks = trackTitleKeyLine(read.lines);
    if (tracks >= 0)
        content.trackTitles = read.lines.mid(tracks + 1);
    return content;
}

int trackTitleKeyLine(const QStringList& lines) {
    // Searched behind the disc title's value: a disc titled "Track Title =" is a title.
    const int discTitle = storeio::findLine(lines, kDiscTitleKey);
    return storeio::findLine(lines, kTrackTitleKey, discTitle >= 0 ? discTitle + 2 : 0);
}

IdCheck checkId(const QString& path, const DiscIdentity& identity) {
    const storeio::Lines read = storeio::readText(path);
    if (read.missing())
        return IdCheck::NoFile;
    // Either case matches: the editor writes the ID in upper case, the other writers in lower.
    return fileId(read.lines) == identity.id ? IdCheck::Match : IdCheck::Mismatch;
}

ParkResult park(const QString& path, QString* error) {
    const storeio::Lines read = storeio::readText(path);
    if (read.missing())
        return ParkResult::NoFile;
    if (!read.ok()) {
        storeio::fail(error, read.error);
        return ParkResult::Failed;
    }
    const auto id = fileId(read.lines);
    if (!id) {
        storeio::fail(error, QStringLiteral("%1 has no valid disc ID and cannot be parked; it "
                                            "was left unchanged.")
                                 .arg(path));
        return ParkResult::Failed;
    }
    // Renaming over an older parked copy replaces it in one step.
    const QString parked = storefiles::inFolder(folderOf(path), parkedFileName(*id));
    if (!textfile::renameOver(path, parked, error))
        return ParkResult::Failed;
    return ParkResult::Parked;
}

RestoreResult restore(const QString& dataDir, const DiscIdentity& identity, QString* error) {
    if (!checkSlot(identity, error))
        return RestoreResult::Failed;
    const QString parked = storefiles::inFolder(dataDir, parkedFileName(identity.id));
    const storeio::Lines read = storeio::readText(parked);
    if (read.missing())
        return RestoreResult::NotFound;
    if (!read.ok()) {
        storeio::fail(error, read.error);
        return RestoreResult::Failed;
    }
    QStringList lines = read.lines;
    const int numberKey = storeio::findLine(lines, kNoKey);
    if (numberKey < 0 || numberKey + 1 >= lines.size()) {
        storeio::fail(
            error,
            QStringLiteral("%1 has no disc number line; it was left unchanged.").arg(parked));
        return RestoreResult::Failed;
    }
    lines[numberKey + 1] = QString::number(identity.disc);

    const QString target = storefiles::inFolder(dataDir, fileName(identity.disc));
    const storeio::Lines current = storeio::readText(target);
    if (!current.missing() && fileId(current.lines) != identity.id &&
        park(target, error) != ParkResult::Parked)
        return RestoreResult::Failed;
    if (!writeLines(target, lines, error))
        return RestoreResult::Failed;
    QFile::remove(parked);
    return RestoreResult::Restored;
}

} // namespace tf::discfile
