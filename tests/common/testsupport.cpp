#include "common/testsupport.h"

#include <QFile>

namespace tf::test {

QString sourcePath(const QString& relative) {
    return QStringLiteral(TRACKFEN_SOURCE_DIR "/") + relative;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray golden(const QString& relative) {
    return readAll(sourcePath(QStringLiteral("tests/data/") + relative));
}

QByteArray crlf(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")).toLatin1() + "\r\n";
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

} // namespace tf::test
