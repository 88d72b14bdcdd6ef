// Fault injection, the flow of units: duplicated frames and ACKs, a changer ENQ in the middle
// of an exchange, a status exchange the changer opens while an operation runs, every unit in
// single-byte pieces or several units in one write, and a changer-mode change during the
// read-all pass.

#include "tst_faultfixture.h"

#include <QTimer>

using namespace tf;
using namespace tf::test;

class TestFaultInjectionFlow : public QObject, public FaultSuite {
    Q_OBJECT
private slots:
    void initTestCase() { startRig(); }
    void unitFlow_data();
    void unitFlow() {
        QFETCH(FaultClass, faultClass);
        runClass(faultClass);
    }
    void modeChangeDuringReadAll();
};

// A class whose fault is `name` with a number the generator picks from `pick`.
static FaultClass flowClass(const QString& name, Expect (*expect)(Op, const QString&),
                            std::function<int(const FaultRig::Profile&, QRandomGenerator&)> pick) {
    return FaultClass{.name = name,
                      .ops = kAllOps,
                      .fault =
                          [name, pick](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                              return name + ' ' + QString::number(pick(p, r));
                          },
                      .expect = expect};
}

// Sends `command` to the simulator once the application has sent (or received) its n-th unit
// of the case.
static void commandAtUnit(FaultRig& rig, bool sentUnits, int n, const QString& command) {
    auto seen = std::make_shared<int>(0);
    rig.hook = QObject::connect(&rig.link, &Link::traffic, [=, &rig](bool out, const QByteArray&) {
        if (out == sentUnits && (*seen)++ == n)
            QTimer::singleShot(0, [&rig, command] { rig.sim.command(command); });
    });
}

void TestFaultInjectionFlow::unitFlow_data() {
    const auto anyUnit = [](const FaultRig::Profile& p, QRandomGenerator& r) {
        return landOn(r, p.units);
    };
    addClassRows({
        // A frame or a control byte arrives twice, as when the other side repeats it after a
        // lost acknowledgement. The copy may cost the operation (it can read as a refusal or a
        // reply out of turn), but must never be stored twice.
        flowClass("dup", either, anyUnit),
        flowClass("intrude", either, anyUnit),
        // Every unit in single-byte pieces.
        flowClass("fragment", succeed,
                  [](const FaultRig::Profile&, QRandomGenerator& r) {
                      return r.bounded(2); // about the wire speed
                  }),
        // Units gathered for a few milliseconds and written at once: ACK and answer, answer
        // and EOT, a push right behind an EOT arrive in one read.
        flowClass("coalesce", succeed,
                  [](const FaultRig::Profile&, QRandomGenerator& r) { return 1 + r.bounded(15); }),
        // The changer wants to report its status while the application's exchange runs: it
        // queues the report the moment the application sends its n-th unit, and delivers it
        // when the line is free. The operation goes on undisturbed and the report arrives.
        FaultClass{.name = "unsolicited-status",
                   .ops = {Op::MinMax, Op::DiscId, Op::Download, Op::Upload, Op::ReadAll},
                   .expect = succeed,
                   .arm =
                       [](FaultRig& rig, Op, const FaultRig::Profile&, QRandomGenerator& r) {
                           const int at = r.bounded(6);
                           commandAtUnit(rig, true, at, "push all");
                           return QStringLiteral("status pushed at sent unit %1").arg(at);
                       },
                   .afterRun = [](FaultRig& rig, Op, bool, bool*) -> QString {
                       // The report reached the application once the line was free.
                       if (!rig.settle())
                           return "the pushed report was never delivered";
                       if (rig.link.playValues().PlayDisc != rig.dumpPlayDisc())
                           return QStringLiteral("the application shows disc %1, the changer %2")
                               .arg(rig.link.playValues().PlayDisc)
                               .arg(rig.dumpPlayDisc());
                       return QString();
                   }},
    });
}

void TestFaultInjectionFlow::modeChangeDuringReadAll() {
    // The changer is switched to its own panel (mode 1) while the pass runs, at the moment the
    // application receives its n-th unit. The pass stops as cancelled (the mode report clears
    // the running flag) or fails on the refused play request; a cancelled pass leaves the old
    // master file or the blocks of the discs read before, never anything else.
    int stopped = 0;
    runClass(FaultClass{
        .name = "mode-change",
        .ops = {Op::ReadAll},
        .expect = either,
        .arm =
            [](FaultRig& rig, Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                const int at = landOn(r, p.units);
                commandAtUnit(rig, false, at, "set mode 1");
                return QStringLiteral("mode change at received unit %1").arg(at);
            },
        .afterRun = [&stopped](FaultRig& rig, Op, bool succeeded, bool* done) -> QString {
            stopped += !succeeded;
            QString problem;
            if (!rig.settle() || rig.link.operationRunning() ||
                QFile::exists(rig.dataPath("discdata.tmp")))
                problem = "the pass did not end cleanly";
            else if (rig.lastPass().outcome == ReadAllOutcome::Cancelled) {
                *done = true;
                const QByteArray file = readAll(rig.dataPath("discdata.txt"));
                if (file != "OLD MASTER FILE\r\n" && file != rig.readAllTruth(1))
                    problem = "a cancelled pass wrote " + QString::fromLatin1(file);
                else if (!rig.ui.texts("error").isEmpty())
                    problem = "a cancelled pass showed " + rig.shownText();
            }
            if (!rig.sim.ok("set mode 0") || !rig.settle() ||
                !QTest::qWaitFor([&rig] { return rig.link.modeCode() == 1; }, 5000))
                problem += " (the PC's mode does not come back)";
            return problem;
        }});
    QVERIFY(stopped > 0);
}

QTEST_GUILESS_MAIN(TestFaultInjectionFlow)
#include "tst_faultinjection_flow.moc"
