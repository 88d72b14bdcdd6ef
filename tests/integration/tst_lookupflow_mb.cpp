// MusicBrainz in the lookup flow: the order of the two databases, a MusicBrainz medium's
// titles reaching DISC<n>.txt (Windows-1252) and the changer, the offer to add a disc neither
// database knows, and the demo's lookup from the saved samples. MusicBrainz is a second HTTP stub
// on loopback serving replies of its shape (tests/data/musicbrainz); the reply parsing itself is
// tst_musicbrainz's.

#include "tst_lookupflow_fixture.h"

#include "store/discfile.h"

#include <QSignalSpy>
#include <QTest>

using namespace tf;
using namespace tf::test;

namespace {

// The two-track disc whose MusicBrainz replies the fixtures hold, kept in slot 1.
const QStringList kTwoTrackToc{"00:02:00", "03:10:37", "07:01:12"};

} // namespace

class TestLookupFlowMb : public QObject {
    Q_OBJECT
private slots:
    void orders_data();
    void orders();
    void demoDiscFound_data();
    void demoDiscFound();
};

void TestLookupFlowMb::orders_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("cddbKnows");
    QTest::addColumn<bool>("mbKnows");
    QTest::addColumn<int>("cddbRequests");
    QTest::addColumn<int>("mbRequests");
    QTest::addColumn<QString>("discTitle"); // empty: nothing written
    const int mbOnly = int(LookupOrder::MusicBrainzOnly);
    const int cddbThen = int(LookupOrder::CddbThenMusicBrainz);
    const int mbThen = int(LookupOrder::MusicBrainzThenCddb);
    const QString fromMb = "????? / ???? ? Café"; // Cyrillic and the star are not Windows-1252
    const QString fromCddb = "Loop / Back";
    QTest::newRow("CDDB only never asks MusicBrainz")
        << int(LookupOrder::CddbOnly) << false << true << 1 << 0 << QString();
    QTest::newRow("MusicBrainz only") << mbOnly << true << true << 0 << 1 << fromMb;
    QTest::newRow("CDDB first, MusicBrainz when it finds nothing")
        << cddbThen << false << true << 1 << 1 << fromMb;
    QTest::newRow("CDDB first and found") << cddbThen << true << true << 2 << 0 << fromCddb;
    QTest::newRow("MusicBrainz first, CDDB when it finds nothing")
        << mbThen << true << false << 2 << 2 << fromCddb;
    QTest::newRow("neither knows the disc") << mbThen << false << false << 1 << 2 << QString();
}

void TestLookupFlowMb::orders() {
    QFETCH(int, order);
    QFETCH(bool, cddbKnows);
    QFETCH(bool, mbKnows);
    QFETCH(int, cddbRequests);
    QFETCH(int, mbRequests);
    QFETCH(QString, discTitle);
    LookupRig rig;
    QVERIFY(rig.startAll({discRecord(1, kTwoTrackToc)}));
    if (cddbKnows)
        rig.cddb.answerExactly({"rock", "0c01a302", "Loop", "Back", {"Ping", "Pong"}});
    HttpStub mb;
    QVERIFY(mb.listen());
    const QByteArray reply =
        readAll(sourcePath(QStringLiteral("tests/data/musicbrainz/outside-1252.json")));
    mb.setHandler([&](const HttpStubRequest& r) {
        const bool byId = r.target.startsWith("/ws/2/discid/GrqabRjESEYSxYYLtHe_nsLpsyE-?");
        return mbKnows && byId ? HttpStubReply::text(reply) : HttpStubReply::text({}, 404, "No");
    });
    MbOptions options;
    options.order = LookupOrder(order);
    options.scheme = "http";
    options.server = "127.0.0.1";
    options.port = mb.port();
    options.spacingMs = 0;
    rig.musicBrainz.setOptions(options, rig.client.options());
    QSignalSpy browser(&rig.service, &CddbLookupService::openInBrowser);

    QCOMPARE(rig.service.Web_search_CDDB(1), !discTitle.isEmpty());
    QCOMPARE(rig.cddb.stub.requests().size(), cddbRequests);
    QCOMPARE(mb.requests().size(), mbRequests);
    const auto written = discfile::readDiscFile(rig.dataPath("DISC1.txt"));
    QCOMPARE(written.has_value(), !discTitle.isEmpty());
    if (written)
        QCOMPARE(written->discTitle, discTitle);
    // Only a disc neither database knows brings the offer to add it to MusicBrainz.
    const bool offered = discTitle.isEmpty() && order != int(LookupOrder::CddbOnly);
    QCOMPARE(browser.size(), offered ? 1 : 0);
    if (offered)
        QVERIFY(browser.first().first().toUrl().toString().contains("GrqabRjESEYSxYYLtHe"));
}

// The demo's lookup: the CDDB sample first, then MusicBrainz's saved replies, with no server
// to reach. Slot 199, the second disc of a set, starts at track 13: the record's first title is
// track 13's. Slot 120 is known to the saved replies alone.
void TestLookupFlowMb::demoDiscFound_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("discTitle");
    QTest::addColumn<int>("track");
    QTest::addColumn<QString>("trackTitle");
    QTest::newRow("CDDB sample") << 199 << "Orin Blackwell Trio / Complete Copper Room Sets, Disc 2"
                                 << 13 << "Velvet Shadows";
    QTest::newRow("MusicBrainz replies")
        << 120 << "Nadia Kovalenko / Night Trains of Lviv" << 4 << "Morning in Przemy?l";
}

void TestLookupFlowMb::demoDiscFound() {
    QFETCH(int, slot);
    QFETCH(QString, discTitle);
    QFETCH(int, track);
    QFETCH(QString, trackTitle);
    LookupRig rig; // no master file: the table comes from the changer
    QVERIFY(rig.start({}, sourcePath("resources/demo-library.json")));
    CddbOptions cddb;
    cddb.offlineFolder = sourcePath("resources/cddb-demo");
    cddb.offlineMode = CddbOptions::Offline::Instead;
    rig.client.setOptions(cddb);
    MbOptions mb;
    mb.order = LookupOrder::CddbThenMusicBrainz;
    mb.scheme = "http";
    mb.server = "127.0.0.1";
    mb.port = HttpStub::closedPort(); // nobody there: the sample folder must do
    mb.sampleFolder = sourcePath("resources/musicbrainz-demo");
    rig.musicBrainz.setOptions(mb, cddb);

    QVERIFY2(rig.service.Web_search_CDDB(slot), qPrintable(rig.ui.texts("error").join('|')));
    QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
    const auto file = discfile::readDiscFile(rig.dataPath(discfile::fileName(slot)));
    QVERIFY(file);
    QCOMPARE(file->discTitle, discTitle);
    QCOMPARE(file->trackTitles.value(track - file->numbers.minTno), trackTitle);
    const QJsonObject disc = rig.simDisc(slot);
    QCOMPARE(disc.value("memoryTitle").toString(), discTitle.left(25));
    QCOMPARE(disc.value("memoryTracks").toObject().value(QString::number(track)).toString(),
             trackTitle);
}

QTEST_GUILESS_MAIN(TestLookupFlowMb)
#include "tst_lookupflow_mb.moc"
