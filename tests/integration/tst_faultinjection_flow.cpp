// Fault injection, the flow of units: duplicated frames and ACKs, a changer ENQ in the middle
// of an exchange, a status exchange the changer opens while an operation runs, every unit in
// single-byte pieces or several units in one write. (A changer-mode change stops a running
// operation as a cancel does: tst_link checks the first, tst_opsreadall what a cancel leaves.)

#include "tst_faultfixture.h"

#include <QTimer>

using namespace tf;
using namespace tf::test;

class TestFaultInjectionFlow : public QObject, public FaultSuite {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_rig.start()); }
    void unitFlow_data();
    void unitFlow() { runClass(); }
};

void TestFaultInjectionFlow::unitFlow_data() {
    const auto anyUnit = [](const Profile& p, QRandomGenerator& r) {
        return QString::number(landOn(r, p.units));
    };
    addClassRows({
        // A frame or a control byte arrives twice, as when the other side repeats it after a
        // lost acknowledgement. The copy may cost the operation (it can read as a refusal or a
        // reply out of turn), but must never be stored twice.
        aimed("dup", anyUnit),
        aimed("intrude", anyUnit),
        // Every unit in single-byte pieces, about the wire speed.
        aimed(
            "fragment",
            [](const Profile&, QRandomGenerator& r) { return QString::number(r.bounded(2)); },
            succeed),
        // Units gathered for a few milliseconds and written at once: ACK and answer, answer
        // and EOT, a push right behind an EOT arrive in one read.
        aimed(
            "coalesce",
            [](const Profile&, QRandomGenerator& r) { return QString::number(1 + r.bounded(15)); },
            succeed),
        // The changer wants to report its status while the application's exchange runs: it
        // queues the report the moment the application sends its n-th unit, and delivers it
        // when the line is free. The operation goes on undisturbed and the report arrives.
        FaultClass{.name = "unsolicited-status",
                   .ops = {Op::MinMax, Op::DiscId, Op::Download, Op::Upload, Op::ReadAll},
                   .expect = succeed,
                   .arm =
                       [](FaultRig& rig, QRandomGenerator& r) {
                           // The rig's own hook, connected first, has counted the unit.
                           const int at = r.bounded(6);
                           rig.hook = QObject::connect(
                               &rig.link, &Link::traffic, [at, &rig](bool sent, const QByteArray&) {
                                   if (sent && rig.sent.size() == at + 1)
                                       QTimer::singleShot(0,
                                                          [&rig] { rig.sim.command("push all"); });
                               });
                           return QStringLiteral("status pushed at sent unit %1").arg(at);
                       },
                   .afterRun = [](FaultRig& rig, Op, bool, bool*) -> QString {
                       // The report reached the application once the line was free.
                       if (!rig.settle())
                           return "the pushed report was never delivered";
                       if (rig.link.playValues().PlayDisc != rig.dumpPlayDisc())
                           return "the application shows another disc than the changer";
                       return QString();
                   }},
    });
}

QTEST_GUILESS_MAIN(TestFaultInjectionFlow)
#include "tst_faultinjection_flow.moc"
