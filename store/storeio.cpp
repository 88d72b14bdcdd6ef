#include "store/storeio.h"

#include "store/textfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tf::storeio {

Lines readText(const QString& path) {
    Lines result;
    QFile file(path);
    if (!QFileInfo::exists(path)) {
        result.status = Lines::Status::Missing;
        return result;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = Lines::Status::Unreadable;
        result.error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return result;
    }
    result.status = Lines::Status::Ok;
    result.lines = textfile::splitLines(file.readAll());
    return result;
}

std::optional<QByteArray> readBytes(const QString& path) {
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QByteArray bytes;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ::close(fd);
        if (n < 0)
            return std::nullopt;
        return bytes;
    }
#else
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
#endif
}

bool appendLines(const QString& path, const QStringList& lines, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    const qint64 oldSize = file.size();
    const QByteArray bytes = textfile::joinLines(lines);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        file.resize(oldSize);
        return fail(error, QStringLiteral("Cannot write %1: %2").arg(path, why));
    }
    return true;
}

int findLine(const QStringList& lines, const QString& key, int from) {
    return static_cast<int>(lines.indexOf(key, from));
}

std::optional<QString> valueAfter(const QStringList& lines, const QString& key) {
    const int at = findLine(lines, key);
    if (at < 0)
        return std::nullopt;
    return at + 1 < lines.size() ? lines.at(at + 1) : QString();
}

bool fail(QString* error, const QString& text) {
    if (error)
        *error = text;
    return false;
}

} // namespace tf::storeio
