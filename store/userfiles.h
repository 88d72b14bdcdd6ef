#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace tf {

// The changer groups discs into eight user files. A disc's membership is one byte: bit k-1
// set means the disc belongs to user file k. The eight names live in ufn.txt (data folder),
// one 128-byte record per user file.
constexpr int kUserFileCount = 8;
using UserFileChecks = std::array<bool, kUserFileCount>;

// "USER FILE k", k from 1 to 8.
QString defaultUserFileName(int k);
QStringList defaultUserFileNames();

// The byte from the check list: item i ends in bit i.
quint8 UFListindex_byte(const UserFileChecks& checks);

// The check list from a byte: item i is checked when bit i is set.
UserFileChecks checksFromUserFileByte(quint8 byte);

// User-file number (1..8) to its one-bit mask; 0 for 0.
int Change_BYTE_to_UFBIT(int number);

// One-bit mask to user-file number: the position of the highest set bit + 1; 0 for 0.
int Change_UFBIT_to_BYTE(int mask);

// The names to show for edited name boxes: an empty box stands for the default name.
QStringList namesWithDefaults(const QStringList& boxes);

namespace userfiles {

// Reads records 1 to 8; nullopt when the file is missing, unreadable or damaged.
std::optional<QStringList> read(const QString& ufnPath);

// Writes the eight names (empty ones as the default name) into records 1 to 8, leaving
// every other byte of the file unchanged.
bool write(const QString& ufnPath, const QStringList& names, QString* error = nullptr);

// Writes the default names into records 1 to 8.
bool writeDefaults(const QString& ufnPath, QString* error = nullptr);

// Names for the title editor's check list: the file's names, or the defaults written to a
// new file when it is missing or unreadable.
QStringList loadForTitleEditor(const QString& ufnPath);

// Names for the name editor: the file's names when record 1 holds one; otherwise the
// defaults, which are then written to the file.
QStringList loadForNameEditor(const QString& ufnPath);

} // namespace userfiles
} // namespace tf
