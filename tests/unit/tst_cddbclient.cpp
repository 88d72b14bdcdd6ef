#include "common/httpstub.h"
#include "common/testsupport.h"
#include "lookup/cddbclient.h"

#include <QTest>
#include <QTimer>

using namespace tf;
using test::golden;
using test::HttpStub;
using test::HttpStubReply;
using test::HttpStubRequest;

namespace {

CddbToc exampleToc() {
    return *CddbToc::fromTocText(QStringLiteral("150 14287 31587"));
}

CddbOptions loopback(quint16 port) {
    CddbOptions options;
    options.scheme = QStringLiteral("http");
    options.server = QStringLiteral("127.0.0.1");
    options.port = port;
    options.email = QStringLiteral("joe@example.org");
    options.timeoutMs = 5000;
    return options;
}

CddbDisc editedDisc() {
    CddbDisc disc;
    parseXmcd(golden("cddb/rock-0c01a302.xmcd"), &disc);
    disc.category = QStringLiteral("rock");
    disc.extendedData = QStringLiteral("Line one\nLine\ttwo \\ end");
    return disc;
}

} // namespace

class TestCddbClient : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_server = new HttpStub(this);
        QVERIFY(m_server->listen());
        m_client = new CddbClient(this);
        m_client->setOptions(loopback(m_server->port()));
    }

    void cleanup() {
        delete m_client;
        delete m_server;
    }

    void failures_data() {
        // status 0: nobody listens, -1: never answers, -2: answers too much
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("code");
        QTest::newRow("500") << 500 << int(CddbResultCode::ServerError);
        // 429 and 503 take the same branch; 503 is throttlingStopsFurtherRequests'.
        QTest::newRow("403") << 403 << int(CddbResultCode::Throttled);
        QTest::newRow("connection refused") << 0 << int(CddbResultCode::NetworkError);
        QTest::newRow("silent server") << -1 << int(CddbResultCode::Timeout);
        QTest::newRow("oversized answer") << -2 << int(CddbResultCode::BadResponse);
    }

    void failures() {
        QFETCH(int, status);
        QFETCH(int, code);
        CddbOptions options = loopback(status == 0 ? HttpStub::closedPort() : m_server->port());
        options.timeoutMs = status == -1 ? 300 : 5000;
        m_client->setOptions(options);
        m_server->setHandler([status](const HttpStubRequest&) {
            if (status == -1)
                return HttpStubReply::never();
            if (status == -2)
                return HttpStubReply::text(QByteArray(kCddbMaxResponseBytes + 10, 'x'));
            return HttpStubReply::text("<html>busy</html>", status, "Nope");
        });
        const CddbQueryResult r = m_client->queryAndWait(exampleToc());
        QCOMPARE(int(r.outcome.code), code);
        QCOMPARE(r.matchCode(), kMatchNone);
        QVERIFY(!r.outcome.message.isEmpty());
        QCOMPARE(m_client->pendingRequests(), 0);
        if (status > 0) {
            QCOMPARE(r.outcome.httpStatus, status);
            QVERIFY2(r.outcome.message.contains(QString::number(status)),
                     qPrintable(r.outcome.message));
            QCOMPARE(m_server->requests().size(), 1); // no retry
        }
    }

    void throttlingStopsFurtherRequests() {
        m_server->setHandler([](const HttpStubRequest&) {
            HttpStubReply reply = HttpStubReply::text("", 503, "Service Unavailable");
            reply.headers.append(qMakePair(QByteArray("Retry-After"), QByteArray("120")));
            return reply;
        });
        const CddbQueryResult first = m_client->queryAndWait(exampleToc());
        QCOMPARE(first.outcome.code, CddbResultCode::Throttled);
        QVERIFY2(first.outcome.message.contains(QStringLiteral("120")),
                 qPrintable(first.outcome.message));
        const CddbReadResult second = m_client->readAndWait("rock", "0c01a302");
        QCOMPARE(second.outcome.code, CddbResultCode::Throttled);
        QCOMPARE(m_server->requests().size(), 1); // the server was not asked again
    }

    void submitSendsHeadersAndRecord_data() {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<bool>("testMode");
        QTest::addColumn<int>("code");
        QTest::newRow("accepted") << QByteArray("200 CDDB submission OK\r\n") << false
                                  << int(CddbResultCode::Ok);
        QTest::newRow("test mode, refused")
            << QByteArray("500 Missing required header information.\r\n") << true
            << int(CddbResultCode::ServerError);
    }

    void submitSendsHeadersAndRecord() {
        QFETCH(QByteArray, answer);
        QFETCH(bool, testMode);
        QFETCH(int, code);
        CddbOptions options = loopback(m_server->port());
        options.testSubmissions = testMode;
        options.submitNote = QStringLiteral("Corrected\r\ntrack 2");
        m_client->setOptions(options);
        m_server->setHandler(
            [answer](const HttpStubRequest&) { return HttpStubReply::text(answer); });

        const CddbOutcome o = m_client->submitAndWait(editedDisc(), exampleToc());
        QCOMPARE(int(o.code), code);
        QCOMPARE(m_server->requests().size(), 1);
        const HttpStubRequest& req = m_server->requests().first();
        QCOMPARE(req.method, QByteArray("POST"));
        QCOMPARE(req.target, QByteArray("/~cddb/submit.cgi"));
        QCOMPARE(req.header("Category"), QByteArray("rock"));
        QCOMPARE(req.header("Discid"), QByteArray("0c01a302"));
        QCOMPARE(req.header("User-Email"), QByteArray("joe@example.org"));
        QCOMPARE(req.header("Submit-Mode"), testMode ? QByteArray("test") : QByteArray("submit"));
        QCOMPARE(req.header("Charset"), QByteArray("UTF-8"));
        QCOMPARE(req.header("X-Cddbd-Note"), QByteArray("Corrected  track 2"));
        QCOMPARE(req.header("Content-Length").toLongLong(), req.body.size());
        QCOMPARE(req.body, golden("cddb/submit-0c01a302.xmcd"));
    }

    // Refused for the address or the category; the record's own problems are
    // xmcdSubmissionProblem's (tst_cddbprotocol).
    void submitRefusedBeforeSending() {
        for (const auto& [email, category] :
             {std::pair{"joe", "rock"}, std::pair{"joe@example.org", "../x"}}) {
            CddbOptions options = loopback(m_server->port());
            options.email = QString::fromLatin1(email);
            m_client->setOptions(options);
            CddbDisc disc = editedDisc();
            disc.category = QString::fromLatin1(category);
            const CddbOutcome o = m_client->submitAndWait(disc, exampleToc());
            QCOMPARE(o.code, CddbResultCode::BadRequest);
            QVERIFY2(!o.message.isEmpty(), email);
        }
        QVERIFY(m_server->requests().isEmpty());
    }

    void proxyWithCredentials_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("code");
        QTest::newRow("right password") << "s3cret" << int(CddbResultCode::NoMatch);
        QTest::newRow("wrong password") << "guess" << int(CddbResultCode::NetworkError);
    }

    void proxyWithCredentials() {
        QFETCH(QString, password);
        QFETCH(int, code);
        CddbOptions options = loopback(80);
        options.server = QStringLiteral("cddb.invalid"); // only the proxy can reach it
        options.port = 0;
        options.proxyHost = QStringLiteral("127.0.0.1");
        options.proxyPort = m_server->port();
        options.proxyUser = QStringLiteral("ann");
        options.proxyPassword = password;
        m_client->setOptions(options);
        m_server->setHandler([](const HttpStubRequest& req) {
            if (req.header("Proxy-Authorization") !=
                "Basic " + QByteArray("ann:s3cret").toBase64()) {
                HttpStubReply reply = HttpStubReply::text("", 407, "Proxy Authentication Required");
                reply.headers.append(qMakePair(QByteArray("Proxy-Authenticate"),
                                               QByteArray("Basic realm=\"stub\"")));
                return reply;
            }
            return HttpStubReply::text("202 No match found\r\n");
        });
        const CddbQueryResult r = m_client->queryAndWait(exampleToc());
        QCOMPARE(int(r.outcome.code), code);
        QVERIFY(!m_server->requests().isEmpty());
        QVERIFY(m_server->requests().first().target.startsWith(
            "http://cddb.invalid/~cddb/cddb.cgi?cmd=cddb+query+0c01a302+"));
    }

    void cancelEndsWaitingRequests() {
        m_server->setHandler([](const HttpStubRequest&) { return HttpStubReply::never(); });
        CddbOptions options = loopback(m_server->port());
        options.passSpacingMs = 60000; // the second request waits for its slot
        m_client->setOptions(options);
        m_client->setPaced(true);
        QList<CddbResultCode> codes;
        for (int i = 0; i < 2; ++i)
            m_client->query(exampleToc(),
                            [&](const CddbQueryResult& r) { codes << r.outcome.code; });
        QVERIFY(m_server->waitForRequests(1));
        m_client->cancel();
        QCOMPARE(m_client->pendingRequests(), 0);
        QVERIFY(QTest::qWaitFor([&] { return codes.size() == 2; }, 5000));
        QCOMPARE(codes,
                 (QList<CddbResultCode>{CddbResultCode::Cancelled, CddbResultCode::Cancelled}));
        QCOMPARE(m_server->requests().size(), 1);
    }

    void resultsNeverArriveInsideTheCall() {
        bool called = false;
        m_client->query(CddbToc{}, [&](const CddbQueryResult& r) {
            called = true;
            QCOMPARE(r.outcome.code, CddbResultCode::BadRequest);
        });
        QVERIFY(!called);
        QVERIFY(QTest::qWaitFor([&] { return called; }, 2000));
        QVERIFY(m_server->requests().isEmpty());
    }

    void clientGoneWhileWaiting() {
        m_server->setHandler([](const HttpStubRequest&) { return HttpStubReply::never(); });
        // The owner deletes the client while a blocking lookup waits on it: the wait ends.
        QTimer::singleShot(100, this, [this] {
            delete m_client;
            m_client = nullptr;
        });
        CddbClient* client = m_client;
        const CddbQueryResult r = client->queryAndWait(exampleToc());
        QCOMPARE(r.outcome.code, CddbResultCode::Cancelled);
        QVERIFY(!m_client);
    }

private:
    HttpStub* m_server = nullptr;
    CddbClient* m_client = nullptr;
};

QTEST_GUILESS_MAIN(TestCddbClient)
#include "tst_cddbclient.moc"
