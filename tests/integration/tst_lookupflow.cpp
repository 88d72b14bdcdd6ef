// The lookup flow end to end: master file -> CDDB server on loopback -> DISC<n>.txt ->
// titles in the changer (changer-sim).

#include "tst_lookupflow_fixture.h"

#include "base/catalogue.h"
#include "store/discfile.h"

#include <QDir>
#include <QTest>

using namespace tf;
using namespace tf::test;

namespace {

const QString kSlot1Id = cddbIdText(kSlot1Toc);

FakeRecord slot1Record(const QString& category = QStringLiteral("rock")) {
    return {category,
            kSlot1Id,
            QStringLiteral("The Loopbacks"),
            QStringLiteral("Localhost Live"),
            {QStringLiteral("Ping"), QStringLiteral("Pong"), QStringLiteral("Échappé"),
             QStringLiteral("A track title that is longer than the changer keeps")}};
}

QByteArray oldDiscFile() {
    return crlf({"DISC ID =", kSlot1Id, "DISC NO =", " 1 ", "MIN TNO =", " 1 ", "MAX TNO =", " 4 ",
                 "Disc Title =", "Old titles", "Track Title =", "a", "b", "c", "d"});
}

} // namespace

class TestLookupFlow : public QObject {
    Q_OBJECT
private slots:
    void exactMatchWritesAndUploads();
    void discWithoutMasterBlockComesFromChanger();
    void severalMatchesUserPicks_data();
    void severalMatchesUserPicks();
    void noneOfTheseWritesNothing();
    void unusableCandidateIsNotFound();
    void noMatchParksAndTells();
    void throttledLeavesFileAlone();
    void invalidTocSendsNothing();
    void sourceDecision_data();
    void sourceDecision();
    void cdTextDiscNeverGoesOnline();
    void passLooksUpEveryDiscPaced();
    void passStopsWhenThrottled();
    void passHonoursNoWebSearch();
};

void TestLookupFlow::exactMatchWritesAndUploads() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    rig.cddb.add(slot1Record());
    rig.cddb.queryAnswer = "200 " + FakeCddb::matchLine(slot1Record()) + "\r\n";

    QVERIFY(rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.cddb.commands().size(), 2);
    QVERIFY(rig.cddb.commands().at(0).startsWith("cddb query " + kSlot1Id + " 4 150 "));
    QCOMPARE(rig.cddb.commands().at(1), "cddb read rock " + kSlot1Id);
    QVERIFY(rig.chooser.offered.isEmpty());

    const auto content = discfile::readDiscFile(rig.dataPath("DISC1.txt"));
    QVERIFY(content);
    QCOMPARE(content->idText, kSlot1Id);
    QCOMPARE(content->discTitle, QString("The Loopbacks / Localhost Live"));
    // "É" fits the file's code page and is kept.
    QCOMPARE(content->trackTitles.size(), 4);
    QCOMPARE(content->trackTitles.at(2), QString("Échappé"));

    const QJsonObject disc = rig.simDisc(1);
    QCOMPARE(disc.value("memoryTitle").toString(), QString("The Loopbacks / Localhost"));
    QCOMPARE(disc.value("memoryTracks").toObject().value("1").toString(), QString("Ping"));
    QCOMPARE(disc.value("memoryTracks").toObject().value("4").toString(),
             QString("A track title that is lon"));

    QCOMPARE(rig.service.matchCode, kMatchExact);
    QCOMPARE(rig.service.lastMatchCode, kMatchExact);
    QVERIFY(rig.service.currentDisc);
    QCOMPARE(rig.service.lastLookup.identity.disc, quint8(1));
    QCOMPARE(rig.service.tocText.split(' ').size(), 5);
}

void TestLookupFlow::discWithoutMasterBlockComesFromChanger() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    rig.cddb.add(slot1Record());
    rig.cddb.queryAnswer = "200 " + FakeCddb::matchLine(slot1Record()) + "\r\n";
    // No discdata.txt yet (the first load of a disc): the table comes from the changer.
    QVERIFY(rig.service.Web_search_CDDB(1));
    QVERIFY(rig.cddb.commands().value(0).startsWith("cddb query " + kSlot1Id + " 4 150 "));
    QCOMPARE(discfile::readDiscTitle(rig.dataPath("DISC1.txt")).value_or(QString()),
             QString("The Loopbacks / Localhost Live"));
    QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
}

void TestLookupFlow::severalMatchesUserPicks_data() {
    QTest::addColumn<QByteArray>("answerCode");
    QTest::addColumn<bool>("exact");
    QTest::newRow("several exact") << QByteArray("210") << true;
    QTest::newRow("inexact") << QByteArray("211") << false;
}

void TestLookupFlow::severalMatchesUserPicks() {
    QFETCH(QByteArray, answerCode);
    QFETCH(bool, exact);
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    FakeRecord jazz = slot1Record("jazz");
    jazz.artist = "Other Band";
    rig.cddb.add(slot1Record());
    rig.cddb.add(jazz);
    rig.cddb.queryAnswer = answerCode + " Found matches, list follows\r\n" +
                           FakeCddb::matchLine(slot1Record()) + "\r\n" + FakeCddb::matchLine(jazz) +
                           "\r\n.\r\n";
    rig.chooser.picks = {1};

    QVERIFY(rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.chooser.offered.size(), 1);
    const QList<CddbMatch> offered = rig.chooser.offered.first();
    QCOMPARE(offered.size(), 2);
    QCOMPARE(offered.at(1).category, QString("jazz"));
    QCOMPARE(offered.at(0).exact, exact);
    QCOMPARE(rig.cddb.commands().last(), "cddb read jazz " + kSlot1Id);
    QCOMPARE(discfile::readDiscTitle(rig.dataPath("DISC1.txt")).value_or(QString()),
             QString("Other Band / Localhost Live"));
    QCOMPARE(rig.service.lastMatchCode, kMatchSeveral);
}

void TestLookupFlow::noneOfTheseWritesNothing() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
    rig.cddb.queryAnswer =
        "211 close matches\r\n" + FakeCddb::matchLine(slot1Record()) + "\r\n.\r\n";
    rig.chooser.picks = {std::nullopt};
    const int framesBefore = rig.simFramesReceived();

    QVERIFY(!rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.chooser.offered.size(), 1);
    QCOMPARE(rig.cddb.commands().size(), 1); // no read
    QCOMPARE(rig.readData("DISC1.txt"), oldDiscFile());
    QVERIFY(!QFile::exists(rig.dataPath("t" + kSlot1Id + "._xt")));
    QVERIFY(rig.ui.shown.isEmpty());
    QCOMPARE(rig.simFramesReceived(), framesBefore);
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), QString("Memory Disc"));
}

void TestLookupFlow::unusableCandidateIsNotFound() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    rig.cddb.queryAnswer = "210 list\r\nrock " + kSlot1Id.toUtf8() + " \r\nmisc " +
                           kSlot1Id.toUtf8() + " A / B\r\n.\r\n";
    rig.chooser.picks = {0};
    QVERIFY(!rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.cddb.commands().size(), 1);
    QCOMPARE(rig.ui.texts("error"), QStringList{msg(msgid::TitleDataNotFound)});
}

void TestLookupFlow::noMatchParksAndTells() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
    const int framesBefore = rig.simFramesReceived();

    QVERIFY(!rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.ui.shown.size(), 1);
    QCOMPARE(rig.ui.shown.first().kind, QString("error"));
    QCOMPARE(rig.ui.shown.first().text, QString("Title Data is not found"));
    QCOMPARE(rig.ui.shown.first().title, QString("READ DISC Number : 1"));
    QCOMPARE(rig.ui.shown.first().number, 0); // waits for the user
    // The old titles are parked under the disc's id, not lost.
    QVERIFY(!QFile::exists(rig.dataPath("DISC1.txt")));
    QFile parked(rig.dataPath("t" + kSlot1Id + "._xt"));
    QVERIFY(parked.open(QIODevice::ReadOnly));
    QCOMPARE(parked.readAll(), oldDiscFile());
    QCOMPARE(rig.simFramesReceived(), framesBefore);
    QCOMPARE(rig.service.lastMatchCode, kMatchNone);
}

void TestLookupFlow::throttledLeavesFileAlone() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
    rig.cddb.status = 503;

    QVERIFY(!rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.cddb.stub.requests().size(), 1);
    QCOMPARE(rig.service.lastOutcome.code, CddbResultCode::Throttled);
    QCOMPARE(rig.ui.shown.size(), 1);
    QCOMPARE(rig.ui.shown.first().kind, QString("message"));
    QCOMPARE(rig.ui.shown.first().text, rig.service.lastOutcome.message);
    QVERIFY(!rig.service.lastOutcome.message.isEmpty());
    // The database said nothing about the disc: its titles stay.
    QCOMPARE(rig.readData("DISC1.txt"), oldDiscFile());
    QCOMPARE(rig.service.lastMatchCode, kMatchNone);
}

void TestLookupFlow::invalidTocSendsNothing() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    // The lead-out lies before the first track.
    DiscRecord broken = discRecord(1, {"00:02:00", "04:00:10", "00:01:00"});
    QVERIFY(rig.writeMaster({broken}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));

    QVERIFY(!rig.service.Web_search_CDDB(1));
    QVERIFY(!rig.service.lookUpDisc(broken));
    QCOMPARE(rig.cddb.stub.requests().size(), 0);
    QCOMPARE(rig.ui.texts("error").size(), 2);
    QVERIFY(rig.ui.texts("error").first().startsWith(msg(msgid::TitleDataNotFound)));
    QCOMPARE(rig.readData("DISC1.txt"), oldDiscFile());
    QCOMPARE(rig.service.lastMatchCode, 0);
}

void TestLookupFlow::sourceDecision_data() {
    QTest::addColumn<int>("noWebSearch");
    QTest::addColumn<int>("alwaysWebSearch");
    QTest::addColumn<int>("answer"); // to the question, when it is asked
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("searched");
    QTest::newRow("no web search") << 1 << 0 << int(UserInterface::Answer::Yes) << false << false;
    QTest::newRow("both set: no wins")
        << 1 << 1 << int(UserInterface::Answer::Yes) << false << false;
    QTest::newRow("always") << 0 << 1 << int(UserInterface::Answer::No) << false << true;
    QTest::newRow("ask, yes") << 0 << 0 << int(UserInterface::Answer::Yes) << true << true;
    QTest::newRow("ask, no") << 0 << 0 << int(UserInterface::Answer::No) << true << false;
}

void TestLookupFlow::sourceDecision() {
    QFETCH(int, noWebSearch);
    QFETCH(int, alwaysWebSearch);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, searched);
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    rig.cddb.add(slot1Record());
    rig.cddb.queryAnswer = "200 " + FakeCddb::matchLine(slot1Record()) + "\r\n";
    rig.config.settings.noWebSearch = qint16(noWebSearch);
    rig.config.settings.alwaysWebSearch = qint16(alwaysWebSearch);
    rig.ui.answers = {UserInterface::Answer(answer)};

    QCOMPARE(rig.service.CD_TEXT_load_Not_CDDB(1), searched);
    QCOMPARE(rig.cddb.stub.requests().isEmpty(), !searched);
    const QStringList messages = rig.ui.texts("message");
    QCOMPARE(messages.contains(msg(325) + '\r' + msg(326)), asked);
    QCOMPARE(QFile::exists(rig.dataPath("DISC1.txt")), searched);
}

void TestLookupFlow::cdTextDiscNeverGoesOnline() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(2, kSlot2Toc, kDiscInfoCdText)}));
    rig.config.settings.alwaysWebSearch = 1;

    QVERIFY(rig.service.CD_TEXT_load_Not_CDDB(2));
    QCOMPARE(rig.cddb.stub.requests().size(), 0);
    const auto content = discfile::readDiscFile(rig.dataPath("DISC2.txt"));
    QVERIFY(content);
    QVERIFY(content->discTitle.endsWith(QString("Chansons pour une ville endormie")));
    QCOMPARE(content->trackTitles.size(), 3);
    QVERIFY(!QFile::exists(rig.programPath("tempcdt.txt")));
    // The CD TEXT went back into the changer's memory, cut to 25 characters.
    QCOMPARE(rig.simDisc(2).value("memoryTitle").toString().size(), 25);
}

void TestLookupFlow::passLooksUpEveryDiscPaced() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    // Disc 2 carries CD TEXT and is skipped; disc 3 is not found, and the pass goes on with
    // disc 1.
    QVERIFY(rig.writeMaster({discRecord(3, kSlot3Toc), discRecord(2, kSlot2Toc, kDiscInfoCdText),
                             discRecord(1, kSlot1Toc)}));
    rig.cddb.add(slot1Record());
    rig.cddb.queryAnswer = "200 " + FakeCddb::matchLine(slot1Record()) + "\r\n";
    rig.cddb.queryAnswers.insert(cddbIdText(kSlot3Toc), "202 No match\r\n");
    rig.config.settings.alwaysWebSearch = 1;

    rig.service.lookUpAllDiscs();
    const QStringList commands = rig.cddb.commands();
    QCOMPARE(commands.size(), 3);
    QVERIFY(commands.at(0).startsWith("cddb query " + cddbIdText(kSlot3Toc)));
    QVERIFY(commands.at(1).startsWith("cddb query " + kSlot1Id));
    QVERIFY(!commands.join('\n').contains(cddbIdText(kSlot2Toc)));
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
    QCOMPARE(rig.ui.lastProgress.caption, msg(448));
    QCOMPARE(rig.ui.lastProgress.maximum, 3);
    QVERIFY(!rig.ui.progressOpen);
    QVERIFY(!rig.service.readAllLookup);
    QVERIFY(!rig.link.operationRunning());
    QVERIFY(!rig.client.isPaced());
}

void TestLookupFlow::passStopsWhenThrottled() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster(
        {discRecord(1, kSlot1Toc), discRecord(3, kSlot3Toc), discRecord(6, kSlot1Toc)}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
    rig.cddb.status = 503;
    rig.ui.answers = {UserInterface::Answer::Yes}; // to "search the Internet?"

    rig.service.lookUpAllDiscs();
    QCOMPARE(rig.cddb.stub.requests().size(), 1);
    QCOMPARE(rig.ui.texts("message").first(), msg(326));
    const QStringList messages = rig.ui.texts("message");
    QCOMPARE(messages.size(), 2); // the question and one message for the stop
    QCOMPARE(messages.last(), rig.service.lastOutcome.message);
    QVERIFY(rig.ui.texts("error").isEmpty());
    QCOMPARE(rig.readData("DISC1.txt"), oldDiscFile());
    QVERIFY(!rig.ui.progressOpen);
}

void TestLookupFlow::passHonoursNoWebSearch() {
    LookupRig rig;
    QVERIFY(rig.startAll());
    QVERIFY(rig.writeMaster({discRecord(1, kSlot1Toc)}));
    rig.config.settings.noWebSearch = 1;
    rig.config.settings.alwaysWebSearch = 1;
    rig.service.lookUpAllDiscs();
    rig.config.settings.noWebSearch = 0;
    rig.config.settings.alwaysWebSearch = 0;
    rig.ui.answers = {UserInterface::Answer::No};
    rig.service.lookUpAllDiscs();
    QCOMPARE(rig.cddb.stub.requests().size(), 0);
    QCOMPARE(rig.ui.texts("message"), QStringList{msg(326)});
    QVERIFY(rig.ui.texts("progress").isEmpty());
}

QTEST_GUILESS_MAIN(TestLookupFlow)
#include "tst_lookupflow.moc"
