#pragma once

#include <QByteArray>
#include <QString>

namespace tf::codepage {

// The changer and the title files use 8-bit Windows-1252 text: one byte a character.

// Encodes text as Windows-1252; a character the code page cannot hold becomes '?'.
QByteArray toCp1252(const QString& text);

// Decodes Windows-1252 bytes; the five bytes the code page leaves undefined map to the
// C1 control of the same value, so that decoding and encoding again gives the same bytes.
QString fromCp1252(const QByteArray& bytes);

// True for characters that must never reach a line-based file or a frame: C0 and C1
// controls and DEL (a CR or LF inside a title would split a record).
bool isControl(QChar c);

// Replaces every control character with a blank.
QString withoutControls(const QString& text);

} // namespace tf::codepage
