#include "common/httpstub.h"
#include "common/testsupport.h"
#include "lookup/cddbclient.h"

#include <QTest>
#include <QTimer>

using namespace tf;
using test::HttpStub;
using test::HttpStubReply;
using test::HttpStubRequest;

namespace {

CddbToc exampleToc() {
    return *CddbToc::fromTocText(QStringLiteral("150 14287 31587"));
}

QByteArray golden(const QString& name) {
    return test::readAll(test::sourcePath(QStringLiteral("tests/data/cddb/") + name));
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

HttpStubReply readAnswer(const QByteArray& record) {
    return HttpStubReply::text("210 rock 0c01a302 CD database entry follows (until terminating "
                               "`.')\r\n" +
                               record + ".\r\n");
}

CddbDisc editedDisc() {
    CddbDisc disc;
    parseXmcd(golden(QStringLiteral("rock-0c01a302.xmcd")), &disc);
    disc.category = QStringLiteral("rock");
    disc.extendedData = QStringLiteral("Line one\nLine\ttwo \\ end");
    return disc;
}

} // namespace

class TestCddbClient : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void queryOverTheWire_data();
    void queryOverTheWire();
    void queryUrlAsReceived();
    void failures_data();
    void failures();
    void throttlingStopsFurtherRequests();
    void silentServerTimesOut();
    void readRecords_data();
    void readRecords();
    void submitSendsHeadersAndRecord_data();
    void submitSendsHeadersAndRecord();
    void submitRefusedBeforeSending_data();
    void submitRefusedBeforeSending();
    void pacedRequestsKeepTheirSpacing();
    void proxyWithCredentials_data();
    void proxyWithCredentials();
    void cancelEndsWaitingRequests();
    void oversizedAnswerIsRefused();
    void resultsNeverArriveInsideTheCall();
    void clientGoneWhileWaiting();

private:
    HttpStub* m_server = nullptr;
    CddbClient* m_client = nullptr;
};

void TestCddbClient::init() {
    m_server = new HttpStub(this);
    QVERIFY(m_server->listen());
    m_client = new CddbClient(this);
    m_client->setOptions(loopback(m_server->port()));
}

void TestCddbClient::cleanup() {
    delete m_client;
    delete m_server;
}

void TestCddbClient::queryOverTheWire_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("matchCode");
    QTest::addColumn<int>("count");
    QTest::newRow("200 exact") << QByteArray("200 rock 0c01a302 Motor / Live\r\n")
                               << int(CddbResultCode::Ok) << kMatchExact << 1;
    QTest::newRow("210 several exact")
        << QByteArray("210 Found exact matches, list follows (until terminating `.')\r\n"
                      "rock 0c01a302 A / B\r\nmisc 0c01a302 C / D\r\n.\r\n")
        << int(CddbResultCode::Ok) << kMatchSeveral << 2;
    QTest::newRow("211 inexact")
        << QByteArray("211 Found inexact matches, list follows (until terminating `.')\r\n"
                      "rock 0c01a399 A / B\r\n.\r\n")
        << int(CddbResultCode::Ok) << kMatchSeveral << 1;
    QTest::newRow("202 none") << QByteArray("202 No match for disc ID 0c01a302.\r\n")
                              << int(CddbResultCode::NoMatch) << kMatchNone << 0;
}

void TestCddbClient::queryOverTheWire() {
    QFETCH(QByteArray, body);
    QFETCH(int, code);
    QFETCH(int, matchCode);
    QFETCH(int, count);
    m_server->setHandler([body](const HttpStubRequest&) { return HttpStubReply::text(body); });
    const CddbQueryResult r = m_client->queryAndWait(exampleToc());
    QCOMPARE(int(r.outcome.code), code);
    QCOMPARE(r.outcome.httpStatus, 200);
    QCOMPARE(r.matchCode(), matchCode);
    QCOMPARE(r.matches.size(), count);
    QCOMPARE(m_client->pendingRequests(), 0);
}

void TestCddbClient::queryUrlAsReceived() {
    m_server->setHandler(
        [](const HttpStubRequest&) { return HttpStubReply::text("202 No match found\r\n"); });
    m_client->queryAndWait(exampleToc());
    QCOMPARE(m_server->requests().size(), 1);
    const HttpStubRequest& req = m_server->requests().first();
    QCOMPARE(req.method, QByteArray("GET"));
    QCOMPARE(req.target, QByteArray("/~cddb/cddb.cgi?cmd=cddb+query+0c01a302+2+150+14287+421&"
                                    "hello=joe+example.org+TrackFen+1.0.1&proto=6"));
    QCOMPARE(req.header("Host"), "127.0.0.1:" + QByteArray::number(m_server->port()));
    QCOMPARE(req.header("User-Agent"), QByteArray("TrackFen/1.0.1"));
}

void TestCddbClient::failures_data() {
    QTest::addColumn<int>("status"); // 0: nobody listens
    QTest::addColumn<int>("code");
    QTest::newRow("500") << 500 << int(CddbResultCode::ServerError);
    QTest::newRow("404") << 404 << int(CddbResultCode::ServerError);
    QTest::newRow("403") << 403 << int(CddbResultCode::Throttled);
    QTest::newRow("429") << 429 << int(CddbResultCode::Throttled);
    QTest::newRow("503") << 503 << int(CddbResultCode::Throttled);
    QTest::newRow("connection refused") << 0 << int(CddbResultCode::NetworkError);
}

void TestCddbClient::failures() {
    QFETCH(int, status);
    QFETCH(int, code);
    if (status == 0) {
        m_client->setOptions(loopback(HttpStub::closedPort()));
    } else {
        m_server->setHandler([status](const HttpStubRequest&) {
            return HttpStubReply::text("<html>busy</html>", status, "Nope");
        });
    }
    const CddbQueryResult r = m_client->queryAndWait(exampleToc());
    QCOMPARE(int(r.outcome.code), code);
    QCOMPARE(r.outcome.httpStatus, status);
    QCOMPARE(r.matchCode(), kMatchNone);
    QVERIFY(!r.outcome.message.isEmpty());
    if (status != 0) {
        QVERIFY2(r.outcome.message.contains(QString::number(status)),
                 qPrintable(r.outcome.message));
        QCOMPARE(m_server->requests().size(), 1); // no retry
    }
}

void TestCddbClient::throttlingStopsFurtherRequests() {
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

void TestCddbClient::silentServerTimesOut() {
    CddbOptions options = loopback(m_server->port());
    options.timeoutMs = 300;
    m_client->setOptions(options);
    m_server->setHandler([](const HttpStubRequest&) { return HttpStubReply::never(); });
    const CddbQueryResult r = m_client->queryAndWait(exampleToc());
    QCOMPARE(r.outcome.code, CddbResultCode::Timeout);
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_client->pendingRequests(), 0);
}

void TestCddbClient::readRecords_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("firstTrack");
    QTest::newRow("utf-8") << "rock-0c01a302.xmcd" << QStringLiteral("Mot\u00f6rhead Tribute")
                           << "A very long first title that goes on and on across two lines";
    QTest::newRow("latin-1") << "misc-0c01a302-latin1.xmcd" << QStringLiteral("Bj\u00f6rk")
                             << QStringLiteral("Caf\u00e9 \u00bfs\u00ed?");
}

void TestCddbClient::readRecords() {
    QFETCH(QString, file);
    QFETCH(QString, artist);
    QFETCH(QString, firstTrack);
    const QByteArray record = golden(file);
    QVERIFY(!record.isEmpty());
    m_server->setHandler([record](const HttpStubRequest&) { return readAnswer(record); });
    const CddbReadResult r = m_client->readAndWait("rock", "0C01A302");
    QVERIFY2(r.outcome.ok(), qPrintable(r.outcome.message));
    QCOMPARE(r.disc.category, QStringLiteral("rock"));
    QCOMPARE(r.disc.artist, artist);
    QCOMPARE(r.disc.trackTitles.value(0), firstTrack);
    QCOMPARE(m_server->requests().first().target,
             QByteArray("/~cddb/cddb.cgi?cmd=cddb+read+rock+0c01a302&"
                        "hello=joe+example.org+TrackFen+1.0.1&proto=6"));
}

void TestCddbClient::submitSendsHeadersAndRecord_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("testMode");
    QTest::addColumn<int>("code");
    QTest::newRow("accepted") << QByteArray("200 CDDB submission OK\r\n") << false
                              << int(CddbResultCode::Ok);
    QTest::newRow("test mode, refused")
        << QByteArray("500 Missing required header information.\r\n") << true
        << int(CddbResultCode::ServerError);
}

void TestCddbClient::submitSendsHeadersAndRecord() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, testMode);
    QFETCH(int, code);
    CddbOptions options = loopback(m_server->port());
    options.testSubmissions = testMode;
    options.submitNote = QStringLiteral("Corrected\r\ntrack 2");
    m_client->setOptions(options);
    m_server->setHandler([answer](const HttpStubRequest&) { return HttpStubReply::text(answer); });

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
    QCOMPARE(req.body, golden(QStringLiteral("submit-0c01a302.xmcd")));
}

void TestCddbClient::submitRefusedBeforeSending_data() {
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("artist");
    QTest::newRow("no e-mail") << ""
                               << "rock"
                               << "A";
    QTest::newRow("not an e-mail") << "joe"
                                   << "rock"
                                   << "A";
    QTest::newRow("unknown category") << "joe@example.org"
                                      << "../x"
                                      << "A";
    QTest::newRow("no artist") << "joe@example.org"
                               << "rock"
                               << "";
}

void TestCddbClient::submitRefusedBeforeSending() {
    QFETCH(QString, email);
    QFETCH(QString, category);
    QFETCH(QString, artist);
    CddbOptions options = loopback(m_server->port());
    options.email = email;
    m_client->setOptions(options);
    CddbDisc disc = editedDisc();
    disc.category = category;
    disc.artist = artist;
    const CddbOutcome o = m_client->submitAndWait(disc, exampleToc());
    QCOMPARE(o.code, CddbResultCode::BadRequest);
    QVERIFY(!o.message.isEmpty());
    QVERIFY(m_server->requests().isEmpty());
}

void TestCddbClient::pacedRequestsKeepTheirSpacing() {
    constexpr int kSpacing = 150;
    CddbOptions options = loopback(m_server->port());
    options.passSpacingMs = kSpacing;
    m_client->setOptions(options);
    m_server->setHandler(
        [](const HttpStubRequest&) { return HttpStubReply::text("202 No match found\r\n"); });
    int done = 0;
    // One request first, so that the paced ones all go over an open connection: the first
    // connection's set-up would otherwise delay only the first arrival and shrink its gap.
    m_client->query(exampleToc(), [&](const CddbQueryResult&) { ++done; });
    QVERIFY(QTest::qWaitFor([&] { return done == 1; }, 10000));
    const qsizetype first = m_server->requests().size();
    done = 0;
    {
        CddbPacedScope paced(*m_client);
        QVERIFY(m_client->isPaced());
        for (int i = 0; i < 3; ++i)
            m_client->query(exampleToc(), [&](const CddbQueryResult&) { ++done; });
        QVERIFY(QTest::qWaitFor([&] { return done == 3; }, 10000));
    }
    QVERIFY(!m_client->isPaced());
    const auto& reqs = m_server->requests();
    QCOMPARE(reqs.size(), first + 3);
    // Lower bounds only: the requests may arrive later, never sooner. A few milliseconds of
    // slack cover the clocks of the two ends.
    for (qsizetype i = first + 1; i < first + 3; ++i) {
        const qint64 gap = reqs.at(i).receivedAtMs - reqs.at(i - 1).receivedAtMs;
        QVERIFY2(gap >= kSpacing - 10, qPrintable(QString::number(gap)));
    }
}

void TestCddbClient::proxyWithCredentials_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("code");
    QTest::newRow("right password") << "s3cret" << int(CddbResultCode::NoMatch);
    QTest::newRow("wrong password") << "guess" << int(CddbResultCode::NetworkError);
}

void TestCddbClient::proxyWithCredentials() {
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
        if (req.header("Proxy-Authorization") != "Basic " + QByteArray("ann:s3cret").toBase64()) {
            HttpStubReply reply = HttpStubReply::text("", 407, "Proxy Authentication Required");
            reply.headers.append(
                qMakePair(QByteArray("Proxy-Authenticate"), QByteArray("Basic realm=\"stub\"")));
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

void TestCddbClient::cancelEndsWaitingRequests() {
    m_server->setHandler([](const HttpStubRequest&) { return HttpStubReply::never(); });
    CddbOptions options = loopback(m_server->port());
    options.passSpacingMs = 60000; // the second request waits for its slot
    m_client->setOptions(options);
    m_client->setPaced(true);
    QList<CddbResultCode> codes;
    for (int i = 0; i < 2; ++i)
        m_client->query(exampleToc(), [&](const CddbQueryResult& r) { codes << r.outcome.code; });
    QVERIFY(m_server->waitForRequests(1));
    m_client->cancel();
    QCOMPARE(m_client->pendingRequests(), 0);
    QVERIFY(QTest::qWaitFor([&] { return codes.size() == 2; }, 5000));
    QCOMPARE(codes, (QList<CddbResultCode>{CddbResultCode::Cancelled, CddbResultCode::Cancelled}));
    QCOMPARE(m_server->requests().size(), 1);
}

void TestCddbClient::oversizedAnswerIsRefused() {
    m_server->setHandler([](const HttpStubRequest&) {
        return readAnswer(QByteArray(kCddbMaxResponseBytes + 10, 'x'));
    });
    const CddbReadResult r = m_client->readAndWait("rock", "0c01a302");
    QCOMPARE(r.outcome.code, CddbResultCode::BadResponse);
}

void TestCddbClient::resultsNeverArriveInsideTheCall() {
    bool called = false;
    m_client->query(CddbToc{}, [&](const CddbQueryResult& r) {
        called = true;
        QCOMPARE(r.outcome.code, CddbResultCode::BadRequest);
    });
    QVERIFY(!called);
    QVERIFY(QTest::qWaitFor([&] { return called; }, 2000));
    QVERIFY(m_server->requests().isEmpty());
}

void TestCddbClient::clientGoneWhileWaiting() {
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

QTEST_GUILESS_MAIN(TestCddbClient)
#include "tst_cddbclient.moc"
