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

// A class whose fault is `command` with a number the generator picks from `pick`.
static FaultClass
flowClass(const QString& name, Expect (*expect)(Op, const QString&),
          std::function<QString(const FaultRig::Profile&, QRandomGenerator&)> pick) {
    return FaultClass{
        .name = name,
        .ops = kAllOps,
        .fault = [name, pick](Op, const FaultRig::Profile& p,
                              QRandomGenerator& r) { return name + ' ' + pick(p, r); },
        .expect = expect};
}

void TestFaultInjectionFlow::unitFlow_data() {
    addClassRows({
        // A frame or a control byte arrives twice, as when the other side repeats it after a
        // lost acknowledgement. The copy may cost the operation (it can read as a refusal or a
        // reply out of turn), but must never be stored twice.
        flowClass(QStringLiteral("dup"), either,
                  [](const FaultRig::Profile& p, QRandomGenerator& r) {
                      return QString::number(landOn(r, p.units));
                  }),
        flowClass(QStringLiteral("intrude"), either,
                  [](const FaultRig::Profile& p, QRandomGenerator& r) {
                      return QString::number(landOn(r, p.units));
                  }),
        // Every unit in single-byte pieces.
        flowClass(QStringLiteral("fragment"), succeed,
                  [](const FaultRig::Profile&, QRandomGenerator& r) {
                      return QString::number(r.bounded(2)); // about the wire speed
                  }),
        // Units gathered for a few milliseconds and written at once: ACK and answer, answer
        // and EOT, a push right behind an EOT arrive in one read.
        flowClass(QStringLiteral("coalesce"), succeed,
                  [](const FaultRig::Profile&, QRandomGenerator& r) {
                      return QString::number(1 + r.bounded(15));
                  }),
        // The changer wants to report its status while the application's exchange runs: it
        // queues the report the moment the application sends its n-th unit, and delivers it
        // when the line is free. The operation goes on undisturbed and the report arrives.
        FaultClass{.name = QStringLiteral("unsolicited-status"),
                   .ops = {Op::MinMax, Op::DiscId, Op::Download, Op::Upload, Op::ReadAll},
                   .expect = succeed,
                   .arm =
                       [](FaultRig& rig, Op, const FaultRig::Profile&, QRandomGenerator& r) {
                           const int at = r.bounded(6);
                           auto sent = std::make_shared<int>(0);
                           rig.hook = QObject::connect(
                               &rig.link, &Link::traffic,
                               [&rig, sent, at](bool out, const QByteArray&) {
                                   if (out && (*sent)++ == at)
                                       QTimer::singleShot(0, [&rig] {
                                           rig.sim.command(QStringLiteral("push all"));
                                       });
                               });
                           return QStringLiteral("status pushed at sent unit %1").arg(at);
                       },
                   .afterRun = [](FaultRig& rig, Op, bool, bool*) -> QString {
                       // The report reached the application once the line was free.
                       if (!rig.settle())
                           return QStringLiteral("the pushed report was never delivered");
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
    // the running flag) or fails on the refused play request; the master file is the old one
    // or holds the blocks of the discs read before, never anything else.
    const QByteArray oldFile("OLD MASTER FILE\r\n");
    const QByteArray truth = m_rig.readAllTruth();
    const QByteArray firstBlock =
        crlf(masterBlock(1, tocOf(1), 0, m_rig.simDisc(1).value("userFileByte").toInt(),
                         m_rig.simDisc(1).value("musicType").toInt()));
    const int units = m_rig.profile(Op::ReadAll).units;
    int stopped = 0;
    for (int seed = 1; seed <= faultSeeds(); ++seed) {
        QVERIFY(m_rig.settle());
        m_rig.resetCase();
        const FaultRig::Old old = m_rig.prepare(Op::ReadAll, seed);
        QRandomGenerator random(quint32(seed) * 31u + 7u);
        const int at = landOn(random, units);
        m_rig.context = QStringLiteral("mode change seed %1 at received unit %2").arg(seed).arg(at);
        int received = 0;
        m_rig.hook =
            QObject::connect(&m_rig.link, &Link::traffic, [&](bool out, const QByteArray&) {
                if (!out && received++ == at)
                    QTimer::singleShot(0, [&] { m_rig.sim.command(QStringLiteral("set mode 1")); });
            });
        const ReadAllResult result = readAllDiscsPass(m_rig.ctx);
        QObject::disconnect(m_rig.hook);
        QVERIFY2(m_rig.settle(), qPrintable(m_rig.context));
        const QByteArray file = readAll(m_rig.dataPath("discdata.txt"));
        const QString what = m_rig.context + ": " + m_rig.shownText();
        switch (result.outcome) {
        case ReadAllOutcome::Completed:
            QVERIFY2(file == truth, qPrintable(what));
            break;
        case ReadAllOutcome::Cancelled:
            ++stopped;
            QVERIFY2(file == oldFile || file == firstBlock, qPrintable(what));
            QVERIFY2(m_rig.ui.texts("error").isEmpty(), qPrintable(what));
            break;
        case ReadAllOutcome::Failed:
            ++stopped;
            QVERIFY2(file == oldFile, qPrintable(what));
            QVERIFY2(m_rig.ui.texts("message") == QStringList{msg(355) + '\r' + msg(356)},
                     qPrintable(what));
            break;
        default:
            QFAIL(qPrintable(what + ": the pass did not run"));
        }
        QVERIFY2(!m_rig.link.operationRunning(), qPrintable(what));
        QVERIFY2(!QFile::exists(m_rig.dataPath("discdata.tmp")), qPrintable(what));
        QVERIFY2(m_rig.sim.ok("set mode 0"), qPrintable(what));
        QVERIFY2(m_rig.settle(), qPrintable(what));
        QTRY_COMPARE_WITH_TIMEOUT(m_rig.link.modeCode(), qint16(1), 5000);
        Q_UNUSED(old);
    }
    QVERIFY(stopped > 0);
    qInfo("mode change during read-all: %d cases, %d stopped", faultSeeds(), stopped);
}

QTEST_GUILESS_MAIN(TestFaultInjectionFlow)
#include "tst_faultinjection_flow.moc"
