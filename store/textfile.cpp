#include "store/textfile.h"

#include "base/codepage.h"

#include <QFile>
#include <QFileDevice>

#include <algorithm>
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

void appendLine(QByteArray& out, QByteArrayView line) {
    // Printable ASCII reads and writes back unchanged; anything else takes the decoding path.
    const bool plain =
        std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    if (plain)
        out += line;
    else
        out +=
            codepage::toCp1252(codepage::withoutControls(codepage::fromCp1252(line.toByteArray())));
    out += "\r\n";
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
    return replaceFileParts(path, scratchPath, {QByteArrayView(bytes)}, error, ownerOnly);
}

bool isNormalText(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return true;
    if (!bytes.endsWith("\r\n"))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = p[i];
        if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F))
            continue;
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n') {
            ++i; // a line end
            continue;
        }
        // Code points 0x80-0x9F that Windows-1252 defines are letters and signs; the five it
        // leaves undefined read as control characters and are written back as blanks.
        if (c >= 0x80 && c <= 0x9F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D)
            continue;
        return false;
    }
    return true;
}

bool replaceFileParts(const QString& path, const QString& scratchPath,
                      const QList<QByteArrayView>& parts, QString* error, bool ownerOnly) {
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
    bool ok = true;
    for (const QByteArrayView part : parts)
        ok = ok && scratch.write(part.data(), part.size()) == part.size();
    ok = ok && scratch.flush();
#ifdef Q_OS_UNIX
    ok = ok && ::fsync(scratch.handle()) == 0;
#endif
    if (!ok) {
        // A write cut short by a full disk or the file-size limit can leave QFile without an
        // error text of its own (no error, or Qt's default "Unknown error").
        QString reason = scratch.errorString();
        if (scratch.error() == QFileDevice::NoError || reason == QLatin1String("Unknown error"))
            reason = QStringLiteral("the disk is full or the file is too large");
        if (error)
            *error = QStringLiteral("Cannot write %1: %2").arg(scratchPath, reason);
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
