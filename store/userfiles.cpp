#include "store/userfiles.h"

#include "store/recordfile.h"
#include "store/textfile.h"

namespace tf {

QString defaultUserFileName(int k) {
    return QStringLiteral("USER FILE ") + QString::number(k);
}

QStringList defaultUserFileNames() {
    QStringList names;
    for (int k = 1; k <= kUserFileCount; ++k)
        names.append(defaultUserFileName(k));
    return names;
}

quint8 UFListindex_byte(const UserFileChecks& checks) {
    unsigned byte = 0;
    for (bool checked : checks) {
        byte >>= 1;
        if (checked)
            byte |= 0x80;
    }
    return static_cast<quint8>(byte);
}

UserFileChecks checksFromUserFileByte(quint8 byte) {
    UserFileChecks checks{};
    unsigned value = byte;
    for (int i = kUserFileCount - 1; i >= 0; --i) {
        checks[i] = value >= 128;
        value = (value * 2) % 256;
    }
    return checks;
}

int Change_BYTE_to_UFBIT(int number) {
    if (number <= 0)
        return 0;
    return 1 << (number - 1);
}

int Change_UFBIT_to_BYTE(int mask) {
    int number = 0;
    for (unsigned m = static_cast<unsigned>(mask); m != 0; m /= 2)
        ++number;
    return number;
}

QStringList namesWithDefaults(const QStringList& boxes) {
    QStringList names;
    for (int k = 1; k <= kUserFileCount; ++k) {
        const QString box = k <= boxes.size() ? boxes.at(k - 1) : QString();
        names.append(box.isEmpty() ? defaultUserFileName(k) : box);
    }
    return names;
}

namespace userfiles {

std::optional<QStringList> read(const QString& ufnPath) {
    QStringList names;
    for (int k = 1; k <= kUserFileCount; ++k) {
        const auto name = recordfile::readRecord(ufnPath, k);
        if (!name)
            return std::nullopt;
        names.append(*name);
    }
    return names;
}

bool write(const QString& ufnPath, const QStringList& names, QString* error) {
    return recordfile::writeRecords(ufnPath, textfile::defaultScratch(ufnPath), 1,
                                    namesWithDefaults(names), error);
}

bool writeDefaults(const QString& ufnPath, QString* error) {
    return write(ufnPath, {}, error);
}

QStringList loadForTitleEditor(const QString& ufnPath) {
    if (auto names = read(ufnPath))
        return *names;
    writeDefaults(ufnPath);
    return defaultUserFileNames();
}

QStringList loadForNameEditor(const QString& ufnPath) {
    const auto names = read(ufnPath);
    if (names && !names->first().isEmpty())
        return *names;
    writeDefaults(ufnPath);
    return defaultUserFileNames();
}

} // namespace userfiles
} // namespace tf
