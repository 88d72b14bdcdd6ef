// Fault injection, the flow of units: duplicated frames and ACKs, a changer ENQ in the middle
// of an exchange, a status exchange the changer opens while an operation runs, every unit in
// single-byte pieces or several units in one write, and a changer-mode change during the
// read-all pass.

#include "tst_faultfixture.h"

#include <QTimer>

using namespace tf;
using namespace tf::test;

class TestFaultInjectionFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void duplicatedUnit();
    void strayEnq();
    void unsolicitedStatus();
    void singleByteFragments();
    void coalescedUnits();
    void modeChangeDuringReadAll();
    void cleanupTestCase();

private:
    FaultRig m_rig;
    QStringList m_summary;
    void runClass(const FaultClass& c) {
        ClassResult result;
        const QString problem = runFaultClass(m_rig, c, result);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(result.cases, faultSeeds());
        m_summary << QStringLiteral("%1: %2 cases, %3 succeeded, %4 failed, %5 re-run")
                         .arg(c.name)
                         .arg(result.cases)
                         .arg(result.succeeded)
                         .arg(result.failed)
                         .arg(result.reruns);
    }
};

static Expect succeed(Op, const QString&) {
    return Expect::Succeed;
}

static Expect either(Op, const QString&) {
    return Expect::Either;
}

void TestFaultInjectionFlow::initTestCase() {
    QVERIFY(m_rig.start());
}

void TestFaultInjectionFlow::duplicatedUnit() {
    // A frame or a control byte arrives twice, as when the other side repeats it after a lost
    // acknowledgement. The copy may cost the operation (it can read as a refusal or a reply
    // out of turn), but must never be stored twice.
    FaultClass c{QStringLiteral("dup"),
                 kAllOps,
                 [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                     return QStringLiteral("dup %1").arg(landOn(r, p.units));
                 },
                 either,
                 {},
                 {}};
    runClass(c);
}

void TestFaultInjectionFlow::strayEnq() {
    FaultClass c{QStringLiteral("intrude"),
                 kAllOps,
                 [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                     return QStringLiteral("intrude %1").arg(landOn(r, p.units));
                 },
                 either,
                 {},
                 {}};
    runClass(c);
}

void TestFaultInjectionFlow::unsolicitedStatus() {
    // The changer wants to report its status while the application's exchange runs: it
    // queues the report the moment the application sends its n-th unit, and delivers it when
    // the line is free. The operation goes on undisturbed and the report arrives.
    const QList<Op> ops{Op::MinMax, Op::DiscId, Op::Download, Op::Upload, Op::ReadAll};
    FaultClass c{QStringLiteral("unsolicited-status"),
                 ops,
                 {},
                 succeed,
                 [](FaultRig& rig, Op, const FaultRig::Profile&, QRandomGenerator& r) {
                     const int at = r.bounded(6);
                     auto sent = std::make_shared<int>(0);
                     rig.hook = QObject::connect(
                         &rig.link, &Link::traffic, [&rig, sent, at](bool out, const QByteArray&) {
                             if (out && (*sent)++ == at)
                                 QTimer::singleShot(
                                     0, [&rig] { rig.sim.command(QStringLiteral("push all")); });
                         });
                     return QStringLiteral("status pushed at sent unit %1").arg(at);
                 },
                 [](FaultRig& rig, Op, bool, bool*) -> QString {
                     // The report reached the application once the line was free.
                     if (!rig.settle())
                         return QStringLiteral("the pushed report was never delivered");
                     if (rig.link.playValues().PlayDisc != rig.dumpPlayDisc())
                         return QStringLiteral("the application shows disc %1, the changer %2")
                             .arg(rig.link.playValues().PlayDisc)
                             .arg(rig.dumpPlayDisc());
                     return QString();
                 }};
    runClass(c);
}

void TestFaultInjectionFlow::singleByteFragments() {
    FaultClass c{QStringLiteral("fragment"),
                 kAllOps,
                 [](Op, const FaultRig::Profile&, QRandomGenerator& r) {
                     return QStringLiteral("fragment %1").arg(r.bounded(2)); // about the wire speed
                 },
                 succeed,
                 {},
                 {}};
    runClass(c);
}

void TestFaultInjectionFlow::coalescedUnits() {
    // Units gathered for a few milliseconds and written at once: ACK and answer, answer and
    // EOT, a push right behind an EOT arrive in one read.
    FaultClass c{QStringLiteral("coalesce"),
                 kAllOps,
                 [](Op, const FaultRig::Profile&, QRandomGenerator& r) {
                     return QStringLiteral("coalesce %1").arg(1 + r.bounded(15));
                 },
                 succeed,
                 {},
                 {}};
    runClass(c);
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
    m_summary << QStringLiteral("mode change during read-all: %1 cases, %2 stopped")
                     .arg(faultSeeds())
                     .arg(stopped);
}

void TestFaultInjectionFlow::cleanupTestCase() {
    for (const QString& line : m_summary)
        qInfo("%s", qPrintable(line));
    m_rig.sim.stop();
}

QTEST_GUILESS_MAIN(TestFaultInjectionFlow)
#include "tst_faultinjection_flow.moc"
