#include "lookup/mbclient.h"

#include "lookup/cddbprotocol.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QTimer>

#include <algorithm>

namespace tf {

namespace {

// Asked of every lookup: the tracks with their artists, and the release's label.
constexpr char kInclude[] = "inc=recordings+artist-credits+labels&fmt=json";
// Retry-After beyond this is not waited for inside one lookup.
constexpr qint64 kMaxPauseMs = 60000;
constexpr char kProjectContact[] = "trackfen@users.noreply.github.com";

CddbOutcome failure(CddbResultCode code, const QString& message, int http = 0) {
    return CddbOutcome::failure(code, message, http);
}

} // namespace

QString lookupOrderName(LookupOrder order) {
    switch (order) {
    case LookupOrder::MusicBrainzOnly:
        return QStringLiteral("musicbrainz");
    case LookupOrder::CddbThenMusicBrainz:
        return QStringLiteral("cddb-musicbrainz");
    case LookupOrder::MusicBrainzThenCddb:
        return QStringLiteral("musicbrainz-cddb");
    case LookupOrder::CddbOnly:
        break;
    }
    return QStringLiteral("cddb");
}

LookupOrder lookupOrderFromName(const QString& name) {
    for (LookupOrder o : {LookupOrder::MusicBrainzOnly, LookupOrder::CddbThenMusicBrainz,
                          LookupOrder::MusicBrainzThenCddb}) {
        if (name.trimmed().toLower() == lookupOrderName(o))
            return o;
    }
    return LookupOrder::CddbOnly;
}

QStringList lookupOrderTexts() {
    return {QStringLiteral("CDDB only"), QStringLiteral("MusicBrainz only"),
            QStringLiteral("CDDB, then MusicBrainz when CDDB finds nothing"),
            QStringLiteral("MusicBrainz, then CDDB when MusicBrainz finds nothing")};
}

QString mbUserAgent(const QString& email) {
    const QString contact =
        isValidCddbEmail(email) ? email.trimmed() : QString::fromLatin1(kProjectContact);
    return QStringLiteral("%1/%2 ( %3 )")
        .arg(QLatin1String(kCddbClientName), QLatin1String(kCddbClientVersion), contact);
}

MbClient::MbClient(QObject* parent) : QObject(parent), m_network(new QNetworkAccessManager(this)) {
    m_clock.start();
    m_pacer.setSpacing(m_options.spacingMs);
    m_userAgent = mbUserAgent({});
}

void MbClient::setOptions(const MbOptions& options, const CddbOptions& shared) {
    m_options = options;
    m_pacer.setSpacing(std::max(0, options.spacingMs));
    m_network->setProxy(cddbProxy(shared));
    m_userAgent = mbUserAgent(shared.email);
}

MbLookupResult MbClient::lookupAndWait(const MbDiscId& disc) {
    m_cancelled = false;
    MbLookupResult result;
    if (!m_options.sampleFolder.isEmpty()) {
        const Answer sample = fromSample(disc.id);
        const MbReply reply = sample.outcome.ok() ? parseMbReply(sample.body, disc, true)
                                                  : MbReply{sample.outcome, {}};
        result.outcome = reply.outcome;
        result.candidates = reply.candidates;
        if (result.outcome.ok() && result.candidates.isEmpty())
            result.outcome.code = CddbResultCode::NoMatch;
        return result;
    }
    Answer answer = get(QStringLiteral("/ws/2/discid/") + disc.id, QString::fromLatin1(kInclude));
    bool exact = true;
    if (answer.outcome.code == CddbResultCode::NoMatch) {
        // Unknown id: the releases whose media have a table of contents close to this one.
        QString toc = disc.toc;
        toc.replace(QLatin1Char(' '), QLatin1Char('+'));
        answer = get(QStringLiteral("/ws/2/discid/-"),
                     QStringLiteral("toc=%1&cdstubs=no&").arg(toc) + QLatin1String(kInclude));
        exact = false;
    }
    result.outcome = answer.outcome;
    if (!answer.outcome.ok())
        return result;
    const MbReply reply = parseMbReply(answer.body, disc, exact);
    result.outcome = reply.outcome;
    result.candidates = reply.candidates;
    if (reply.outcome.ok() && reply.candidates.isEmpty())
        result.outcome.code = CddbResultCode::NoMatch;
    return result;
}

MbClient::Answer MbClient::fromSample(const QString& id) const {
    // The id is MusicBrainz's alphabet only (letters, digits, '.', '_', '-'): no path in it.
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9._-]{28}$"));
    QFile file(m_options.sampleFolder + QLatin1Char('/') + id + QStringLiteral(".json"));
    if (!word.match(id).hasMatch() || !file.open(QIODevice::ReadOnly))
        return {failure(CddbResultCode::NoMatch, {}), {}};
    return {CddbOutcome{}, file.read(kMbMaxReplyBytes + 1)};
}

MbClient::Answer MbClient::get(const QString& path, const QString& query) {
    QUrl url;
    url.setScheme(m_options.scheme);
    url.setHost(m_options.server);
    if (m_options.port > 0)
        url.setPort(m_options.port);
    url.setPath(path);
    url.setQuery(query); // '+' stays a '+': MusicBrainz reads it as the list separator
    qint64 pauseMs = std::max(1, m_options.backoffMs);
    for (int attempt = 0;; ++attempt) {
        if (!pause(m_pacer.reserve(m_clock.elapsed())))
            return {failure(CddbResultCode::Cancelled,
                            QStringLiteral("The MusicBrainz request was cancelled.")),
                    {}};
        Answer answer = getOnce(url);
        if (answer.outcome.httpStatus != 503)
            return answer;
        // The server's own Retry-After, else a pause that doubles each time.
        const qint64 asked = m_retryAfterS >= 0 ? m_retryAfterS * 1000 : pauseMs;
        if (attempt >= m_options.retries || asked > kMaxPauseMs) {
            answer.outcome = failure(
                CddbResultCode::Throttled,
                QStringLiteral("MusicBrainz is busy and asks for fewer requests (HTTP 503). Try "
                               "again in %1 seconds.")
                    .arg((asked + 999) / 1000),
                503);
            return answer;
        }
        if (!pause(asked))
            return {failure(CddbResultCode::Cancelled,
                            QStringLiteral("The MusicBrainz request was cancelled.")),
                    {}};
        pauseMs *= 2;
    }
}

bool MbClient::pause(qint64 ms) {
    if (ms > 0 && !m_cancelled) {
        QEventLoop loop;
        QScopedValueRollback<QEventLoop*> current(m_loop, &loop);
        QTimer::singleShot(std::chrono::milliseconds(ms), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !m_cancelled;
}

MbClient::Answer MbClient::getOnce(const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, m_userAgent);
    request.setRawHeader("Accept", "application/json");
    request.setTransferTimeout(std::max(1, m_options.timeoutMs));
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    bool tooLarge = false;
    QEventLoop loop;
    QScopedValueRollback<QEventLoop*> current(m_loop, &loop);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&](qint64 got, qint64 total) {
        if (!tooLarge && (got > kMbMaxReplyBytes || total > kMbMaxReplyBytes)) {
            tooLarge = true;
            reply->abort();
        }
    });
    if (!reply->isFinished())
        loop.exec();
    reply->deleteLater();
    m_reply.clear();

    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const auto error = reply->error();
    m_retryAfterS = -1;
    Answer answer;
    answer.outcome.httpStatus = http;
    if (m_cancelled) {
        answer.outcome = failure(CddbResultCode::Cancelled,
                                 QStringLiteral("The MusicBrainz request was cancelled."));
    } else if (tooLarge) {
        answer.outcome = failure(CddbResultCode::BadResponse,
                                 QStringLiteral("MusicBrainz sent far more data than a disc "
                                                "lookup holds."));
    } else if (http == 503) {
        bool ok = false;
        const qint64 s = reply->rawHeader("Retry-After").trimmed().toLongLong(&ok);
        m_retryAfterS = ok && s >= 0 ? s : -1;
        answer.outcome.code = CddbResultCode::Throttled;
    } else if (http == 404 || http == 400) {
        // 404: the id is unknown; 400: a table of contents MusicBrainz cannot search by.
        answer.outcome = failure(CddbResultCode::NoMatch, {}, http);
    } else if (error == QNetworkReply::OperationCanceledError ||
               error == QNetworkReply::TimeoutError) {
        answer.outcome = failure(CddbResultCode::Timeout,
                                 QStringLiteral("MusicBrainz did not answer within %1 seconds.")
                                     .arg((m_options.timeoutMs + 999) / 1000));
    } else if (http >= 400) {
        answer.outcome =
            failure(CddbResultCode::ServerError,
                    QStringLiteral("MusicBrainz answered with HTTP error %1.").arg(http), http);
    } else if (error != QNetworkReply::NoError || http == 0) {
        answer.outcome = failure(CddbResultCode::NetworkError,
                                 QStringLiteral("MusicBrainz (%1) could not be reached: %2")
                                     .arg(url.host(), reply->errorString()),
                                 http);
    } else {
        answer.body = reply->read(kMbMaxReplyBytes + 1);
    }
    return answer;
}

void MbClient::cancel() {
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
    if (m_loop)
        m_loop->quit();
}

} // namespace tf
