#pragma once

// The CDDB client: query by table of contents, read of a record and submission, over HTTP or
// HTTPS through Qt Network. Every request has a time-out and ends in exactly one result;
// nothing is retried on its own. The asynchronous calls deliver their result through a
// callback, always later from the event loop (never from inside the call); the *AndWait
// forms wait for it in a nested event loop woken by that callback.

#include "lookup/cddbpacer.h"
#include "lookup/cddbprotocol.h"
#include "lookup/cddbresult.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;

namespace tf {

class CddbClient : public QObject {
    Q_OBJECT
public:
    using QueryCallback = std::function<void(const CddbQueryResult&)>;
    using ReadCallback = std::function<void(const CddbReadResult&)>;
    using SubmitCallback = std::function<void(const CddbOutcome&)>;

    explicit CddbClient(QObject* parent = nullptr);
    ~CddbClient() override;

    const CddbOptions& options() const { return m_options; }
    // Takes new options (server, e-mail, proxy...) for the requests sent from now on.
    void setOptions(const CddbOptions& options);

    // While paced (the pass over all discs), requests leave at least options().passSpacingMs
    // apart; waiting for the slot does not count against the time-out.
    void setPaced(bool paced);
    bool isPaced() const { return m_paced; }

    // With an offline copy in the options, query and read look there first ("before": the
    // server only for what the copy lacks) or only there ("instead").
    void query(const CddbToc& toc, QueryCallback done);
    void read(const QString& category, const QString& discId, ReadCallback done);
    // Sends the record built from `disc` for `toc` with the revision after the disc's own.
    // Refused before sending (BadRequest) without a valid e-mail address, with a category the
    // servers do not accept, or with a disc that xmcdSubmissionProblem() finds wanting.
    void submit(const CddbDisc& disc, const CddbToc& toc, SubmitCallback done);

    CddbQueryResult queryAndWait(const CddbToc& toc);
    CddbReadResult readAndWait(const QString& category, const QString& discId);
    CddbOutcome submitAndWait(const CddbDisc& disc, const CddbToc& toc);

    // Ends every request in flight or waiting for its slot with Cancelled.
    void cancel();
    int pendingRequests() const { return static_cast<int>(m_pending.size()); }

private:
    struct Pending;
    using RawDone = std::function<void(const CddbOutcome& transport, const QByteArray& body)>;

    void start(const QNetworkRequest& request, const QByteArray& postBody, RawDone done);
    void send(int id);
    void onFinished(int id);
    void finish(int id, const CddbOutcome& transport, const QByteArray& body = {});
    void failLater(RawDone done, const CddbOutcome& outcome);
    template <typename Callback, typename Result> void deliverLater(Callback done, Result result);
    QNetworkRequest makeRequest(const QUrl& url) const;
    CddbOutcome throttled(int httpStatus, const QByteArray& retryAfter);

    CddbOptions m_options;
    QNetworkAccessManager* m_network = nullptr;
    QHash<int, std::shared_ptr<Pending>> m_pending;
    int m_nextId = 1;
    bool m_paced = false;
    CddbPacer m_pacer;
    QElapsedTimer m_clock;
    QDeadlineTimer m_throttledUntil{QDeadlineTimer::Forever};
    bool m_throttled = false;
};

// Paces a client for the lifetime of the scope: the all-discs pass holds one.
class CddbPacedScope {
public:
    explicit CddbPacedScope(CddbClient& client) : m_client(client), m_was(client.isPaced()) {
        m_client.setPaced(true);
    }
    ~CddbPacedScope() { m_client.setPaced(m_was); }
    CddbPacedScope(const CddbPacedScope&) = delete;
    CddbPacedScope& operator=(const CddbPacedScope&) = delete;

private:
    CddbClient& m_client;
    bool m_was;
};

} // namespace tf
