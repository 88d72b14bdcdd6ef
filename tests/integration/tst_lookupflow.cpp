// The lookup flow end to end: master file -> CDDB server on loopback -> DISC<n>.txt ->
// titles in the changer (changer-sim); every disc of the demo library has its record in the
// bundled sample database (the demo's lookup itself is tst_lookupflow_mb's).

#include "tst_lookupflow_fixture.h"

#include "base/catalogue.h"
#include "lookup/mbdiscid.h"
#include "lookup/offlinedb.h"
#include "sim/simlibrary.h"
#include "store/discfile.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using namespace tf::test;

namespace {

const QString kSlot1Id = cddbIdText(tocOf(1));

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

CddbOptions copyInstead(const QString& folder) {
    CddbOptions options;
    options.scheme = "http";
    options.server = "127.0.0.1";
    options.port = HttpStub::closedPort(); // nobody there: the copy must do
    options.offlineFolder = folder;
    options.offlineMode = CddbOptions::Offline::Instead;
    return options;
}

// A user who, while the candidate choice is open, starts another lookup (as a nested event
// loop lets a timer or another window do), then picks the first candidate.
class ReentrantChooser : public LookupChooser {
public:
    CddbLookupService* service = nullptr;
    std::optional<bool> nested;
    std::optional<int> chooseCandidate(const QList<CddbMatch>&) override {
        nested = service->Web_search_CDDB(199);
        return 0;
    }
    bool showDiscInfo(CddbDisc&, bool) override { return false; }
};

} // namespace

class TestLookupFlow : public QObject {
    Q_OBJECT
private slots:
    void exactMatchWritesAndUploads();
    void severalMatchesUserPicks();
    void nothingTaken_data();
    void nothingTaken();
    void invalidTocSendsNothing();
    void sourceDecision_data();
    void sourceDecision();
    void cdTextDiscNeverGoesOnline();
    void passLooksUpEveryDiscPaced();
    void passStopsWhenThrottled();
    void passHonoursNoWebSearch();
    void demoRecordsCoverTheDemoLibrary();
    void secondLookupDuringAWaitIsRefused();
};

void TestLookupFlow::exactMatchWritesAndUploads() {
    LookupRig rig;
    QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
    rig.cddb.answerExactly(slot1Record());

    QVERIFY(rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.cddb.commands().size(), 2);
    QVERIFY(rig.cddb.commands().at(0).startsWith("cddb query " + kSlot1Id + " 4 150 "));
    QCOMPARE(rig.cddb.commands().at(1), "cddb read rock " + kSlot1Id);
    QVERIFY(rig.chooser.offered.isEmpty());

    const auto content = discfile::readDiscFile(rig.dataPath("DISC1.txt"));
    QVERIFY(content);
    QCOMPARE(content->discTitle, QString("The Loopbacks / Localhost Live"));
    QCOMPARE(content->trackTitles.value(2), QString("Échappé"));
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), QString("The Loopbacks / Localhost"));
    QCOMPARE(rig.service.lastMatchCode, kMatchExact);
}

// Which answer lines are exact matches is the protocol's (tst_cddbprotocol); here the user's
// pick is the disc that is read.
void TestLookupFlow::severalMatchesUserPicks() {
    LookupRig rig;
    QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
    FakeRecord jazz = slot1Record("jazz");
    jazz.artist = "Other Band";
    rig.cddb.add(slot1Record());
    rig.cddb.add(jazz);
    rig.cddb.queryAnswer = "210 Found matches, list follows\r\n" +
                           FakeCddb::matchLine(slot1Record()) + "\r\n" + FakeCddb::matchLine(jazz) +
                           "\r\n.\r\n";
    rig.chooser.picks = {1};

    QVERIFY(rig.service.Web_search_CDDB(1));
    QCOMPARE(rig.chooser.offered.size(), 1);
    const QList<CddbMatch> offered = rig.chooser.offered.first();
    QCOMPARE(offered.size(), 2);
    QCOMPARE(offered.at(1).category, QString("jazz"));
    QCOMPARE(rig.cddb.commands().last(), "cddb read jazz " + kSlot1Id);
    QCOMPARE(discfile::readDiscTitle(rig.dataPath("DISC1.txt")).value_or(QString()),
             QString("Other Band / Localhost Live"));
    QCOMPARE(rig.service.lastMatchCode, kMatchSeveral);
}

void TestLookupFlow::nothingTaken_data() {
    QTest::addColumn<int>("status");        // the server's HTTP status
    QTest::addColumn<QByteArray>("answer"); // to the query
    QTest::addColumn<bool>("notFound");     // told so, the old titles parked
    const QByteArray id = kSlot1Id.toUtf8();
    QTest::newRow("none of these")
        << 200 << "211 close\r\n" + FakeCddb::matchLine(slot1Record()) + "\r\n.\r\n"
        << false;
    // The picked line names no disc that can be read.
    QTest::newRow("unusable candidate")
        << 200 << "210 list\r\nrock " + id + " \r\nmisc " + id + " A / B\r\n.\r\n"
        << true;
    QTest::newRow("no match") << 200 << QByteArray("202 No match\r\n") << true;
    // The database said nothing about the disc: its titles stay.
    QTest::newRow("throttled") << 503 << QByteArray() << false;
}

void TestLookupFlow::nothingTaken() {
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

void TestLookupFlow::invalidTocSendsNothing() {
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
    QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
    rig.cddb.answerExactly(slot1Record());
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

void TestLookupFlow::passLooksUpEveryDiscPaced() {
    LookupRig rig;
    // Disc 2 carries CD TEXT and is skipped; disc 3 is not found, and the pass goes on with
    // disc 1.
    QVERIFY(rig.startAll({discRecord(3, tocOf(3)), discRecord(2, tocOf(2), kDiscInfoCdText),
                          discRecord(1, tocOf(1))}));
    rig.cddb.answerExactly(slot1Record());
    rig.cddb.queryAnswers.insert(cddbIdText(tocOf(3)), "202 No match\r\n");
    rig.config.settings.alwaysWebSearch = 1;

    rig.service.lookUpAllDiscs();
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
}

void TestLookupFlow::passStopsWhenThrottled() {
    LookupRig rig;
    QVERIFY(
        rig.startAll({discRecord(1, tocOf(1)), discRecord(3, tocOf(3)), discRecord(6, tocOf(1))}));
    QVERIFY(writeAll(rig.dataPath("DISC1.txt"), oldDiscFile()));
    rig.cddb.status = 503;
    rig.ui.answers = {UserInterface::Answer::Yes}; // to "search the Internet?"

    rig.service.lookUpAllDiscs();
    QCOMPARE(rig.cddb.stub.requests().size(), 1);
    // The question and one message for the stop.
    QCOMPARE(rig.ui.texts("message"), (QStringList{msg(326), rig.service.lastOutcome.message}));
    QVERIFY(rig.ui.texts("error").isEmpty());
    QCOMPARE(readAll(rig.dataPath("DISC1.txt")), oldDiscFile());
    QVERIFY(!rig.ui.progressOpen);
}

void TestLookupFlow::passHonoursNoWebSearch() {
    LookupRig rig;
    QVERIFY(rig.startAll({discRecord(1, tocOf(1))}));
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

// The sample database holds an exact record of every disc of the demo library (but the one
// left, on purpose, to MusicBrainz's saved replies).
void TestLookupFlow::demoRecordsCoverTheDemoLibrary() {
    const QString path = sourcePath("resources/demo-library.json");
    sim::ChangerLibrary library;
    QString error;
    QVERIFY2(sim::loadLibraryFile(path, &library, &error), qPrintable(error));
    const QJsonArray discs = QJsonDocument::fromJson(readAll(path)).object()["discs"].toArray();
    QVERIFY(discs.size() >= 24);
    const OfflineCddb sample(sourcePath("resources/cddb-demo"));
    for (const auto& value : discs) {
        const QJsonObject entry = value.toObject();
        QList<TocTime> table;
        for (const sim::Msf& t : library.disc(entry.value("slot").toInt()).toc)
            table.append(TocTime{quint8(t.minutes), quint8(t.seconds), quint8(t.frames)});
        const auto toc = CddbToc::fromTocTimes(table);
        QVERIFY(toc);
        const auto mb = mbDiscId(*toc);
        const CddbQueryResult found = sample.query(*toc);
        if (mb && QFile::exists(sourcePath("resources/musicbrainz-demo/" + mb->id + ".json"))) {
            QVERIFY(found.matches.isEmpty());
            continue;
        }
        QVERIFY2(found.matchCode() == kMatchExact, qPrintable(toc->discId));
        const CddbReadResult read = sample.read(found.matches.first().category, toc->discId);
        QCOMPARE(read.disc.artist, entry.value("artist").toString());
        QCOMPARE(read.disc.title, entry.value("album").toString());
        QCOMPARE(read.disc.trackTitles.size(), toc->trackCount());
    }
}

void TestLookupFlow::secondLookupDuringAWaitIsRefused() {
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
    rig.client.setOptions(copyInstead(copy.path()));
    ReentrantChooser chooser;
    CddbLookupService service{rig.link, rig.config, rig.ui, rig.client, rig.musicBrainz, chooser};
    chooser.service = &service;

    QVERIFY(service.Web_search_CDDB(6));
    QCOMPARE(chooser.nested, std::optional<bool>(false));
    QVERIFY(!QFile::exists(rig.dataPath("DISC199.txt")));
    // The state is the first lookup's, whole.
    QCOMPARE(service.lastMatchCode, kMatchSeveral);
    QVERIFY(service.currentDisc);
    QVERIFY(service.currentDisc->discIds.contains("ae0c130e"));
    QCOMPARE(service.lastLookup.identity.disc, quint8(6));
}

QTEST_GUILESS_MAIN(TestLookupFlow)
#include "tst_lookupflow.moc"
