#include "store/workfiles.h"

#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

namespace tf::workfiles {

namespace {

std::optional<QList<int>> writeFrom(const QString& dataDir, QLatin1String source,
                                    QLatin1String target, QList<int> (*numbers)(const QStringList&),
                                    QString* error) {
    const storeio::Lines read = storeio::readText(storefiles::inFolder(dataDir, source));
    if (!read.ok()) {
        storeio::fail(error, read.missing() ? QStringLiteral("%1 does not exist.").arg(source)
                                            : read.error);
        return std::nullopt;
    }
    const QList<int> list = numbers(read.lines);
    if (!writeNumberList(storefiles::inFolder(dataDir, target), list, error))
        return std::nullopt;
    return list;
}

} // namespace

QList<int> discNumbersFromDiscList(const QStringList& discListLines) {
    QList<int> numbers;
    for (const QString& line : discListLines) {
        if (!line.startsWith(QLatin1Char('[')))
            continue;
        if (const auto n = textfile::parseNumber(line.mid(1, 3)); n && *n > 0)
            numbers.append(*n);
    }
    return numbers;
}

QList<int> discNumbersInMasterFile(const QStringList& discDataLines) {
    QList<int> numbers;
    for (const QString& line : discDataLines) {
        if (!line.startsWith(QLatin1String("_!_")))
            continue;
        if (const auto n = textfile::parseNumber(line.mid(3)); n && *n > 0)
            numbers.append(*n);
    }
    return numbers;
}

bool writeNumberList(const QString& path, const QList<int>& numbers, QString* error) {
    QStringList lines;
    for (int n : numbers)
        lines.append(QString::number(n));
    return textfile::replaceLines(path, textfile::defaultScratch(path), lines, error);
}

std::optional<QList<int>> writeDiscProgram(const QString& dataDir, QString* error) {
    return writeFrom(dataDir, storefiles::kDiscList, storefiles::kDiscProgram,
                     &discNumbersFromDiscList, error);
}

} // namespace tf::workfiles
