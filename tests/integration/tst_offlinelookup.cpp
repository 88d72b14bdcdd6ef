// The demo's lookup: changer-sim with the demo library, the bundled sample database used
// instead of the server, and no server to reach. A disc without titles on the PC is found in
// the sample database, written to DISC<n>.txt and its titles sent to the changer.

#include "tst_lookupflow_fixture.h"

#include "lookup/offlinedb.h"
#include "store/discfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using namespace tf::test;

class TestOfflineLookup : public QObject {
    Q_OBJECT
private slots:
    void demoDiscFoundInSampleDatabase_data();
    void demoDiscFoundInSampleDatabase();
    void secondLookupDuringAWaitIsRefused();
};

void TestOfflineLookup::demoDiscFoundInSampleDatabase_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("discTitle");
    QTest::addColumn<int>("firstTrack");
    QTest::newRow("disc without titles")
        << 6 << "Orin Blackwell Trio / Late Set at the Copper Room" << 1;
    // The second disc of a set starts at track 13: the record's first title is track 13's.
    QTest::newRow("disc starting at track 13")
        << 199 << "Orin Blackwell Trio / Complete Copper Room Sets, Disc 2" << 13;
}

void TestOfflineLookup::demoDiscFoundInSampleDatabase() {
    QFETCH(int, slot);
    QFETCH(QString, discTitle);
    QFETCH(int, firstTrack);
    LookupRig rig;
    QVERIFY(rig.start({}, sourcePath("resources/demo-library.json")));
    CddbOptions options;
    options.scheme = "http";
    options.server = "127.0.0.1";
    options.port = HttpStub::closedPort(); // nobody there: the copy must do
    options.offlineFolder = sourcePath("resources/cddb-demo");
    options.offlineMode = CddbOptions::Offline::Instead;
    rig.client.setOptions(options);

    const bool found = rig.service.Web_search_CDDB(slot);
    QVERIFY2(found,
             qPrintable(rig.ui.texts("error").join('|') + rig.ui.texts("message").join('|')));
    QCOMPARE(rig.service.lastMatchCode, kMatchExact);
    QVERIFY(rig.ui.texts("error").isEmpty());

    const auto file = discfile::readDiscFile(rig.dataPath(discfile::fileName(slot)));
    QVERIFY(file);
    QCOMPARE(file->discTitle, discTitle);
    QVERIFY(rig.service.currentDisc);
    const QStringList recordTitles = rig.service.currentDisc->trackTitles;
    QCOMPARE(file->trackTitles.size(), recordTitles.size());
    QCOMPARE(file->trackTitles, recordTitles);

    const QJsonObject disc = rig.simDisc(slot);
    QCOMPARE(disc.value("memoryTitle").toString(), discTitle.left(25));
    const QJsonObject tracks = disc.value("memoryTracks").toObject();
    QCOMPARE(tracks.value(QString::number(firstTrack)).toString(), recordTitles.first().left(25));
}

namespace {

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

void TestOfflineLookup::secondLookupDuringAWaitIsRefused() {
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
    CddbOptions options;
    options.server = "127.0.0.1";
    options.port = HttpStub::closedPort();
    options.offlineFolder = copy.path();
    options.offlineMode = CddbOptions::Offline::Instead;
    rig.client.setOptions(options);
    ReentrantChooser chooser;
    CddbLookupService service{rig.link, rig.config, rig.ui, rig.client, chooser};
    chooser.service = &service;

    QVERIFY(service.Web_search_CDDB(6));
    QCOMPARE(chooser.nested, std::optional<bool>(false));
    QVERIFY(!QFile::exists(rig.dataPath("DISC199.txt")));
    // The state is the first lookup's, whole.
    QCOMPARE(service.lastMatchCode, kMatchSeveral);
    QVERIFY(service.currentDisc);
    QVERIFY(service.currentDisc->discIds.contains("ae0c130e"));
    QCOMPARE(CddbToc::fromTocText(service.tocText)->discId, QString("ae0c130e"));
    QCOMPARE(service.lastLookup.identity.disc, quint8(6));
}

QTEST_GUILESS_MAIN(TestOfflineLookup)
#include "tst_offlinelookup.moc"
