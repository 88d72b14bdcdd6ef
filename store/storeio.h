#pragma once

// Small file helpers shared by the title-store modules, on top of textfile.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace tf::storeio {

// A text file's lines, telling a missing file from one that cannot be read.
struct Lines {
    enum class Status { Ok, Missing, Unreadable };
    Status status = Status::Missing;
    QStringList lines;
    QString error; // for Unreadable

    bool ok() const { return status == Status::Ok; }
    bool missing() const { return status == Status::Missing; }
};
Lines readText(const QString& path);

// A whole file's bytes with as few system calls as the platform allows (the disc list reads
// one file per slot); nullopt when it cannot be opened or read.
std::optional<QByteArray> readBytes(const QString& path);

// Appends lines (CR LF, control characters as blanks). On a failed write the file is cut back
// to its old length, so it never ends in half a record.
bool appendLines(const QString& path, const QStringList& lines, QString* error = nullptr);

// Index of the first line equal to `key` (whole line, case-sensitive) at or after `from`;
// -1 when there is none.
int findLine(const QStringList& lines, const QString& key, int from = 0);

// The line after the first line equal to `key`; nullopt without the key. A key on the last
// line has an empty value.
std::optional<QString> valueAfter(const QStringList& lines, const QString& key);

// Sets *error when error is given; returns false for use in `return fail(...)`.
bool fail(QString* error, const QString& text);

} // namespace tf::storeio
