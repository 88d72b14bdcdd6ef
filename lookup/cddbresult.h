#pragma once

// The results of CDDB requests and the parsing of the server's answers into them.

#include "lookup/cddbprotocol.h"
#include "lookup/xmcd.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace tf {

enum class CddbResultCode {
    Ok,
    NoMatch,      // query 202, read 401: the database does not know the disc
    Timeout,      // no complete answer within the time-out
    Throttled,    // HTTP 403, 429 or 503: the server asks us to stop for a while
    NetworkError, // connection refused, host not found, TLS failure, proxy refused...
    ServerError,  // an HTTP error or a CDDB error code (4xx, 5xx) in the answer
    BadResponse,  // an answer that is not the protocol, or far too large
    BadRequest,   // refused before sending: invalid TOC, missing e-mail address...
    Cancelled,    // cancel() was called
};

// How a request ended; `message` is a sentence for the user.
struct CddbOutcome {
    CddbResultCode code = CddbResultCode::Ok;
    QString message;
    int httpStatus = 0; // 0 when no HTTP answer arrived
    int cddbCode = 0;   // the answer's protocol code, 0 when there was none

    bool ok() const { return code == CddbResultCode::Ok; }
    static CddbOutcome failure(CddbResultCode code, const QString& message, int httpStatus = 0,
                               int cddbCode = 0) {
        return CddbOutcome{code, message, httpStatus, cddbCode};
    }
};

// The match codes the lookup flow works with.
inline constexpr int kMatchNone = 1;
inline constexpr int kMatchSeveral = 2;
inline constexpr int kMatchExact = 3;

struct CddbQueryResult {
    CddbOutcome outcome;
    QList<CddbMatch> matches; // 200: one exact; 210: exact; 211: inexact; 202: none

    // 3 for one exact match, 2 when the user must choose (several, or inexact ones),
    // 1 for none and for every failure.
    int matchCode() const;
};

struct CddbReadResult {
    CddbOutcome outcome;
    CddbDisc disc; // category filled from the request
};

// The answer of `cddb query` (the HTTP body). A 202 gives NoMatch; codes 4xx and 5xx
// ServerError with the server's text; a list entry whose category or disc id is not a
// plain word is skipped, so nothing the server says can be turned into a path.
CddbQueryResult parseCddbQueryAnswer(const QByteArray& body);

// The answer of `cddb read`: 210 and the record up to the "." line.
CddbReadResult parseCddbReadAnswer(const QByteArray& body, const QString& category);

// The answer of submit.cgi: its first line's code, 200 for success.
CddbOutcome parseCddbSubmitAnswer(const QByteArray& body);

} // namespace tf
