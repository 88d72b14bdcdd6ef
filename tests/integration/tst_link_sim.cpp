// The application's link against the changer simulator over a real pseudo-terminal: what the
// simulator does by itself (its reports after the handshake and after a play request, its
// refusals and damaged frames) as the link takes it. The link's handling of each byte is
// tst_link's business; the simulator's frames are tst_simulator's.

#include "base/catalogue.h"
#include "common/linkhelpers.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>

using namespace tf;
using test::ScriptedUi;
using test::SimProcess;

namespace {

LinkTimings fastTimings() {
    LinkTimings t = test::shortTimings(1000);
    t.reconnectMs = 300;
    return t;
}

QString demoLibrary() {
    return test::sourcePath("resources/demo-library.json");
}

struct Bench {
    ScriptedUi ui;
    SimProcess sim;
    Link link{ui};

    bool start(const QStringList& options = {"--load-ms", "50"}) {
        link.setTimings(fastTimings());
        if (!sim.start(demoLibrary(), options))
            return false;
        return link.openDevice(sim.portPath()) == 0;
    }
    bool up(const QStringList& options = {"--load-ms", "50"}) {
        if (!start(options))
            return false;
        link.RS232C_Changer_INIT();
        LinkTestAccess::setLinkEstablished(link, link.linkState() == kLinkUp);
        return link.linkEstablished();
    }
};

} // namespace

class TestLinkSim : public QObject {
    Q_OBJECT
private slots:
    void handshakeThenStatePushes();
    void handshakeFailuresAgainstTheSimulator_data();
    void handshakeFailuresAgainstTheSimulator();
    void faultsAreRetriedOrReported_data();
    void faultsAreRetriedOrReported();
    void playRequestLeadsToTocReady();
    void idleLinkDoesNotSpin();
};

void TestLinkSim::handshakeThenStatePushes() {
    Bench b;
    QSignalSpy reaction(&b.link, &Link::modeReaction);
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QCOMPARE(b.link.linkBusy(), qint16(kLinkIdle));
    QVERIFY(b.ui.shown.isEmpty());
    // After the handshake the changer reports its state, mode last.
    QTRY_COMPARE_WITH_TIMEOUT(reaction.count(), 1, 5000);
    QCOMPARE(b.link.modeCode(), qint16(1)); // the demo changer is in mode 0
    QCOMPARE(b.link.playValues().PlayDisc, qint16(1));
    QVERIFY(b.sim.ok("set mode 1"));
    QTRY_COMPARE_WITH_TIMEOUT(reaction.count(), 2, 5000);
    QCOMPARE(b.link.modeCode(), qint16(2));
}

void TestLinkSim::handshakeFailuresAgainstTheSimulator_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("minEnqs");
    QTest::newRow("silent changer") << QStringList{"--fault", "silence"} << 10;
    QTest::newRow("handshake refused") << QStringList{"--fault", "refuse handshake"} << 1;
    QTest::newRow("enq refused") << QStringList{"--fault", "refuse enq"} << 1;
}

void TestLinkSim::handshakeFailuresAgainstTheSimulator() {
    QFETCH(QStringList, options);
    QFETCH(int, minEnqs);
    Bench b;
    QSignalSpy traffic(&b.link, &Link::traffic);
    QVERIFY(b.start(options));
    b.link.RS232C_Changer_INIT();
    QCOMPARE(b.link.linkState(), kLinkFailed);
    QCOMPARE(b.link.linkBusy(), qint16(kLinkOffline));
    QCOMPARE(b.ui.texts("message"), QStringList{msg(336)});
    int enqs = 0;
    for (const auto& call : traffic)
        enqs += call.at(0).toBool() && call.at(1).toByteArray() == QByteArray(1, char(kEnq));
    QVERIFY(enqs >= minEnqs);
    QVERIFY(enqs <= 10);
}

void TestLinkSim::faultsAreRetriedOrReported_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<int>("message");
    QTest::newRow("one bad checksum") << "checksum-next 1" << true << 0;
    QTest::newRow("three bad checksums") << "checksum-next 3" << true << 0;
    QTest::newRow("five bad checksums") << "checksum-next 5" << false << 440;
    QTest::newRow("garbage before frames") << "garbage 20 5" << true << 0;
    QTest::newRow("one lost unit") << "drop-next 1" << true << 0;
    QTest::newRow("enq refused once") << "refuse enq 1" << false << 440;
    QTest::newRow("request refused") << "refuse data 1" << false << 440;
    QTest::newRow("reply refused") << "refuse reply 1" << false << 440;
    QTest::newRow("silence") << "silence" << false << 440;
}

void TestLinkSim::faultsAreRetriedOrReported() {
    QFETCH(QString, fault);
    QFETCH(bool, succeeds);
    QFETCH(int, message);
    Bench b;
    QVERIFY(b.up());
    QTest::qWait(300); // let the changer's own reports after the handshake finish
    QVERIFY(b.sim.ok("fault " + fault));
    MinMaxTno range;
    QCOMPARE(b.link.ReadMinMaxTno(1, range), succeeds);
    QCOMPARE(b.link.lastResult(), succeeds ? kResultOk : kResultFailed);
    if (succeeds) {
        QCOMPARE(range.highest, quint8(11)); // the demo's disc 1
        QVERIFY(b.ui.texts("error").isEmpty());
    } else {
        QCOMPARE(b.ui.texts("error"), QStringList{msg(message)});
    }
    // The link is usable afterwards.
    QVERIFY(b.sim.ok("fault clear"));
    QVERIFY(b.link.ReadMinMaxTno(1, range));
    QCOMPARE(range.highest, quint8(11)); // the demo's disc 1
}

void TestLinkSim::playRequestLeadsToTocReady() {
    Bench b;
    QVERIFY(b.up());
    QTRY_COMPARE_WITH_TIMEOUT(b.link.modeCode(), qint16(1), 5000);
    QVERIFY(b.link.RequestPlay(12, 1, 1));
    QTRY_COMPARE_WITH_TIMEOUT(b.link.playValues().PlayDisc, qint16(12), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(b.link.playValues().TocReadyDisc, qint16(12), 5000);
    QVERIFY(b.link.discChanged());
    const QJsonObject play = b.sim.dump().value("play").toObject();
    QCOMPARE(play.value("disc").toInt(), 12);
}

void TestLinkSim::idleLinkDoesNotSpin() {
    Bench b;
    QVERIFY(b.up());
    QTest::qWait(500); // the changer's reports after the handshake
    QSignalSpy ticks(&b.link, &Link::statusTick);
    b.link.holdStatus(false);
    QTest::qWait(500);
    // With nothing arriving, the poll does not run: no status ticks at all.
    QCOMPARE(ticks.count(), 0);
}

QTEST_GUILESS_MAIN(TestLinkSim)
#include "tst_link_sim.moc"
