#pragma once

// The MusicBrainz client: the disc id lookup and, when the id is unknown, the fuzzy lookup by
// table of contents, over HTTPS through Qt Network with the proxy of the CDDB options. Every
// request waits for its one-a-second slot (MusicBrainz's rate limit, batch or not), has a
// time-out, and answers 503 with a growing pause before it tries again, a few times at most.

#include "lookup/cddbpacer.h"
#include "lookup/mbreply.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

class QEventLoop;
class QNetworkAccessManager;
class QNetworkReply;

namespace tf {

struct CddbOptions;

// Which online databases a lookup asks, and in which order; a "then" source is asked only
// when the first finds nothing.
enum class LookupOrder { CddbOnly, MusicBrainzOnly, CddbThenMusicBrainz, MusicBrainzThenCddb };

struct MbOptions {
    LookupOrder order = LookupOrder::CddbOnly;
    QString scheme = QStringLiteral("https");
    QString server = QStringLiteral("musicbrainz.org");
    int port = 0; // 0: the scheme's default port
    int timeoutMs = 15000;
    int spacingMs = 1000; // MusicBrainz serves one request a second to a client
    int backoffMs = 2000; // the first pause after a 503; each further one doubles
    int retries = 2;      // 503s answered with a pause before the lookup gives up
    // A folder of saved disc id replies (<id>.json) used instead of the server: the demo's
    // offline MusicBrainz. Empty: the server.
    QString sampleFolder;
};

// The order's settings word and its text in the options window, in LookupOrder's order.
QString lookupOrderName(LookupOrder order);
LookupOrder lookupOrderFromName(const QString& name);
QStringList lookupOrderTexts();

// Who asks, as MusicBrainz wants it: the user's e-mail address, else the project's contact.
QString mbUserAgent(const QString& email);

struct MbLookupResult {
    CddbOutcome outcome; // Ok (also for nothing found: NoMatch), or why the service failed
    QList<MbCandidate> candidates;
};

class MbClient : public QObject {
    Q_OBJECT
public:
    explicit MbClient(QObject* parent = nullptr);

    const MbOptions& options() const { return m_options; }
    // `shared`: the CDDB options, whose proxy and e-mail address this client uses too.
    void setOptions(const MbOptions& options, const CddbOptions& shared);

    // Waits in a nested event loop. The disc id first; the fuzzy lookup by table of contents
    // only when MusicBrainz does not know the id.
    MbLookupResult lookupAndWait(const MbDiscId& disc);
    // Ends the request in flight (or its wait for a slot) with Cancelled.
    void cancel();

private:
    struct Answer {
        CddbOutcome outcome;
        QByteArray body;
    };
    Answer get(const QString& path, const QString& query);
    Answer fromSample(const QString& id) const;
    Answer getOnce(const QUrl& url);
    bool pause(qint64 ms); // false when cancelled meanwhile

    MbOptions m_options;
    QString m_userAgent;
    QNetworkAccessManager* m_network = nullptr;
    CddbPacer m_pacer;
    QElapsedTimer m_clock;
    QPointer<QNetworkReply> m_reply;
    QEventLoop* m_loop = nullptr;
    bool m_cancelled = false;
    qint64 m_retryAfterS = -1; // the last 503's Retry-After, -1 when it gave none
};

} // namespace tf
