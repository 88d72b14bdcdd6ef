// READ ALL DISCS against changer-sim: the rebuilt master data file compared with the
// library's truth, CD TEXT discs, empty and skipped slots, Cancel, a changer error, the
// play-mode reset and the command's guards.

#include "common/linktestaccess.h"
#include "tst_opsfixture.h"

#include "base/catalogue.h"
#include "operations/readall.h"

using namespace tf;
using namespace tf::test;

namespace {

QStringList block1() {
    return masterBlock(1, tocOf(1), 0, 5, 23);
}

} // namespace

class TestOpsReadAll : public QObject {
    Q_OBJECT
private slots:
    void fullPass() {
        OpsRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.writeDiscList({1, 2, 4}));
        QList<bool> running;
        const ReadAllResult result =
            readAllDiscs(rig.ctx, true, [&](bool on) { running.append(on); });

        QCOMPARE(result.outcome, ReadAllOutcome::Completed);
        QCOMPARE(result.discsRead, 2);
        QCOMPARE(result.discsSkipped, 1); // slot 4 is empty
        QCOMPARE(running, (QList<bool>{true, false}));
        QCOMPARE(rig.ui.shown.first().text, msg(350) + '\r' + msg(351) + '\r' + msg(352));
        QCOMPARE(rig.ui.texts("error"), QStringList());
        QCOMPARE(readAll(rig.dataPath("discdata.txt")),
                 crlf(block1() + masterBlock(2, tocOf(2), 16, 2, 28)));
        QVERIFY(!QFile::exists(rig.dataPath("discprog.tmp")));
        QVERIFY(!QFile::exists(rig.dataPath("discdata.tmp")));

        // The CD TEXT disc got its per-disc file (its lines are the CD TEXT download's, checked in
        // tst_opsdownload), and its titles went to the changer's memory.
        QVERIFY(readAll(rig.dataPath("DISC2.txt"))
                    .startsWith(crlf({"DISC ID =", cddbIdText(tocOf(2))})));
        QVERIFY(!QFile::exists(rig.programPath("tempcdt.txt")));
        QCOMPARE(rig.simDisc(2).value("memoryTitle").toString(),
                 QString("H?l?ne Marchetti / Chanso"));

        QCOMPARE(rig.lookup.allDiscPasses, 1);
        QVERIFY(!rig.link.operationRunning());
        QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
    }

    void interrupted_data() {
        QTest::addColumn<int>("cancelAt"); // the disc whose play request the user cancels at, or 0
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("expected");
        // Cancelled before any block: the user's master file stays as it was.
        QTest::newRow("cancelled before the first disc")
            << 1 << "" << QByteArray("OLD MASTER FILE\r\n");
        QTest::newRow("cancelled at the second disc") << 2 << "" << crlf(block1());
        // Disc 1's three requests pass; the table of contents of disc 2 is refused.
        QTest::newRow("changer error")
            << 0 << "refuse data 1 3" << QByteArray("OLD MASTER FILE\r\n");
    }

    void interrupted() {
        QFETCH(int, cancelAt);
        QFETCH(QString, fault);
        QFETCH(QByteArray, expected);
        OpsRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.writeDiscList({1, 2, 4}));
        QVERIFY(writeAll(rig.dataPath("discdata.txt"), "OLD MASTER FILE\r\n"));
        if (!fault.isEmpty())
            QVERIFY(rig.sim.ok("fault " + fault));
        QObject::connect(&rig.link, &Link::traffic, [&](bool sent, const QByteArray& unit) {
            const bool playRequest = unit.size() > 5 && quint8(unit.at(1)) == kCmdPlayRequest &&
                                     quint8(unit.at(4)) == cancelAt;
            if (sent && playRequest && rig.ui.lastProgress.cancel)
                rig.ui.lastProgress.cancel();
        });
        const ReadAllResult result = readAllDiscs(rig.ctx, true);
        QCOMPARE(result.outcome, cancelAt ? ReadAllOutcome::Cancelled : ReadAllOutcome::Failed);
        QCOMPARE(readAll(rig.dataPath("discdata.txt")), expected);
        QVERIFY(!QFile::exists(rig.dataPath("discdata.tmp")));
        // After the question, an error is told and the stop explained.
        QCOMPARE(rig.ui.texts("message").mid(1),
                 cancelAt ? QStringList() : QStringList{msg(355) + '\r' + msg(356)});
        QCOMPARE(rig.ui.texts("error"), cancelAt ? QStringList() : QStringList{msg(428)});
        QCOMPARE(rig.lookup.allDiscPasses, 0);
        QVERIFY(!rig.ui.progressOpen);
        QVERIFY(!rig.link.operationRunning());
    }

    // Passes that read disc 1 alone although the changer does not make it easy.
    void discOneStillRead_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("programPlay"); // the changer plays its program when the pass starts
        QTest::addColumn<QList<int>>("discs");
        // Loading disc 2 takes longer than the wait for its table: it is passed over.
        QTest::newRow("disc without a table skipped")
            << "slowtoc 4000" << false << QList<int>{1, 2};
        // A changer need not report a disc ready again while it is in the player: the report it
        // gave for that disc still counts.
        QTest::newRow("disc in the player needs no new report")
            << "forget toc 0" << false << QList<int>{1};
        QTest::newRow("programmed play left first") << "" << true << QList<int>{1};
    }

    void discOneStillRead() {
        QFETCH(QString, fault);
        QFETCH(bool, programPlay);
        QFETCH(QList<int>, discs);
        OpsRig rig;
        QVERIFY(rig.start());
        QVERIFY(QTest::qWaitFor([&] { return rig.link.playValues().TocReadyDisc == 1; }, 5000));
        if (!fault.isEmpty())
            QVERIFY(rig.sim.ok("fault " + fault));
        if (programPlay) {
            {
                const LinkHold hold(rig.link, kLinkPush);
                QVERIFY(rig.link.RequestPlayMode(3, 0)); // the library's program
            }
            QVERIFY(QTest::qWaitFor([&] { return rig.link.playValues().PlayMode != 0; }, 5000));
        }
        LinkTestAccess::timings(rig.link).tocWaitMs = 600;
        QVERIFY(rig.writeDiscList(discs));
        const ReadAllResult result = readAllDiscsPass(rig.ctx);
        QCOMPARE(result.outcome, ReadAllOutcome::Completed);
        QCOMPARE(result.discsRead, 1);
        QCOMPARE(result.discsSkipped, discs.size() - 1);
        QCOMPARE(readAll(rig.dataPath("discdata.txt")), crlf(block1()));
        QCOMPARE(rig.sim.dump().value("play").toObject().value("playMode").toInt(), 0);
        QVERIFY(rig.ui.texts("message").isEmpty());
        QCOMPARE(rig.lookup.allDiscPasses, 1);
    }

    void commandGuards() {
        ScriptedUi ui;
        QTemporaryDir dir;
        Configuration config(dir.path());
        config.settings.dataDir = dir.path() + "/";
        Link link(ui);
        CountingLookup lookup;
        AppContext ctx{link, config, ui, lookup};

        // Link up but no disc list yet: nothing at all.
        QCOMPARE(readAllDiscs(ctx, false).outcome, ReadAllOutcome::NotStarted);
        QVERIFY(ui.shown.isEmpty());

        // No to the question: nothing runs.
        ui.answers = {UserInterface::Answer::No};
        QCOMPARE(readAllDiscs(ctx, true).outcome, ReadAllOutcome::NotStarted);
        QCOMPARE(ui.shown.size(), 1);

        // Offline: the question, then only the online pass over the existing master file.
        link.setOffline(true);
        QCOMPARE(readAllDiscs(ctx, false).outcome, ReadAllOutcome::Offline);
        QCOMPARE(lookup.allDiscPasses, 0); // no master file yet
        QVERIFY(writeAll(dir.filePath("discdata.txt"), "_!_1\r\n"));
        QCOMPARE(readAllDiscs(ctx, false).outcome, ReadAllOutcome::Offline);
        QCOMPARE(lookup.allDiscPasses, 1);
        QCOMPARE(ui.texts("message").size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestOpsReadAll)
#include "tst_opsreadall.moc"
