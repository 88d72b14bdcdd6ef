// The offline copy of the CDDB database: lookups in a dump-layout folder, damaged and
// hostile files, the client consulting it before or instead of the server.

#include "common/httpstub.h"
#include "common/testsupport.h"
#include "lookup/cddbclient.h"
#include "lookup/offlinedb.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using test::HttpStub;
using test::HttpStubReply;
using test::HttpStubRequest;

namespace {

// Two tracks, lead-out at 3:00, filed under the id 0200b402.
CddbToc twoTracks() {
    CddbToc toc;
    toc.trackOffsets = {150, 7500};
    toc.leadOut = 13500;
    toc.discId = QStringLiteral("0200b402");
    return toc;
}

// Records of the disc in tests/data/cddb-offline: "exact" (its offsets), "moved" (track 2 a
// little later), "short" (one track) and "misfiled" (another disc's id inside), all by
// "Artist / Album", revision 3.
QByteArray record(const QString& kind) {
    return test::golden(QStringLiteral("cddb-offline/%1.xmcd").arg(kind));
}

bool put(const QString& root, const QString& relative, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(root + '/' + relative).absolutePath());
    return test::writeAll(root + '/' + relative, bytes);
}

} // namespace

class TestOfflineDb : public QObject {
    Q_OBJECT
private slots:
    void query_data() {
        // "category/id|kind", kind: exact, moved, short, misfiled or junk
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("matchCode");
        QTest::addColumn<QStringList>("categories");

        QTest::newRow("exact") << QStringList{"rock/0200b402|exact"} << kMatchExact
                               << QStringList{"rock"};
        QTest::newRow("none") << QStringList{"rock/0300b403|exact"} << kMatchNone << QStringList{};
        QTest::newRow("damaged beside a good one")
            << QStringList{"jazz/0200b402|junk", "rock/0200b402|exact"} << kMatchExact
            << QStringList{"rock"};
        QTest::newRow("other offsets: close match")
            << QStringList{"rock/0200b402|moved"} << kMatchSeveral << QStringList{"rock"};
        QTest::newRow("other track count: another disc")
            << QStringList{"rock/0200b402|short"} << kMatchNone << QStringList{};
        QTest::newRow("misfiled record")
            << QStringList{"rock/0200b402|misfiled"} << kMatchNone << QStringList{};
        QTest::newRow("two categories: the user chooses")
            << QStringList{"rock/0200b402|exact", "misc/0200b402|exact"} << kMatchSeveral
            << QStringList{"misc", "rock"};
        QTest::newRow("folder that is not a category is never read")
            << QStringList{"Rock Music/0200b402|exact", "..x/0200b402|exact"} << kMatchNone
            << QStringList{};
    }

    void query() {
        QFETCH(QStringList, files);
        QFETCH(int, matchCode);
        QFETCH(QStringList, categories);
        QTemporaryDir dir;
        for (const QString& f : files) {
            const QString kind = f.section('|', 1);
            QVERIFY(
                put(dir.path(), f.section('|', 0, 0),
                    kind == "junk" ? QByteArray("\x00\x01garbage\r\n=\r\n", 14) : record(kind)));
        }
        const CddbQueryResult result = OfflineCddb(dir.path()).query(twoTracks());
        QCOMPARE(result.matchCode(), matchCode);
        QStringList found;
        for (const CddbMatch& m : result.matches)
            found << m.category;
        QCOMPARE(found, categories);
        if (matchCode == kMatchNone) {
            QCOMPARE(result.outcome.code, CddbResultCode::NoMatch);
        } else {
            QCOMPARE(result.matches.first().artist, QString("Artist"));
            const CddbReadResult read = OfflineCddb(dir.path()).read(found.first(), "0200b402");
            QVERIFY(read.outcome.ok());
            QCOMPARE(read.disc.title, QString("Album"));
            QCOMPARE(read.disc.trackTitles, (QStringList{"Song 1", "Song 2"}));
            QCOMPARE(read.disc.revision, 3);
        }
    }

    void readRejectsCraftedNamesAndOversizedRecords() {
        QTemporaryDir dir;
        QVERIFY(put(dir.path(), "rock/0200b402", record("exact")));
        // A secret beside the folder that a crafted name would reach.
        QVERIFY(put(dir.path(), "secret", record("exact")));
        const OfflineCddb db(dir.path() + "/rock");
        for (const auto& [category, id] : QList<QPair<QString, QString>>{
                 {"..", "secret"}, {"../rock", "0200b402"}, {"rock", "../../x"}, {"", "0200b402"}})
            QCOMPARE(db.read(category, id).outcome.code, CddbResultCode::BadRequest);
        QCOMPARE(OfflineCddb(dir.path()).read("jazz", "0200b402").outcome.code,
                 CddbResultCode::NoMatch);

        // An oversized record is refused, both read and queried.
        QByteArray big = record("exact");
        big += "EXTD=" + QByteArray(kCddbMaxResponseBytes, 'x') + '\n';
        QVERIFY(put(dir.path(), "rock/0200b402", big));
        QCOMPARE(OfflineCddb(dir.path()).read("rock", "0200b402").outcome.code,
                 CddbResultCode::BadResponse);
        QCOMPARE(OfflineCddb(dir.path()).query(twoTracks()).matchCode(), kMatchNone);
    }

    void clientUsesCopy_data() {
        QTest::addColumn<bool>("instead");
        QTest::addColumn<bool>("inCopy");
        QTest::addColumn<int>("matchCode");
        QTest::addColumn<int>("serverRequests");

        // (Instead, in the copy, with no server: tst_lookupflow's demo disc.)
        QTest::newRow("before, in the copy") << false << true << kMatchExact << 0;
        QTest::newRow("before, not in the copy: server") << false << false << kMatchExact << 2;
        QTest::newRow("instead, not in the copy: no server") << true << false << kMatchNone << 0;
    }

    void clientUsesCopy() {
        QFETCH(bool, instead);
        QFETCH(bool, inCopy);
        QFETCH(int, matchCode);
        QFETCH(int, serverRequests);

        QTemporaryDir dir;
        if (inCopy)
            QVERIFY(put(dir.path(), "folk/0200b402", record("exact")));
        HttpStub stub;
        stub.setHandler([](const HttpStubRequest& r) {
            if (r.target.contains("query"))
                return HttpStubReply::text("200 rock 0200b402 Server / Disc\r\n");
            return HttpStubReply::text("210 rock 0200b402\r\nDISCID=0200b402\r\nDTITLE=Server / "
                                       "Disc\r\nTTITLE0=a\r\nTTITLE1=b\r\n.\r\n");
        });
        QVERIFY(stub.listen());

        CddbOptions options;
        options.scheme = "http";
        options.server = "127.0.0.1";
        options.port = stub.port();
        options.offlineFolder = dir.path();
        options.offlineMode =
            instead ? CddbOptions::Offline::Instead : CddbOptions::Offline::Before;
        CddbClient client;
        client.setOptions(options);

        const CddbQueryResult query = client.queryAndWait(twoTracks());
        QCOMPARE(query.matchCode(), matchCode);
        if (matchCode == kMatchExact) {
            const CddbMatch m = query.matches.first();
            const CddbReadResult read = client.readAndWait(m.category, m.discId);
            QVERIFY2(read.outcome.ok(), qPrintable(read.outcome.message));
            QCOMPARE(read.disc.artist, inCopy ? QString("Artist") : QString("Server"));
        }
        QCOMPARE(int(stub.requests().size()), serverRequests);
    }
};

QTEST_GUILESS_MAIN(TestOfflineDb)
#include "tst_offlinedb.moc"
