#include "store/textfile.h"

#include "store/codepage.h"

#include <QFile>
#include <QFileDevice>

#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tf::textfile {

std::optional<QStringList> readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return splitLines(file.readAll());
}

QStringList splitLines(const QByteArray& bytes) {
    QStringList lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        const bool lastWithoutEnd = end < 0;
        if (lastWithoutEnd)
            end = bytes.size();
        qsizetype stop = end;
        if (stop > start && bytes.at(stop - 1) == '\r')
            --stop;
        lines.append(codepage::fromCp1252(bytes.mid(start, stop - start)));
        start = end + 1;
    }
    return lines;
}

QByteArray joinLines(const QStringList& lines) {
    QByteArray out;
    for (const QString& line : lines) {
        out += codepage::toCp1252(codepage::withoutControls(line));
        out += "\r\n";
    }
    return out;
}

QString paddedNumber(int value) {
    return QLatin1Char(' ') + QString::number(value) + QLatin1Char(' ');
}

std::optional<qint32> parseNumber32(const QString& line) {
    bool ok = false;
    const qint32 value = line.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<qint16> parseNumber(const QString& line) {
    bool ok = false;
    const qint16 value = line.trimmed().toShort(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

bool renameOver(const QString& from, const QString& to, QString* error) {
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), ec);
    if (ec) {
        if (error)
            *error = QStringLiteral("Cannot replace %1: %2")
                         .arg(to, QString::fromStdString(ec.message()));
        return false;
    }
    return true;
}

bool replaceFile(const QString& path, const QString& scratchPath, const QByteArray& bytes,
                 QString* error, bool ownerOnly) {
    QFile scratch(scratchPath);
    if (ownerOnly)
        QFile::remove(scratchPath); // a left-over scratch file would keep its wider permissions
    const bool opened = ownerOnly ? scratch.open(QIODevice::WriteOnly | QIODevice::Truncate,
                                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                                  : scratch.open(QIODevice::WriteOnly | QIODevice::Truncate);
    if (!opened) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(scratchPath, scratch.errorString());
        return false;
    }
    bool ok = scratch.write(bytes) == bytes.size() && scratch.flush();
#ifdef Q_OS_UNIX
    ok = ok && ::fsync(scratch.handle()) == 0;
#endif
    if (!ok) {
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(scratchPath, scratch.errorString());
        scratch.close();
        scratch.remove();
        return false;
    }
    scratch.close();
    if (!renameOver(scratchPath, path, error)) {
        QFile::remove(scratchPath);
        return false;
    }
    return true;
}

bool replaceLines(const QString& path, const QString& scratchPath, const QStringList& lines,
                  QString* error) {
    return replaceFile(path, scratchPath, joinLines(lines), error);
}

QString defaultScratch(const QString& path) {
    return path + QStringLiteral(".new");
}

} // namespace tf::textfile
