#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstring>
#include <optional>

namespace tf::textfile {

// The title store's text files: 8-bit Windows-1252 text, CR LF line ends (LF accepted on
// reading), a key alone on its line with its value on the next line, numbers written bare
// or with one blank either side.

// Reads every line of a file; nullopt when the file cannot be opened. A final line without
// a line end still counts; a CR before the LF is dropped.
std::optional<QStringList> readLines(const QString& path);

// Splits raw bytes into decoded lines by the same rule.
QStringList splitLines(const QByteArray& bytes);

// Encodes lines as CR LF text. Control characters inside a line become blanks, so a value
// can never split into two records.
QByteArray joinLines(const QStringList& lines);

// The same reading and writing line by line on the raw bytes, for files too large to decode
// whole when only a few lines matter. forEachLine() calls `visit(line)` for every line as
// splitLines() would cut it (no CR LF) until `visit` returns false; appendLine() adds a line
// exactly as joinLines() would write it after splitLines() had read it.
template <typename Visit> void forEachLine(QByteArrayView bytes, Visit visit) {
    const char* const data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        const void* found = std::memchr(data + start, '\n', size_t(size - start));
        const qsizetype end = found ? static_cast<const char*>(found) - data : size;
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        if (!visit(QByteArrayView(data + start, stop - start)))
            return;
        start = end + 1;
    }
}
void appendLine(QByteArray& out, QByteArrayView line);

// " 12 ": the number with one blank before and one after.
QString paddedNumber(int value);

// Reads a number that may carry surrounding blanks; nullopt when the line is not a number
// of the 16-bit range.
std::optional<qint16> parseNumber(const QString& line);
std::optional<qint32> parseNumber32(const QString& line);

// Replaces `path` atomically: the bytes go to `scratchPath` first, are flushed to disk, and
// the scratch file is then renamed over `path`. The old file is never deleted first, so a
// crash leaves either the old or the new content. On failure the old file is untouched,
// the scratch file is removed, and `error` (when given) says what went wrong.
// With `ownerOnly` the new file is readable and writable by its owner only (it holds a
// password).
bool replaceFile(const QString& path, const QString& scratchPath, const QByteArray& bytes,
                 QString* error = nullptr, bool ownerOnly = false);

// replaceFile() with the content given in pieces, written one after the other (a large file
// spliced from its old bytes needs no copy of its own).
bool replaceFileParts(const QString& path, const QString& scratchPath,
                      const QList<QByteArrayView>& parts, QString* error = nullptr,
                      bool ownerOnly = false);

// True when `bytes` read by splitLines() and written by joinLines() come out unchanged: CR LF
// after every line and nothing a line may not hold.
bool isNormalText(QByteArrayView bytes);

// replaceFile() with the lines encoded by joinLines().
bool replaceLines(const QString& path, const QString& scratchPath, const QStringList& lines,
                  QString* error = nullptr);

// Renames `from` over `to`, replacing it in one step.
bool renameOver(const QString& from, const QString& to, QString* error = nullptr);

// Scratch name used when a caller has no specific one: the target's name plus ".new".
QString defaultScratch(const QString& path);

} // namespace tf::textfile
