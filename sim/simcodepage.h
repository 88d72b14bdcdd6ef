#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tf::sim {

// The changer keeps its titles as 8-bit text in Windows-1252, one byte a character (the PC
// sends the same code page). Bytes the code page leaves undefined decode to the C1 control
// of the same value, so any byte sequence survives a round trip unchanged.

// Encodes text; characters the code page cannot hold become '?'.
QByteArray encodeChangerText(const QString& text);

// Decodes changer bytes to text.
QString decodeChangerText(QByteArrayView bytes);

} // namespace tf::sim
