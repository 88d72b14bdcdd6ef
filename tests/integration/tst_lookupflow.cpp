// The lookup flow end to end: master file -> CDDB server and MusicBrainz on loopback (HTTP
// stubs, MusicBrainz serving replies of its shape from tests/data/musicbrainz) -> DISC<n>.txt ->
// titles in the changer (changer-sim); the offer to add a disc neither database knows; the
// demo's lookup from the saved samples.

#include "tst_lookupflow_fixture.h"

#include "base/catalogue.h"
#include "store/discfile.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using namespace tf::test;

namespace {

const QString kSlot1Id = cddbIdText(tocOf(1));

// The two-track disc whose MusicBrainz replies tests/data/musicbrainz holds, and its CDDB
// records.
const QStringList kTwoTrackToc{"00:02:00", "03:10:37", "07:01:12"};
const FakeRecord kLoopBack{"rock", "0c01a302", "Loop", "Back", {"Ping", "Pong"}};
const FakeRecord kOtherBand{"jazz", "0c01a302", "Other Band", "Back", {"Ping", "Pong"}};

const FakeRecord kSlot1{"rock", kSlot1Id, "The Loopbacks", "Localhost Live", {"a", "b", "c", "d"}};

QByteArray oldDiscFile() {
    return crlf({"DISC ID =", kSlot1Id, "DISC NO =", " 1 ", "MIN TNO =", " 1 ", "MAX TNO =", " 4 ",
                 "Disc Title =", "Old titles", "Track Title =", "a", "b", "c", "d"});
}

} // namespace

class TestLookupFlow : public QObject {
    Q_OBJECT
private slots:
    // Which database is asked in which order, the record taken, and what reaches DISC1.txt
    // (Windows-1252) and the changer. Which CDDB answer lines are exact matches is the protocol's
    // (tst_cddbprotocol), the MusicBrainz reply's parsing tst_musicbrainz's.
    void recordTaken_data() {
        QTest::addColumn<int>("order");
        QTest::addColumn<QByteArray>("cddbAnswer"); // to the query; empty: no match
        QTest::addColumn<bool>("mbKnows");
        QTest::addColumn<int>("cddbRequests");
        QTest::addColumn<int>("mbRequests");
        QTest::addColumn<QString>("discTitle"); // empty: nothing written
        const int cddbOnly = int(LookupOrder::CddbOnly);
        const int cddbThen = int(LookupOrder::CddbThenMusicBrainz);
        const int mbThen = int(LookupOrder::MusicBrainzThenCddb);
        const QByteArray exact = "200 " + FakeCddb::matchLine(kLoopBack) + "\r\n";
        const QString fromMb = "????? / ???? ? Café"; // Cyrillic and the star are not Windows-1252
        const QString fromCddb = "Loop / Back";
        // The user picks the second of the two.
        QTest::newRow("CDDB only, several matches")
            << cddbOnly
            << "210 Found matches, list follows\r\n" + FakeCddb::matchLine(kLoopBack) + "\r\n" +
                   FakeCddb::matchLine(kOtherBand) + "\r\n.\r\n"
            << true << 2 << 0 << "Other Band / Back";
        QTest::newRow("CDDB only never asks MusicBrainz")
            << cddbOnly << QByteArray() << true << 1 << 0 << QString();
        QTest::newRow("MusicBrainz only")
            << int(LookupOrder::MusicBrainzOnly) << exact << true << 0 << 1 << fromMb;
        QTest::newRow("CDDB first, MusicBrainz when it finds nothing")
            << cddbThen << QByteArray() << true << 1 << 1 << fromMb;
        QTest::newRow("CDDB first and found") << cddbThen << exact << true << 2 << 0 << fromCddb;
        QTest::newRow("MusicBrainz first, CDDB when it finds nothing")
            << mbThen << exact << false << 2 << 2 << fromCddb;
        QTest::newRow("neither knows the disc")
            << mbThen << QByteArray() << false << 1 << 2 << QString();
    }

    void recordTaken() {
        QFETCH(int, order);
        QFETCH(QByteArray, cddbAnswer);
        QFETCH(bool, mbKnows);
        QFETCH(int, cddbRequests);
        QFETCH(int, mbRequests);
        QFETCH(QString, discTitle);
        LookupRig rig;
        QVERIFY(rig.startAll({discRecord(1, kTwoTrackToc)}));
        rig.cddb.add(kLoopBack);
        rig.cddb.add(kOtherBand);
        if (!cddbAnswer.isEmpty())
            rig.cddb.queryAnswer = cddbAnswer;
        rig.chooser.picks = {1};
        HttpStub mb;
        QVERIFY(mb.listen());
        const QByteArray reply =
            readAll(sourcePath(QStringLiteral("tests/data/musicbrainz/outside-1252.json")));
        mb.setHandler([&](const HttpStubRequest& r) {
            const bool byId = r.target.startsWith("/ws/2/discid/GrqabRjESEYSxYYLtHe_nsLpsyE-?");
            return mbKnows && byId ? HttpStubReply::text(reply)
                                   : HttpStubReply::text({}, 404, "No");
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
        if (cddbRequests > 0)
            QVERIFY(rig.cddb.commands().first().startsWith("cddb query 0c01a302 2 150 "));
        QCOMPARE(mb.requests().size(), mbRequests);
        // Only several CDDB matches are put before the user.
        QCOMPARE(rig.chooser.offered.size(), cddbAnswer.startsWith("210") ? 1 : 0);
        const auto written = discfile::readDiscFile(rig.dataPath("DISC1.txt"));
        QCOMPARE(written.has_value(), !discTitle.isEmpty());
        if (written) {
            QCOMPARE(written->discTitle, discTitle);
            QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), discTitle.left(25));
        }
        // Only a disc neither database knows brings the offer to add it to MusicBrainz.
        const bool offered = discTitle.isEmpty() && order != int(LookupOrder::CddbOnly);
        QCOMPARE(browser.size(), offered ? 1 : 0);
        if (offered)
            QVERIFY(browser.first().first().toUrl().toString().contains("GrqabRjESEYSxYYLtHe"));
    }

    void nothingTaken_data() {
        QTest::addColumn<int>("status");        // the server's HTTP status
        QTest::addColumn<QByteArray>("answer"); // to the query
        QTest::addColumn<bool>("notFound");     // told so, the old titles parked
        const QByteArray id = kSlot1Id.toUtf8();
        QTest::newRow("none of these")
            << 200 << "211 close\r\n" + FakeCddb::matchLine(kSlot1) + "\r\n.\r\n"
            << false;
        // The picked line names no disc that can be read.
        QTest::newRow("unusable candidate")
            << 200 << "210 list\r\nrock " + id + " \r\nmisc " + id + " A / B\r\n.\r\n"
            << true;
        QTest::newRow("no match") << 200 << QByteArray("202 No match\r\n") << true;
        // The database said nothing about the disc: its titles stay.
        QTest::newRow("throttled") << 503 << QByteArray() << false;
    }

    void nothingTaken() {
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(bool, notFound);
        LookupRig rig;
        QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
        QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
        rig.cddb.status = status;
        rig.cddb.queryAnswer = answer;
        rig.chooser.picks = {notFound ? std::optional<int>(0) : std::nullopt};
        const int framesBefore = rig.simFramesReceived();

        QVERIFY(!rig.service.Web_search_CDDB(1));
        QCOMPARE(rig.cddb.stub.requests().size(), 1); // no read
        QCOMPARE(rig.simFramesReceived(), framesBefore);
        const QString parked = "t" + kSlot1Id + "._xt";
        if (notFound) {
            QCOMPARE(rig.ui.texts("error"), QStringList{msg(msgid::TitleDataNotFound)});
            QCOMPARE(rig.ui.shown.first().number, 0); // waits for the user
            QVERIFY(!QFile::exists(rig.dataPath("DISC1.txt")));
            QCOMPARE(readAll(rig.dataPath(parked)), oldDiscFile());
        } else {
            QCOMPARE(readAll(rig.dataPath("DISC1.txt")), oldDiscFile());
            QVERIFY(!QFile::exists(rig.dataPath(parked)));
            QCOMPARE(rig.ui.texts("message"),
                     status == 200 ? QStringList() : QStringList{rig.service.lastOutcome.message});
            QVERIFY(rig.ui.texts("error").isEmpty());
        }
    }

    void invalidTocSendsNothing() {
        LookupRig rig;
        // The lead-out lies before the first track.
        DiscRecord broken = discRecord(1, {"00:02:00", "04:00:10", "00:01:00"});
        QVERIFY(rig.startAll({broken}));
        QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));

        QVERIFY(!rig.service.Web_search_CDDB(1));
        QVERIFY(!rig.service.lookUpDisc(broken));
        QCOMPARE(rig.cddb.stub.requests().size(), 0);
        QCOMPARE(rig.ui.texts("error").size(), 2);
        QVERIFY(rig.ui.texts("error").first().startsWith(msg(msgid::TitleDataNotFound)));
        QCOMPARE(readAll(rig.dataPath("DISC1.txt")), oldDiscFile());
        QCOMPARE(rig.service.lastMatchCode, 0);
    }

    void sourceDecision_data() {
        QTest::addColumn<int>("noWebSearch");
        QTest::addColumn<int>("alwaysWebSearch");
        QTest::addColumn<int>("answer"); // to the question, when it is asked
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("searched");
        QTest::newRow("both set: no wins")
            << 1 << 1 << int(UserInterface::Answer::Yes) << false << false;
        QTest::newRow("always") << 0 << 1 << int(UserInterface::Answer::No) << false << true;
        QTest::newRow("ask, yes") << 0 << 0 << int(UserInterface::Answer::Yes) << true << true;
        QTest::newRow("ask, no") << 0 << 0 << int(UserInterface::Answer::No) << true << false;
    }

    void sourceDecision() {
        QFETCH(int, noWebSearch);
        QFETCH(int, alwaysWebSearch);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, searched);
        LookupRig rig;
        QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
        rig.cddb.answerExactly(kSlot1);
        rig.config.settings.noWebSearch = qint16(noWebSearch);
        rig.config.settings.alwaysWebSearch = qint16(alwaysWebSearch);
        rig.ui.answers = {UserInterface::Answer(answer)};

        QCOMPARE(rig.service.CD_TEXT_load_Not_CDDB(1), searched);
        QCOMPARE(rig.cddb.stub.requests().isEmpty(), !searched);
        const QStringList messages = rig.ui.texts("message");
        QCOMPARE(messages.contains(msg(325) + '\r' + msg(326)), asked);
        QCOMPARE(QFile::exists(rig.dataPath("DISC1.txt")), searched);
    }

    void cdTextDiscNeverGoesOnline() {
        LookupRig rig;
        QVERIFY(rig.startAll({discRecord(2, tocOf(2), kDiscInfoCdText)}));
        rig.config.settings.alwaysWebSearch = 1;

        QVERIFY(rig.service.CD_TEXT_load_Not_CDDB(2));
        QCOMPARE(rig.cddb.stub.requests().size(), 0);
        const auto content = discfile::readDiscFile(rig.dataPath("DISC2.txt"));
        QVERIFY(content);
        QVERIFY(content->discTitle.endsWith(QString("Chansons pour une ville endormie")));
        // The CD TEXT went back into the changer's memory, cut to 25 characters.
        QCOMPARE(rig.simDisc(2).value("memoryTitle").toString().size(), 25);
    }

    // The all-discs pass asks first (unless told not to search at all, or always to), passes over
    // CD TEXT discs and discs not found, keeps its requests apart, and ends at a throttled answer.
    void allDiscsPass() {
        LookupRig rig;
        QVERIFY(rig.startAll({discRecord(3, tocOf(3)), discRecord(2, tocOf(2), kDiscInfoCdText),
                              discRecord(1, tocOf(1))}));
        rig.cddb.answerExactly(kSlot1);
        rig.cddb.queryAnswers.insert(cddbIdText(tocOf(3)), "202 No match\r\n");
        // "No web search" wins over "always"; then the user, asked, says no.
        rig.config.settings.noWebSearch = 1;
        rig.config.settings.alwaysWebSearch = 1;
        rig.service.lookUpAllDiscs();
        rig.config.settings.noWebSearch = 0;
        rig.config.settings.alwaysWebSearch = 0;
        rig.ui.answers = {UserInterface::Answer::No, UserInterface::Answer::Yes};
        rig.service.lookUpAllDiscs();
        QCOMPARE(rig.cddb.stub.requests().size(), 0);
        QCOMPARE(rig.ui.texts("message"), QStringList{msg(326)});
        QVERIFY(rig.ui.texts("progress").isEmpty());

        rig.ui.shown.clear();
        rig.service.lookUpAllDiscs(); // and now yes
        const QStringList commands = rig.cddb.commands();
        QCOMPARE(commands.size(), 3);
        QVERIFY(commands.at(0).startsWith("cddb query " + cddbIdText(tocOf(3))));
        QVERIFY(commands.at(1).startsWith("cddb query " + kSlot1Id));
        QVERIFY(!commands.join('\n').contains(cddbIdText(tocOf(2))));
        // The not-found dialog closes by itself so that the pass goes on unattended.
        QCOMPARE(rig.ui.texts("error"), QStringList{msg(msgid::TitleDataNotFound)});
        for (const ScriptedUi::Shown& s : rig.ui.shown)
            if (s.kind == "error")
                QCOMPARE(s.number, 3);
        // The pass keeps its requests at least a second apart.
        const auto& requests = rig.cddb.stub.requests();
        for (int i = 1; i < requests.size(); ++i)
            QVERIFY2(requests.at(i).receivedAtMs - requests.at(i - 1).receivedAtMs >= 900,
                     qPrintable(QString::number(i)));
        QVERIFY(QFile::exists(rig.dataPath("DISC1.txt")));
        QCOMPARE(rig.ui.lastProgress.maximum, 3);
        QVERIFY(!rig.ui.progressOpen);
        QVERIFY(!rig.link.operationRunning());
        QVERIFY(!rig.client.isPaced());

        // Throttled: the first request ends the pass, with one message for the stop.
        rig.ui.shown.clear();
        rig.config.settings.alwaysWebSearch = 1;
        rig.cddb.status = 503;
        rig.service.lookUpAllDiscs();
        QCOMPARE(rig.cddb.stub.requests().size(), 4);
        QCOMPARE(rig.ui.texts("message"), QStringList{rig.service.lastOutcome.message});
        QVERIFY(rig.ui.texts("error").isEmpty());
        QVERIFY(!rig.ui.progressOpen);
    }

    void secondLookupDuringAWaitIsRefused() {
        LookupRig rig;
        QVERIFY(rig.start({}, sourcePath("resources/demo-library.json")));
        // Slot 6's record in two categories: the user has to choose.
        QTemporaryDir copy;
        const QByteArray record = readAll(sourcePath("resources/cddb-demo/jazz/ae0c130e"));
        QVERIFY(!record.isEmpty());
        for (const char* category : {"jazz", "misc"}) {
            QVERIFY(QDir().mkpath(copy.path() + '/' + category));
            QVERIFY(writeAll(copy.path() + '/' + category + "/ae0c130e", record));
        }
        rig.client.setOptions(offlineCddb(copy.path()));
        // While the choice is open, another lookup starts (as a nested event loop lets a timer or
        // another window do).
        std::optional<bool> nested;
        rig.chooser.whileOpen = [&] {
            nested = rig.service.Web_search_CDDB(199);
        };
        rig.chooser.picks = {0};

        QVERIFY(rig.service.Web_search_CDDB(6));
        QCOMPARE(nested, std::optional<bool>(false));
        QVERIFY(!QFile::exists(rig.dataPath("DISC199.txt")));
        // The state is the first lookup's, whole.
        QCOMPARE(rig.service.lastMatchCode, kMatchSeveral);
        QVERIFY(rig.service.currentDisc);
        QVERIFY(rig.service.currentDisc->discIds.contains("ae0c130e"));
        QCOMPARE(rig.service.lastLookup.identity.disc, quint8(6));
    }

    // The demo's lookup: the CDDB sample first, then MusicBrainz's saved replies, with no server
    // to reach. Slot 199, the second disc of a set, starts at track 13: the record's first title is
    // track 13's. Slot 120 is known to the saved replies alone.
    void demoDiscFound_data() {
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("discTitle");
        QTest::addColumn<int>("track");
        QTest::addColumn<QString>("trackTitle");
        QTest::newRow("CDDB sample")
            << 199 << "Orin Blackwell Trio / Complete Copper Room Sets, Disc 2" << 13
            << "Velvet Shadows";
        QTest::newRow("MusicBrainz replies")
            << 120 << "Nadia Kovalenko / Night Trains of Lviv" << 4 << "Morning in Przemy?l";
    }

    void demoDiscFound() {
        QFETCH(int, slot);
        QFETCH(QString, discTitle);
        QFETCH(int, track);
        QFETCH(QString, trackTitle);
        LookupRig rig; // no master file: the table comes from the changer
        QVERIFY(rig.start({}, sourcePath("resources/demo-library.json")));
        const CddbOptions cddb = offlineCddb(sourcePath("resources/cddb-demo"));
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
};

QTEST_GUILESS_MAIN(TestLookupFlow)
#include "tst_lookupflow.moc"
