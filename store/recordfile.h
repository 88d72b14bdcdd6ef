#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tf::recordfile {

// Random-access files of 128-byte records: a 16-bit little-endian length, then that many
// characters of Windows-1252 text; the rest of the record is not significant.
constexpr int kRecordSize = 128;
constexpr int kMaxTextBytes = kRecordSize - 2;

// Record `index` (1-based) of raw file bytes; an empty text when the record lies beyond the
// end, and nullopt when the record is damaged (its length runs past the record or the file).
std::optional<QString> recordFromBytes(const QByteArray& bytes, int index);

// Puts `text` into record `index` of `bytes`, growing the buffer with zeros as needed. Bytes
// of the record after the text are left as they are. Control characters become blanks;
// text longer than a record holds is cut.
void putRecord(QByteArray& bytes, int index, const QString& text);

// Reads one record from a file; nullopt when the file cannot be read or the record is damaged.
std::optional<QString> readRecord(const QString& path, int index);

// Writes several consecutive records starting at `firstIndex`, leaving every other byte of
// the file as it was. The file is replaced atomically through `scratchPath`.
bool writeRecords(const QString& path, const QString& scratchPath, int firstIndex,
                  const QStringList& texts, QString* error = nullptr);

} // namespace tf::recordfile
