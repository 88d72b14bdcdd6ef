#include "store/recordfile.h"

#include "base/codepage.h"
#include "store/textfile.h"

#include <QFile>
#include <QStringList>

namespace tf::recordfile {

std::optional<QString> recordFromBytes(const QByteArray& bytes, int index) {
    if (index < 1)
        return std::nullopt;
    const qsizetype offset = qsizetype(index - 1) * kRecordSize;
    if (offset + 2 > bytes.size())
        return QString();
    const auto lo = static_cast<unsigned char>(bytes.at(offset));
    const auto hi = static_cast<unsigned char>(bytes.at(offset + 1));
    const int length = lo | (hi << 8);
    if (length > kMaxTextBytes || offset + 2 + length > bytes.size())
        return std::nullopt;
    return codepage::fromCp1252(bytes.mid(offset + 2, length));
}

void putRecord(QByteArray& bytes, int index, const QString& text) {
    const qsizetype offset = qsizetype(index - 1) * kRecordSize;
    if (bytes.size() < offset + kRecordSize)
        bytes.append(QByteArray(offset + kRecordSize - bytes.size(), '\0'));
    const QByteArray encoded =
        codepage::toCp1252(codepage::withoutControls(text)).left(kMaxTextBytes);
    bytes[offset] = static_cast<char>(encoded.size() & 0xFF);
    bytes[offset + 1] = static_cast<char>((encoded.size() >> 8) & 0xFF);
    bytes.replace(offset + 2, encoded.size(), encoded);
}

std::optional<QString> readRecord(const QString& path, int index) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return recordFromBytes(file.readAll(), index);
}

bool writeRecords(const QString& path, const QString& scratchPath, int firstIndex,
                  const QStringList& texts, QString* error) {
    QByteArray bytes;
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
            return false;
        }
        bytes = file.readAll();
        file.close();
    }
    for (int i = 0; i < texts.size(); ++i)
        putRecord(bytes, firstIndex + i, texts.at(i));
    return textfile::replaceFile(path, scratchPath, bytes, error);
}

} // namespace tf::recordfile
