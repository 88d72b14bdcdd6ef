#include "store/discdata.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <QFile>
#include <QFileInfo>

namespace tf::discdata {

namespace {

const QString kHeader = QStringLiteral("_!_");

QString key(const char* name, int disc) {
    return QLatin1String(name) + QString::number(disc);
}

QString trackLine(int i, const TocTime& t) {
    return QStringLiteral("TRACK%1 = |%2|%3|%4").arg(i).arg(t.minutes).arg(t.seconds).arg(t.frames);
}

// "TRACK3 = |4|10|2": the text after the first "|", split at "|".
std::optional<TocTime> parseTrackLine(const QString& line) {
    const qsizetype bar = line.indexOf(QLatin1Char('|'));
    if (bar < 0)
        return std::nullopt;
    const QStringList parts = line.mid(bar + 1).split(QLatin1Char('|'));
    if (parts.size() != 3)
        return std::nullopt;
    int values[3];
    for (int i = 0; i < 3; ++i) {
        const auto v = textfile::parseNumber(parts.at(i));
        if (!v || *v < 0 || *v > 255)
            return std::nullopt;
        values[i] = *v;
    }
    return TocTime{static_cast<quint8>(values[0]), static_cast<quint8>(values[1]),
                   static_cast<quint8>(values[2])};
}

// The value lines after `key`, each a number within [low, high].
std::optional<QList<int>> numbersAfter(const QStringList& lines, const QString& keyLine, int count,
                                       int low, int high, int from) {
    const int at = storeio::findLine(lines, keyLine, from);
    if (at < 0 || at + count >= lines.size())
        return std::nullopt;
    QList<int> values;
    for (int i = 1; i <= count; ++i) {
        const auto v = textfile::parseNumber32(lines.at(at + i));
        if (!v || *v < low || *v > high)
            return std::nullopt;
        values.append(*v);
    }
    return values;
}

} // namespace

QStringList blockLines(const DiscRecord& disc, RangeStyle style) {
    const int n = disc.disc();
    const auto range = [style](int v) {
        return style == RangeStyle::Printed ? textfile::paddedNumber(v) : QString::number(v);
    };
    QStringList lines{kHeader + QString::number(n), key("TOC_", n)};
    const int entries = std::max(0, int(disc.maxTno)) + 1;
    for (int i = 1; i <= entries; ++i)
        lines.append(trackLine(i, i <= disc.toc.size() ? disc.toc.at(i - 1) : TocTime{}));
    lines.append(key("DISCID", n));
    for (quint8 b : disc.identity.id)
        lines.append(QString::number(b));
    lines << key("MINMAXTNO_", n) << range(disc.minTno) << range(disc.maxTno);
    lines << key("INFO_", n) << QString::number(disc.discInfo);
    lines << key("UFILE_", n) << QString::number(disc.userFileByte);
    lines << key("MTYPE_", n) << QString::number(disc.musicType);
    return lines;
}

bool replaceBlock(const QString& dataDir, const DiscRecord& disc, QString* error) {
    if (disc.disc() < 1)
        return storeio::fail(error, QStringLiteral("A master data block needs a disc number."));
    const QString path = storefiles::inFolder(dataDir, storefiles::kDiscData);
    const QString scratch = storefiles::inFolder(dataDir, storefiles::kBlockScratch);
    QFile file(path);
    QByteArrayView old;
    if (QFileInfo::exists(path)) {
        if (!file.open(QIODevice::ReadOnly))
            return storeio::fail(
                error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        if (file.size() > 0) {
            // Mapped, not read: the file holds every disc's block and only one changes.
            if (const uchar* mapped = file.map(0, file.size()))
                old = QByteArrayView(reinterpret_cast<const char*>(mapped), file.size());
            else
                return storeio::fail(
                    error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        }
    }

    const QByteArray headerPrefix = kHeader.toLatin1();
    const QByteArray header = headerPrefix + QByteArray::number(disc.disc());
    const QByteArray block = textfile::joinLines(blockLines(disc, RangeStyle::Printed));
    // Every old block of the disc goes (from its header to the next one); the rest is kept as
    // splitLines() and joinLines() would keep it. A file already in that form is spliced from
    // its own bytes; anything else is rewritten line by line.
    if (textfile::isNormalText(old)) {
        QList<QByteArrayView> parts;
        qsizetype keptFrom = 0;
        bool skipping = false;
        textfile::forEachLine(old, [&](QByteArrayView line) {
            if (!line.startsWith(headerPrefix))
                return true;
            const qsizetype at = line.data() - old.data();
            if (skipping != (line == header)) {
                if (skipping)
                    keptFrom = at; // the disc's block ends here
                else if (at > keptFrom)
                    parts.append(old.sliced(keptFrom, at - keptFrom));
                skipping = !skipping;
            }
            return true;
        });
        if (!skipping && keptFrom < old.size())
            parts.append(old.sliced(keptFrom));
        parts.append(QByteArrayView(block));
        return textfile::replaceFileParts(path, scratch, parts, error);
    }
    QByteArray out;
    out.reserve(old.size() + block.size());
    bool skipping = false;
    textfile::forEachLine(old, [&](QByteArrayView line) {
        if (line.startsWith(headerPrefix))
            skipping = line == header;
        if (!skipping)
            textfile::appendLine(out, line);
        return true;
    });
    out += block;
    return textfile::replaceFile(path, scratch, out, error);
}

std::optional<DiscRecord> readBlock(const QStringList& lines, int disc, QString* problem) {
    const auto missing = [&](const char* what) -> std::optional<DiscRecord> {
        if (problem)
            *problem = QStringLiteral("The master data block of disc %1 has no valid %2 section.")
                           .arg(disc)
                           .arg(QLatin1String(what));
        return std::nullopt;
    };
    DiscRecord record;
    record.identity.disc = static_cast<quint8>(disc);
    if (disc < 1 || disc > 255)
        return missing("DISCID");

    // Keys are searched from the disc's block header when it has one: stray key lines above
    // it (a damaged file) must not shadow the block that replaceBlock() wrote at the end.
    const int from = std::max(0, storeio::findLine(lines, kHeader + QString::number(disc)));
    const auto id = numbersAfter(lines, key("DISCID", disc), 4, 0, 255, from);
    if (!id)
        return missing("DISCID");
    for (int i = 0; i < 4; ++i)
        record.identity.id[i] = static_cast<quint8>(id->at(i));

    const auto range = numbersAfter(lines, key("MINMAXTNO_", disc), 2, kMinTrack, kMaxTrack, from);
    if (!range || range->at(0) > range->at(1))
        return missing("MINMAXTNO_");
    record.minTno = static_cast<qint16>(range->at(0));
    record.maxTno = static_cast<qint16>(range->at(1));

    const auto info = numbersAfter(lines, key("INFO_", disc), 1, -32768, 32767, from);
    if (!info)
        return missing("INFO_");
    record.discInfo = static_cast<qint16>(info->at(0));

    const int toc = storeio::findLine(lines, key("TOC_", disc), from);
    if (toc < 0 || toc + record.maxTno + 1 >= lines.size())
        return missing("TOC_");
    for (int i = 1; i <= record.maxTno + 1; ++i) {
        const auto entry = parseTrackLine(lines.at(toc + i));
        if (!entry)
            return missing("TOC_");
        record.toc.append(*entry);
    }

    // Not needed by any reader (the editor asks the changer), but kept when present.
    if (const auto u = numbersAfter(lines, key("UFILE_", disc), 1, 0, 255, from))
        record.userFileByte = static_cast<quint8>(u->at(0));
    if (const auto m = numbersAfter(lines, key("MTYPE_", disc), 1, 0, 255, from))
        record.musicType = static_cast<quint8>(m->at(0));
    return record;
}

std::optional<DiscRecord> readBlock(const QString& path, int disc, QString* problem) {
    if (!QFileInfo::exists(path)) {
        if (problem)
            *problem = QStringLiteral("%1 does not exist.").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();

    // Only the disc's own block is decoded when it holds every key: the first match of each
    // key from the block header then lies inside the block, so the answer is the same as from
    // the whole file, at a fraction of the cost. Anything less falls back to the whole file.
    if (disc >= 1 && disc <= 255) {
        const QByteArray headerPrefix = kHeader.toLatin1();
        const QByteArray header = headerPrefix + QByteArray::number(disc);
        qsizetype begin = -1;
        qsizetype end = bytes.size();
        textfile::forEachLine(bytes, [&](QByteArrayView line) {
            const qsizetype at = line.data() - bytes.constData();
            if (begin < 0) {
                if (line == header)
                    begin = at;
                return true;
            }
            if (line.startsWith(headerPrefix)) {
                end = at;
                return false;
            }
            return true;
        });
        if (begin >= 0) {
            const QStringList block = textfile::splitLines(bytes.mid(begin, end - begin));
            if (block.contains(key("UFILE_", disc)) && block.contains(key("MTYPE_", disc))) {
                QString blockProblem;
                if (auto record = readBlock(block, disc, &blockProblem))
                    return record;
            }
        }
    }
    return readBlock(textfile::splitLines(bytes), disc, problem);
}

quint8 musicTypeFromChoice(int index) {
    return index <= 0 ? 0 : static_cast<quint8>(index + 1);
}

ValueUpdate updateUserFileAndMusicType(const QString& dataDir, int disc, quint8 userFileByte,
                                       quint8 musicType, UserInterface& ui, QString* error) {
    const QString path = storefiles::inFolder(dataDir, storefiles::kDiscData);
    const storeio::Lines read = storeio::readText(path);
    if (read.missing()) {
        ui.messageBox(msg(msgid::NoTitlesForDisc), applicationTitle(),
                      UserInterface::Style::OkExclamation);
        return ValueUpdate::NoMasterFile;
    }
    if (!read.ok()) {
        storeio::fail(error, read.error);
        return ValueUpdate::Failed;
    }
    QStringList lines = read.lines;
    // From the block header, as readBlock() looks.
    const int from = std::max(0, storeio::findLine(lines, kHeader + QString::number(disc)));
    const int ufile = storeio::findLine(lines, key("UFILE_", disc), from);
    const int mtype = ufile < 0 ? -1 : storeio::findLine(lines, key("MTYPE_", disc), ufile + 2);
    if (ufile < 0 || mtype < 0) {
        ui.messageBox(msg(msgid::TitlesNotReportedCorrectly), applicationTitle(),
                      UserInterface::Style::OkExclamation);
        return ValueUpdate::KeysMissing;
    }
    // The value line follows its key; a key on the very last line gets one.
    const auto setValue = [&lines](int keyLine, int value) {
        const QString text = textfile::paddedNumber(value);
        if (keyLine + 1 < lines.size())
            lines[keyLine + 1] = text;
        else
            lines.append(text);
    };
    setValue(ufile, userFileByte);
    setValue(mtype, musicType);
    if (!textfile::replaceLines(path, storefiles::inFolder(dataDir, storefiles::kDiscDataScratch),
                                lines, error))
        return ValueUpdate::Failed;
    return ValueUpdate::Updated;
}

MasterFileBuilder::MasterFileBuilder(QString dataDir) : m_dataDir(std::move(dataDir)) {}

void MasterFileBuilder::addBlock(const DiscRecord& disc) {
    m_lines += blockLines(disc, RangeStyle::Bare);
    ++m_blocks;
}

bool MasterFileBuilder::commit(QString* error) {
    return textfile::replaceLines(storefiles::inFolder(m_dataDir, storefiles::kDiscData),
                                  storefiles::inFolder(m_dataDir, storefiles::kDiscDataScratch),
                                  m_lines, error);
}

} // namespace tf::discdata
