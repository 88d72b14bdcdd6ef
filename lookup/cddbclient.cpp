#include "lookup/cddbclient.h"

#include "lookup/offlinedb.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace tf {

struct CddbClient::Pending {
    QNetworkRequest request;
    QByteArray postBody;
    bool post = false;
    RawDone done;
    QPointer<QNetworkReply> reply;
    QTimer timer; // first the wait for the paced slot, then the time-out
    bool timedOut = false;
    bool tooLarge = false;
    bool cancelled = false;
};

CddbClient::CddbClient(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this)) {
    m_clock.start();
    setOptions(CddbOptions{});
}

CddbClient::~CddbClient() {
    // Nobody waits for these any more: drop them without calling back into a dying owner.
    for (const auto& p : std::as_const(m_pending)) {
        if (p->reply) {
            p->reply->disconnect(this);
            p->reply->abort();
        }
    }
}

void CddbClient::setOptions(const CddbOptions& options) {
    m_options = options;
    m_network->setProxy(cddbProxy(options));
    m_pacer.setSpacing(std::max(0, options.passSpacingMs));
}

void CddbClient::setPaced(bool paced) {
    if (paced && !m_paced)
        m_pacer.reset();
    m_paced = paced;
}

QNetworkRequest CddbClient::makeRequest(const QUrl& url) const {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("%1/%2").arg(QLatin1String(kCddbClientName),
                                                  QLatin1String(kCddbClientVersion)));
    return request;
}

void CddbClient::query(const CddbToc& toc, QueryCallback done) {
    if (toc.isValid() && m_options.usesOffline()) {
        CddbQueryResult local = OfflineCddb(m_options.offlineFolder).query(toc);
        // "Instead" never reaches the server, whatever the copy holds.
        if (!local.matches.isEmpty() || m_options.offlineMode == CddbOptions::Offline::Instead) {
            deliverLater(std::move(done), std::move(local));
            return;
        }
    }
    auto deliver = [done = std::move(done)](const CddbOutcome& transport, const QByteArray& body) {
        if (!transport.ok()) {
            CddbQueryResult failed;
            failed.outcome = transport;
            done(failed);
            return;
        }
        CddbQueryResult result = parseCddbQueryAnswer(body);
        result.outcome.httpStatus = transport.httpStatus;
        done(result);
    };
    if (!toc.isValid()) {
        failLater(deliver, CddbOutcome::failure(CddbResultCode::BadRequest,
                                                QStringLiteral("The disc has no usable table of "
                                                               "contents to look up.")));
        return;
    }
    start(makeRequest(cddbCommandUrl(m_options, cddbQueryCommand(toc))), {}, deliver);
}

void CddbClient::read(const QString& category, const QString& discId, ReadCallback done) {
    if (m_options.usesOffline()) {
        CddbReadResult local = OfflineCddb(m_options.offlineFolder).read(category, discId);
        if (local.outcome.ok() || m_options.offlineMode == CddbOptions::Offline::Instead) {
            deliverLater(std::move(done), std::move(local));
            return;
        }
    }
    auto deliver = [done = std::move(done), category](const CddbOutcome& transport,
                                                      const QByteArray& body) {
        if (!transport.ok()) {
            CddbReadResult failed;
            failed.outcome = transport;
            failed.disc.category = category;
            done(failed);
            return;
        }
        CddbReadResult result = parseCddbReadAnswer(body, category);
        result.outcome.httpStatus = transport.httpStatus;
        done(result);
    };
    if (!isCddbCategoryWord(category) || !isCddbDiscIdWord(discId)) {
        failLater(deliver, CddbOutcome::failure(CddbResultCode::BadRequest,
                                                QStringLiteral("The CDDB entry to read is not "
                                                               "valid.")));
        return;
    }
    start(makeRequest(cddbCommandUrl(m_options, cddbReadCommand(category, discId.toLower()))), {},
          deliver);
}

void CddbClient::submit(const CddbDisc& disc, const CddbToc& toc, SubmitCallback done) {
    auto deliver = [done = std::move(done)](const CddbOutcome& transport, const QByteArray& body) {
        if (!transport.ok()) {
            done(transport);
            return;
        }
        CddbOutcome result = parseCddbSubmitAnswer(body);
        result.httpStatus = transport.httpStatus;
        done(result);
    };
    QString problem;
    if (!isValidCddbEmail(m_options.email))
        problem = QStringLiteral("An e-mail address is needed to submit a disc. Enter it in the "
                                 "CDDB options.");
    else if (!cddbCategories().contains(disc.category))
        problem = QStringLiteral("Choose one of the CDDB categories (%1) before submitting.")
                      .arg(cddbCategories().join(QStringLiteral(", ")));
    else if (!toc.isValid())
        problem = QStringLiteral("The disc has no usable table of contents to submit.");
    else
        problem = xmcdSubmissionProblem(disc);
    if (!problem.isEmpty()) {
        failLater(deliver, CddbOutcome::failure(CddbResultCode::BadRequest, problem));
        return;
    }

    QNetworkRequest request = makeRequest(cddbSubmitUrl(m_options));
    request.setRawHeader("Category", disc.category.toLatin1());
    request.setRawHeader("Discid", toc.discId.toLatin1());
    request.setRawHeader("User-Email", m_options.email.toUtf8());
    request.setRawHeader("Submit-Mode", m_options.testSubmissions ? "test" : "submit");
    request.setRawHeader("Charset", "UTF-8");
    const QString note = sanitizeCddbText(m_options.submitNote).trimmed();
    if (!note.isEmpty())
        request.setRawHeader("X-Cddbd-Note", note.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QStringLiteral("text/plain; charset=UTF-8"));
    start(request, buildXmcd(disc, toc, nextXmcdRevision(disc)), deliver);
}

template <typename Callback, typename Result>
void CddbClient::deliverLater(Callback done, Result result) {
    // Local answers arrive from the event loop too, as every result does.
    QMetaObject::invokeMethod(
        this, [done = std::move(done), result = std::move(result)] { done(result); },
        Qt::QueuedConnection);
}

void CddbClient::failLater(RawDone done, const CddbOutcome& outcome) {
    QMetaObject::invokeMethod(
        this, [done = std::move(done), outcome] { done(outcome, {}); }, Qt::QueuedConnection);
}

CddbOutcome CddbClient::throttled(int httpStatus, const QByteArray& retryAfter) {
    bool ok = false;
    const qint64 seconds = retryAfter.trimmed().toLongLong(&ok);
    const qint64 waitMs = ok && seconds >= 0 ? std::min<qint64>(seconds * 1000, kCddbMaxCooldownMs)
                                             : kCddbThrottleCooldownMs;
    m_throttledUntil.setRemainingTime(waitMs);
    m_throttled = true;
    return CddbOutcome::failure(
        CddbResultCode::Throttled,
        QStringLiteral("The CDDB server is busy or limits requests (HTTP %1). Try again in %2 "
                       "seconds.")
            .arg(httpStatus)
            .arg((waitMs + 999) / 1000),
        httpStatus);
}

void CddbClient::start(const QNetworkRequest& request, const QByteArray& postBody, RawDone done) {
    if (m_throttled && !m_throttledUntil.hasExpired()) {
        // The server asked us to stop for a while: do not knock again before it said.
        failLater(done, CddbOutcome::failure(
                            CddbResultCode::Throttled,
                            QStringLiteral("The CDDB server limits requests. Try again in %1 "
                                           "seconds.")
                                .arg((m_throttledUntil.remainingTime() + 999) / 1000)));
        return;
    }
    m_throttled = false;

    const int id = m_nextId++;
    auto pending = std::make_shared<Pending>();
    pending->request = request;
    pending->postBody = postBody;
    pending->post = !postBody.isNull();
    pending->done = std::move(done);
    pending->timer.setSingleShot(true);
    pending->timer.setTimerType(Qt::PreciseTimer);
    m_pending.insert(id, pending);

    const qint64 wait = m_paced ? m_pacer.reserve(m_clock.elapsed()) : 0;
    if (wait <= 0) {
        send(id);
        return;
    }
    connect(&pending->timer, &QTimer::timeout, this, [this, id] { send(id); });
    pending->timer.start(static_cast<int>(wait));
}

void CddbClient::send(int id) {
    const auto pending = m_pending.value(id);
    if (!pending)
        return;
    pending->timer.disconnect(this);
    QNetworkReply* reply = pending->post ? m_network->post(pending->request, pending->postBody)
                                         : m_network->get(pending->request);
    pending->reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, id] { onFinished(id); });
    connect(reply, &QNetworkReply::downloadProgress, this, [this, id](qint64 got, qint64 total) {
        const auto p = m_pending.value(id);
        if (p && p->reply && !p->tooLarge &&
            (got > kCddbMaxResponseBytes || total > kCddbMaxResponseBytes)) {
            p->tooLarge = true;
            p->reply->abort();
        }
    });
    connect(&pending->timer, &QTimer::timeout, this, [this, id] {
        const auto p = m_pending.value(id);
        if (p && p->reply) {
            p->timedOut = true;
            p->reply->abort();
        }
    });
    pending->timer.start(std::max(1, m_options.timeoutMs));
}

void CddbClient::onFinished(int id) {
    const auto p = m_pending.value(id);
    if (!p || !p->reply)
        return;
    QNetworkReply* reply = p->reply;
    reply->deleteLater();
    p->timer.stop();

    const int http = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const auto error = reply->error();
    if (p->cancelled) {
        finish(id,
               CddbOutcome::failure(CddbResultCode::Cancelled,
                                    QStringLiteral("The CDDB request was cancelled.")),
               {});
        return;
    }
    if (p->timedOut) {
        finish(
            id,
            CddbOutcome::failure(CddbResultCode::Timeout,
                                 QStringLiteral("The CDDB server did not answer within %1 seconds.")
                                     .arg((m_options.timeoutMs + 999) / 1000)),
            {});
        return;
    }
    if (p->tooLarge) {
        finish(id,
               CddbOutcome::failure(CddbResultCode::BadResponse,
                                    QStringLiteral("The CDDB server sent far more data "
                                                   "than a disc entry holds.")),
               {});
        return;
    }
    if (http == 403 || http == 429 || http == 503) {
        finish(id, throttled(http, reply->rawHeader("Retry-After")), {});
        return;
    }
    if (error == QNetworkReply::ProxyAuthenticationRequiredError) {
        finish(id, CddbOutcome::failure(CddbResultCode::NetworkError,
                                        QStringLiteral("The proxy server refused the user name "
                                                       "or password."),
                                        http));
        return;
    }
    if (http >= 400) {
        finish(id, CddbOutcome::failure(
                       CddbResultCode::ServerError,
                       QStringLiteral("The CDDB server answered with HTTP error %1 %2.")
                           .arg(http)
                           .arg(sanitizeCddbText(QString::fromLatin1(
                               reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                   .toByteArray()
                                   .left(100)))),
                       http));
        return;
    }
    if (error != QNetworkReply::NoError || http == 0) {
        finish(id,
               CddbOutcome::failure(CddbResultCode::NetworkError,
                                    QStringLiteral("The CDDB server %1 could not be reached: %2")
                                        .arg(p->request.url().host(), reply->errorString()),
                                    http));
        return;
    }
    const QByteArray body = reply->read(kCddbMaxResponseBytes + 1);
    if (body.size() > kCddbMaxResponseBytes) {
        finish(id,
               CddbOutcome::failure(CddbResultCode::BadResponse,
                                    QStringLiteral("The CDDB server sent far more data "
                                                   "than a disc entry holds.")),
               {});
        return;
    }
    CddbOutcome transport;
    transport.httpStatus = http;
    finish(id, transport, body);
}

void CddbClient::finish(int id, const CddbOutcome& transport, const QByteArray& body) {
    const auto p = m_pending.take(id);
    if (!p)
        return;
    p->timer.stop();
    p->timer.disconnect(this);
    RawDone done = std::move(p->done);
    done(transport, body);
}

void CddbClient::cancel() {
    const QList<int> ids = m_pending.keys();
    for (int id : ids) {
        const auto p = m_pending.value(id);
        if (!p)
            continue;
        p->cancelled = true;
        m_pending.remove(id);
        if (p->reply) {
            p->reply->disconnect(this);
            p->reply->abort();
            p->reply->deleteLater();
        }
        // Reported from the event loop, as every result is.
        p->timer.stop();
        p->timer.disconnect(this);
        failLater(p->done, CddbOutcome::failure(CddbResultCode::Cancelled,
                                                QStringLiteral("The CDDB request was "
                                                               "cancelled.")));
    }
}

namespace {

// Waits in a nested event loop until `start` has called back, or the client is gone.
CddbOutcome gone() {
    return CddbOutcome::failure(CddbResultCode::Cancelled,
                                QStringLiteral("The CDDB request was cancelled."));
}
void markGone(CddbOutcome* outcome) {
    *outcome = gone();
}
void markGone(CddbQueryResult* result) {
    result->outcome = gone();
}
void markGone(CddbReadResult* result) {
    result->outcome = gone();
}

template <typename Result, typename Start> Result waitFor(CddbClient* client, Start start) {
    std::optional<Result> result;
    QEventLoop loop;
    QObject::connect(client, &QObject::destroyed, &loop, &QEventLoop::quit);
    start([&](const Result& r) {
        result = r;
        loop.quit();
    });
    if (!result)
        loop.exec();
    if (result)
        return *result;
    Result none{};
    markGone(&none); // the client went away while we waited
    return none;
}

} // namespace

CddbQueryResult CddbClient::queryAndWait(const CddbToc& toc) {
    return waitFor<CddbQueryResult>(this, [&](auto cb) { query(toc, cb); });
}

CddbReadResult CddbClient::readAndWait(const QString& category, const QString& discId) {
    return waitFor<CddbReadResult>(this, [&](auto cb) { read(category, discId, cb); });
}

CddbOutcome CddbClient::submitAndWait(const CddbDisc& disc, const CddbToc& toc) {
    return waitFor<CddbOutcome>(this, [&](auto cb) { submit(disc, toc, cb); });
}

} // namespace tf
