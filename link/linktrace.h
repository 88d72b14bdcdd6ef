#pragma once

// The link trace: every unit sent and received, with a time stamp and a decoded summary, as
// debug messages of the logging category "trackfen.link.trace". It is off by default; switch
// it on with QT_LOGGING_RULES="trackfen.link.trace.debug=true" or enableLinkTrace(). Messages
// go wherever Qt logs (standard error, or the journal); nothing is written to a file.

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

namespace tf {

Q_DECLARE_LOGGING_CATEGORY(lcLinkTrace)

// Switches the trace on for this process.
void enableLinkTrace();

// "send ENQ", "recv frame cmd 0x12 play status disc 12 track 3 ...": a unit decoded with the
// frame decoders; a unit that is no valid frame is named with the reason and its bytes.
QString describeUnit(bool sent, const QByteArray& unit);

// Logs one unit when the trace is on (the hook on Link::traffic).
void traceUnit(bool sent, const QByteArray& unit);

} // namespace tf
