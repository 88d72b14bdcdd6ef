#pragma once

#include "sim/simmodel.h"

#include <QByteArray>
#include <QString>

namespace tf::sim {

// Longest CD TEXT item the library accepts (a disc title must fit one reply frame).
inline constexpr int kMaxCdTextLength = 240;

// Reads a library (JSON, format in sim/README.md). On failure returns false and sets error
// to one line naming the place and the problem; out is left untouched.
bool parseLibrary(const QByteArray& json, ChangerLibrary* out, QString* error);

// The same from a file; the error names the file.
bool loadLibraryFile(const QString& path, ChangerLibrary* out, QString* error);

// Writes the library in the same format (tables of contents as start times), so that a
// changer's state can be saved and loaded again.
QByteArray libraryToJson(const ChangerLibrary& library);

} // namespace tf::sim
