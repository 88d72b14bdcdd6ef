#include "common/testsupport.h"
#include "lookup/cddbpacer.h"
#include "lookup/cddbprotocol.h"
#include "lookup/cddbresult.h"
#include "lookup/xmcd.h"

#include <QTest>

using namespace tf;

using test::golden;

namespace {

// The two-track disc of the worked example: 0:02.00, 3:10.37, lead-out 7:01.12.
CddbToc exampleToc() {
    return *CddbToc::fromTocTimes({{0, 2, 0}, {3, 10, 37}, {7, 1, 12}});
}

} // namespace

class TestCddbProtocol : public QObject {
    Q_OBJECT
private slots:
    // The worked example from its times (its id, offsets and length are in the query URL below)
    // and from its text give the same disc.
    void tocFromTimesAndText() {
        const auto fromText = CddbToc::fromTocText(QStringLiteral("150 14287 31587"));
        QVERIFY(fromText);
        QCOMPARE(fromText->discId, exampleToc().discId);
        QCOMPARE(fromText->trackOffsets, exampleToc().trackOffsets);
        QCOMPARE(fromText->leadOut, exampleToc().leadOut);

        // Not a number, no track but the lead-out, the lead-out before track 1.
        for (const char* bad : {"150 abc 31587", "150", "31587 150"}) {
            QString why;
            QVERIFY2(!CddbToc::fromTocText(QString(bad), &why) && !why.isEmpty(), bad);
        }
    }

    void commandUrlsAreByteExact_data() {
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QByteArray>("url"); // up to the hello's user; our name and version follow
        QTest::newRow("query, default server")
            << "https" << 0 << "joe@example.org" << cddbQueryCommand(exampleToc())
            << QByteArray(
                   "https://gnudb.gnudb.org/~cddb/cddb.cgi?cmd=cddb+query+0c01a302+2+150+14287+"
                   "421&hello=joe+example.org");
        QTest::newRow("read, http with port, no e-mail")
            << "http" << 8880 << "" << cddbReadCommand("rock", "0c01a302")
            << QByteArray("http://gnudb.gnudb.org:8880/~cddb/cddb.cgi?cmd=cddb+read+rock+0c01a302&"
                          "hello=anonymous+localhost");
        // A '+' or '&' in the address must not split or end a word; blanks are dropped.
        QTest::newRow("address needing escapes")
            << "https" << 0 << " jo+e&x@ex ample.org" << cddbReadCommand("jazz", "00000001")
            << QByteArray("https://gnudb.gnudb.org/~cddb/cddb.cgi?cmd=cddb+read+jazz+00000001&"
                          "hello=jo%2Be%26x+example.org");
    }

    void commandUrlsAreByteExact() {
        QFETCH(QString, scheme);
        QFETCH(int, port);
        QFETCH(QString, email);
        QFETCH(QString, command);
        QFETCH(QByteArray, url);
        CddbOptions options;
        options.scheme = scheme;
        options.port = port;
        options.email = email;
        QCOMPARE(cddbCommandUrl(options, command).toEncoded(),
                 url + '+' + kCddbClientName + '+' + kCddbClientVersion + "&proto=6");
    }

    // The server's answers to a query, a read and a submission.
    void serverAnswers_data() {
        QTest::addColumn<QString>("asked"); // query, read or submit
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("cddbCode");
        QTest::addColumn<int>("matchCode");
        QTest::addColumn<QStringList>("matches"); // "category id artist|title|exact"
        const auto row = [](const char* name, const QByteArray& body, CddbResultCode code,
                            int cddbCode, int matchCode, const QStringList& matches = {}) {
            QTest::newRow(name) << "query" << body << int(code) << cddbCode << matchCode << matches;
        };
        const auto ok = CddbResultCode::Ok;
        row("200 exact", "200 rock 0c01a302 Motor / Live\r\n", ok, 200, kMatchExact,
            {"rock 0c01a302 Motor|Live|1"});
        row("210 one exact in a list",
            "210 Found exact matches, list follows (until terminating `.')\n"
            "misc 0c01a302 A / B\n.\n",
            ok, 210, kMatchExact, {"misc 0c01a302 A|B|1"});
        row("210 several exact",
            "210 Found exact matches\r\nrock 0c01a302 A / B\r\njazz 0C01A302 C / D\r\n.\r\n", ok,
            210, kMatchSeveral, {"rock 0c01a302 A|B|1", "jazz 0c01a302 C|D|1"});
        row("211 inexact, bad lines skipped",
            "211 Found inexact matches\nrock 0c01a399 Same Name\n../etc 0c01a302 Evil / Path\n"
            "rock 0c01a3 Short / Id\nclassical 0c01a301 Bach / Suites\n.\n",
            ok, 211, kMatchSeveral,
            {"rock 0c01a399 Same Name|Same Name|0", "classical 0c01a301 Bach|Suites|0"});
        row("211 single inexact still asks", "211 Found inexact matches\nrock 0c01a399 A / B\n.\n",
            ok, 211, kMatchSeveral, {"rock 0c01a399 A|B|0"});
        row("200 after a byte-order mark",
            "\xef\xbb\xbf"
            "200 rock 0c01a302 A / B\n",
            ok, 200, kMatchExact, {"rock 0c01a302 A|B|1"});
        row("202 none", "202 No match found\n", CddbResultCode::NoMatch, 202, kMatchNone);
        row("403 corrupt", "403 Database entry is corrupt\n", CddbResultCode::ServerError, 403,
            kMatchNone);
        row("list without end", "211 Found inexact matches\nrock 0c01a399 A / B\n",
            CddbResultCode::BadResponse, 211, kMatchNone);
        row("html page", "<html><body>Not here</body></html>", CddbResultCode::BadResponse, 0,
            kMatchNone);

        const QByteArray record = golden("cddb/rock-0c01a302.xmcd");
        QVERIFY(!record.isEmpty());
        const auto other = [](const char* name, const char* asked, const QByteArray& body,
                              CddbResultCode code) {
            QTest::newRow(name) << asked << body << int(code) << 0 << 0 << QStringList();
        };
        other("210 record", "read",
              "210 rock 0c01a302 CD database entry follows\n" + record + ".\n", CddbResultCode::Ok);
        other("401 not found", "read", "401 Specified CDDB entry not found.\n",
              CddbResultCode::NoMatch);
        other("record cut short", "read", "210 rock 0c01a302 follows\n" + record.left(120),
              CddbResultCode::BadResponse);
        other("not a record", "read", "210 rock 0c01a302 follows\nhello\n.\n",
              CddbResultCode::BadResponse);
        // An accepted and a refused submission: tst_cddbclient, through the loopback server.
        other("submission garbage", "submit", "OK!", CddbResultCode::BadResponse);
    }

    void serverAnswers() {
        QFETCH(QString, asked);
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(int, cddbCode);
        QFETCH(int, matchCode);
        QFETCH(QStringList, matches);
        if (asked == "submit") {
            QCOMPARE(int(parseCddbSubmitAnswer(body).code), code);
        } else if (asked == "read") {
            const CddbReadResult r = parseCddbReadAnswer(body, QStringLiteral("rock"));
            QCOMPARE(int(r.outcome.code), code);
            QCOMPARE(r.disc.category, QStringLiteral("rock"));
            if (r.outcome.ok())
                QCOMPARE(r.disc.discId(), QStringLiteral("0c01a302"));
        } else {
            const CddbQueryResult r = parseCddbQueryAnswer(body);
            QCOMPARE(int(r.outcome.code), code);
            QCOMPARE(r.outcome.cddbCode, cddbCode);
            QCOMPARE(r.matchCode(), matchCode);
            QStringList got;
            for (const CddbMatch& m : r.matches)
                got << QStringLiteral("%1 %2 %3|%4|%5")
                           .arg(m.category, m.discId, m.artist, m.title)
                           .arg(m.exact ? 1 : 0);
            QCOMPARE(got, matches);
            if (!r.outcome.ok())
                QVERIFY(!r.outcome.message.isEmpty());
        }
    }

    void hostileRecordStaysBounded() {
        QByteArray body = "DISCID=0c01a302\nDTITLE=A / B\nTTITLE4000000000=x\nTTITLE99=y\n"
                          "TTITLE98=last\nTTITLE0=first\x1b[31m\n#\tnot an offset\n";
        CddbDisc disc;
        QVERIFY(parseXmcd(body, &disc));
        QCOMPARE(disc.trackTitles.size(), kXmcdMaxTracks);
        QCOMPARE(disc.trackTitles.first(), QStringLiteral("first [31m"));
        QCOMPARE(disc.trackTitles.last(), QStringLiteral("last"));
        // Decoding and the record tests read UTF-8 and Latin-1; every control becomes a blank.
        QCOMPARE(sanitizeCddbText(decodeCddbText("a\tb\rc\x01"
                                                 "d\x7f"
                                                 "e\xc2\x85"
                                                 "f")),
                 QStringLiteral("a b c d e f"));
        QString why;
        QVERIFY(!parseXmcd(QByteArray("DTITLE=A / B\n"), &disc, &why));
        QVERIFY(why.contains(QStringLiteral("DISCID")));
        QVERIFY(!parseXmcd(QByteArray("DISCID=0c01a302\n"), &disc, &why));
        QVERIFY(why.contains(QStringLiteral("DTITLE")));
    }

    // The submission built from a record read holds every field read (ids, names, year, genre,
    // titles joined across lines, track notes, the revision after the one read), so one golden
    // file checks reading and building; only what the build takes from elsewhere is read here.
    void recordReadThenBuilt() {
        CddbDisc disc;
        QString why;
        QVERIFY2(parseXmcd(golden("cddb/rock-0c01a302.xmcd"), &disc, &why), qPrintable(why));
        QCOMPARE(disc.extendedData, QStringLiteral("Recorded live. Second line of notes"));
        QCOMPARE(disc.frameOffsets, (QList<int>{150, 14287}));
        QCOMPARE(disc.lengthSeconds, 421);
        disc.extendedData = QStringLiteral("Line one\nLine\ttwo \\ end");
        const QByteArray built = buildXmcd(disc, exampleToc(), nextXmcdRevision(disc));
        QCOMPARE(built, golden("cddb/submit-0c01a302.xmcd"));
        CddbDisc again;
        QVERIFY(parseXmcd(built, &again));
        QCOMPARE(again.trackTitles, disc.trackTitles);
        QCOMPARE(again.extendedData, QStringLiteral("Line one Line two \\ end"));
        QCOMPARE(nextXmcdRevision(CddbDisc::fromToc(exampleToc())), 0);

        // A record that is not UTF-8 reads as Latin-1.
        QVERIFY(parseXmcd(golden("cddb/misc-0c01a302-latin1.xmcd"), &disc));
        QCOMPARE(disc.artist, QStringLiteral("Bj\u00f6rk"));
        QCOMPARE(disc.trackTitles,
                 (QStringList{QStringLiteral("Caf\u00e9 \u00bfs\u00ed?"), "Bell Ring"}));
        QCOMPARE(disc.revision, 0);
    }

    void longValuesSplitAtLineLimit() {
        CddbDisc disc = CddbDisc::fromToc(exampleToc());
        disc.artist = QStringLiteral("A");
        disc.title = QStringLiteral("B");
        // Two-byte characters and escapes around the limit must not be cut in two.
        disc.trackTitles[0] =
            QString(300, QChar(0x00e9)) + QStringLiteral("\\\\\\") + QString(200, QLatin1Char('x'));
        disc.trackTitles[1] = QStringLiteral("short");
        const QByteArray built = buildXmcd(disc, exampleToc(), 0);
        int ttitle0Lines = 0;
        for (const QByteArray& line : built.split('\n')) {
            QVERIFY2(line.size() <= kXmcdMaxLineBytes, line.constData());
            QVERIFY(!decodeCddbText(line).contains(QChar(0xfffd)));
            if (line.startsWith("TTITLE0="))
                ++ttitle0Lines;
        }
        QVERIFY(ttitle0Lines >= 3);
        CddbDisc again;
        QVERIFY(parseXmcd(built, &again));
        QCOMPARE(again.trackTitles, disc.trackTitles);
    }

    void submissionProblems_data() {
        QTest::addColumn<QStringList>("artistTitleTracks");
        QTest::addColumn<bool>("refused");
        QTest::newRow("good") << QStringList{"A", "B", "One", "Track 2"} << false;
        QTest::newRow("no artist") << QStringList{"", "B", "One"} << true;
        QTest::newRow("default titles")
            << QStringList{"A", "B", "Track 1", "track 02", "TRACK3"} << true;
        QTest::newRow("empty titles") << QStringList{"A", "B", "", ""} << true;
    }

    void submissionProblems() {
        QFETCH(QStringList, artistTitleTracks);
        QFETCH(bool, refused);
        CddbDisc disc;
        disc.artist = artistTitleTracks.at(0);
        disc.title = artistTitleTracks.at(1);
        disc.trackTitles = artistTitleTracks.mid(2);
        QCOMPARE(!xmcdSubmissionProblem(disc).isEmpty(), refused);
    }

    void pacerSpacesSlots() {
        CddbPacer pacer(1000);
        QCOMPARE(pacer.reserve(5000), 0);    // the first request leaves at once
        QCOMPARE(pacer.reserve(5200), 800);  // 200 ms later it waits for 6000
        QCOMPARE(pacer.reserve(5300), 1700); // a third, queued behind it, for 7000
        QCOMPARE(pacer.reserve(9000), 0);    // after a quiet spell none waits
        QCOMPARE(pacer.reserve(9999), 1);
        pacer.reset();
        QCOMPARE(pacer.reserve(10000), 0);
        CddbPacer off(0);
        QCOMPARE(off.reserve(1), 0);
        QCOMPARE(off.reserve(1), 0);
    }

    void proxyPortFallsBack() {
        // How the proxy is used, with its log-in, is checked against the loopback server in
        // tst_cddbclient; here only what the options window can leave behind.
        CddbOptions options;
        QCOMPARE(cddbProxy(options).type(), QNetworkProxy::NoProxy);
        options.proxyHost = QStringLiteral("proxy.local");
        for (int port : {0, 70000}) { // empty, not a number or out of range in the window
            options.proxyPort = port;
            QCOMPARE(cddbProxy(options).port(), quint16(kCddbDefaultProxyPort));
        }
    }
};

QTEST_GUILESS_MAIN(TestCddbProtocol)
#include "tst_cddbprotocol.moc"
