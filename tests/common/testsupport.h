#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tf::test {

// Folder of the source tree, for golden files under tests/data.
QString sourcePath(const QString& relative);

// A golden file under tests/data, e.g. "store/alldisc.txt"; empty when it cannot be read.
QByteArray golden(const QString& relative);
// One of the store's formats, under tests/data/store.
inline QByteArray storeGolden(const QString& name) {
    return golden("store/" + name);
}

// The whole content of a file, or an empty array when it cannot be read.
QByteArray readAll(const QString& path);

// Lines as the PC's title files store them: CR LF after each.
QByteArray crlf(const QStringList& lines);

// Writes bytes to a file, creating it; returns false on failure.
bool writeAll(const QString& path, const QByteArray& bytes);

} // namespace tf::test
