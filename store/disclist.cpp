#include "store/disclist.h"

#include "store/discfile.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <QFile>
#include <QHash>

namespace tf::disclist {

namespace {

QString listPath(const QString& dataDir) {
    return storefiles::inFolder(dataDir, storefiles::kDiscList);
}

QString listScratch(const QString& dataDir) {
    return storefiles::inFolder(dataDir, storefiles::kDiscListScratch);
}

Result failWith(QString* error, const QString& text) {
    storeio::fail(error, text);
    return Result::Failed;
}

QString lineOr(const QStringList& lines, qsizetype at, const QString& fallback) {
    return at < lines.size() ? lines.at(at) : fallback;
}

QStringList unknownRecord(int slot) {
    return {slotLabel(slot) + QLatin1String(kUnknownDisc), QStringLiteral("0"), QStringLiteral("0"),
            QStringLiteral("1"), QStringLiteral("99")};
}

} // namespace

QString slotLabel(int slot) {
    return QLatin1Char('[') + slotItem(slot) + QStringLiteral("] ");
}

QString slotItem(int slot) {
    return QStringLiteral("%1").arg(slot, 3);
}

std::optional<int> slotOfLine(const QString& line) {
    if (!line.startsWith(QLatin1Char('[')) || line.size() < 4)
        return std::nullopt;
    const auto n = textfile::parseNumber(line.mid(1, 3));
    if (!n || *n < 1)
        return std::nullopt;
    return *n;
}

std::optional<QList<Entry>> read(const QString& dataDir) {
    const storeio::Lines file = storeio::readText(listPath(dataDir));
    if (!file.ok())
        return std::nullopt;
    const QStringList& lines = file.lines;
    const auto number = [&lines](qsizetype at) {
        return at < lines.size() ? textfile::parseNumber32(lines.at(at)).value_or(0) : 0;
    };
    QList<Entry> entries;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto slot = slotOfLine(lines.at(i));
        if (!slot)
            continue;
        entries.append(Entry{*slot, lines.at(i).mid(6), number(i + 1), number(i + 2), number(i + 3),
                             number(i + 4)});
        i += 4;
    }
    return entries;
}

Result convertAllDiscs(const QString& allDiscPath, const QString& dataDir,
                       const PlayerRange& player, QString* error) {
    const storeio::Lines source = storeio::readText(allDiscPath);
    if (source.missing())
        return Result::NoSource;
    if (!source.ok())
        return failWith(error, source.error);

    const QStringList& in = source.lines;
    QStringList out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (!in.at(i).startsWith(QLatin1String("##")))
            continue;
        const auto n = textfile::parseNumber(in.at(i).mid(2));
        // A record cut short by the end of the file keeps its place with neutral values.
        QString title = lineOr(in, i + 2, QString());
        const QString userFile = lineOr(in, i + 3, QStringLiteral("0"));
        const QString musicType = lineOr(in, i + 4, QStringLiteral("0"));
        i += 4;
        if (!n || *n < 1 || *n > 999)
            continue; // no slot label can be made for it
        const QString discFile = storefiles::inFolder(dataDir, discfile::fileName(*n));
        if (const auto fileTitle = discfile::readDiscTitle(discFile))
            title = *fileTitle;
        const bool inPlayer = player.disc != 0 && *n == player.disc;
        out << slotLabel(*n) + title << userFile << musicType
            << QString::number(inPlayer ? player.minTno : 1)
            << QString::number(inPlayer ? player.maxTno : 1);
    }
    if (!textfile::replaceLines(listPath(dataDir), listScratch(dataDir), out, error))
        return Result::Failed;
    QFile::remove(allDiscPath); // only once the list it fed is safely written
    return Result::Done;
}

Result fillToAllSlots(const QString& dataDir, int slotCount, QString* error) {
    const storeio::Lines source = storeio::readText(listPath(dataDir));
    if (source.missing())
        return Result::NoSource;
    if (!source.ok())
        return failWith(error, source.error);

    // The first line that carries each label, found once instead of once per slot.
    QHash<QString, qsizetype> firstLine;
    for (qsizetype i = 0; i < source.lines.size(); ++i) {
        const QString label = source.lines.at(i).left(6);
        if (label.startsWith(QLatin1Char('[')) && !firstLine.contains(label))
            firstLine.insert(label, i);
    }
    QStringList out;
    out.reserve(slotCount * 5);
    for (int slot = 1; slot <= slotCount; ++slot) {
        const auto at = firstLine.constFind(slotLabel(slot));
        if (at == firstLine.cend()) {
            out << slotLabel(slot) + QLatin1String(kUnknownDisc) << QStringLiteral("0")
                << QStringLiteral("0");
        } else {
            out << source.lines.at(*at) << lineOr(source.lines, *at + 1, QStringLiteral("0"))
                << lineOr(source.lines, *at + 2, QStringLiteral("0"));
        }
        out << QStringLiteral("1") << QStringLiteral("99");
    }
    if (!textfile::replaceLines(listPath(dataDir), listScratch(dataDir), out, error))
        return Result::Failed;
    return Result::Done;
}

SelectionList Create_cmbDNO_List(const QString& dataDir, const QString& shownText, int slotCount) {
    SelectionList list;
    const storeio::Lines source = storeio::readText(listPath(dataDir));
    if (source.ok()) {
        for (const QString& line : source.lines)
            if (line.startsWith(QLatin1Char('[')))
                list.items.append(line.mid(1, 3));
    } else if (source.missing()) {
        QStringList out;
        for (int slot = 1; slot <= slotCount; ++slot) {
            out += unknownRecord(slot);
            list.items.append(slotItem(slot));
        }
        list.created =
            textfile::replaceLines(listPath(dataDir), listScratch(dataDir), out, &list.error);
    } else {
        // An unreadable list is left alone; the selection still offers every slot.
        list.error = source.error;
        for (int slot = 1; slot <= slotCount; ++slot)
            list.items.append(slotItem(slot));
    }
    if (!shownText.isEmpty())
        list.selected = static_cast<int>(list.items.indexOf(shownText));
    return list;
}

int findSlotItem(const QStringList& items, const QString& typed) {
    const auto wanted = textfile::parseNumber(typed);
    if (!wanted)
        return -1;
    for (int i = 0; i < items.size(); ++i)
        if (textfile::parseNumber(items.at(i)) == wanted)
            return i;
    return -1;
}

Result updateTitle(const QString& dataDir, int slot, const QString& discTitle, QString* error) {
    const storeio::Lines source = storeio::readText(listPath(dataDir));
    if (source.missing())
        return Result::NoSource;
    if (!source.ok())
        return failWith(error, source.error);
    QStringList lines = source.lines;
    for (QString& line : lines)
        if (slotOfLine(line) == slot)
            line = slotLabel(slot) + discTitle;
    if (!textfile::replaceLines(listPath(dataDir),
                                storefiles::inFolder(dataDir, storefiles::kDiscListTitleScratch),
                                lines, error))
        return Result::Failed;
    return Result::Done;
}

} // namespace tf::disclist
