// Fault injection, damaged units: noise ahead of a unit, a flipped bit, a frame cut short at
// any byte, a wrong length field. Each seed hits one unit of one operation.
//
// A frame whose checksum fails is asked for again (NAK), so a flipped bit in the command, the
// data or the checksum must always be repaired. A damaged frame start or length can instead
// make the frame's end unrecognisable: the reply wait then runs out, and a reply that does not
// come within its wait ends the transaction (only ENQ, request and closing are repeated on
// time-out). Those classes may succeed or fail, and either way the result is checked.

#include "tst_faultfixture.h"

using namespace tf;
using namespace tf::test;

class TestFaultInjection : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void leadingNoise();
    void flippedBit();
    void truncatedAtEveryOffset();
    void truncatedFrame();
    void wrongLength_data();
    void wrongLength();
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

void TestFaultInjection::initTestCase() {
    QVERIFY(m_rig.start());
}

void TestFaultInjection::leadingNoise() {
    FaultClass c{
        QStringLiteral("noise"),
        kAllOps,
        [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
            return QStringLiteral("noise %1 %2").arg(1 + r.bounded(20)).arg(landOn(r, p.units));
        },
        either,
        {},
        {}};
    runClass(c);
}

void TestFaultInjection::flippedBit() {
    FaultClass c{
        QStringLiteral("flip"),
        kAllOps,
        // A bit of CMD, DATA or SUM: STX and LEN damage is the business of the classes below.
        [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
            const int frame = landOn(r, p.frames);
            const int size = p.frameSizes.value(frame, 5);
            int byte = 1 + r.bounded(size - 3);
            if (byte >= 2)
                byte += 2; // past the length field
            return QStringLiteral("flip %1 %2").arg(byte * 8 + r.bounded(8)).arg(frame);
        },
        succeed,
        {},
        {}};
    runClass(c);
}

void TestFaultInjection::truncatedAtEveryOffset() {
    // The first answer frame of a single-frame reply, a multi-frame reply and a text download,
    // cut at every offset in turn, from nothing left to one byte short.
    const QList<Op> ops{Op::MinMax, Op::DiscId, Op::Download};
    QHash<Op, int> next;
    FaultClass c{QStringLiteral("truncate-every-offset"),
                 ops,
                 [&next](Op op, const FaultRig::Profile& p, QRandomGenerator&) {
                     const int size = p.frameSizes.value(0, 1);
                     return QStringLiteral("truncate %1 0").arg(next[op]++ % size);
                 },
                 either,
                 {},
                 {}};
    runClass(c);
    for (Op op : ops)
        if (faultSeeds() >= 100)
            QVERIFY2(
                next[op] >= m_rig.profile(op).frameSizes.value(0),
                qPrintable(
                    QStringLiteral("too few seeds to cut %1 at every offset").arg(opName(op))));
}

void TestFaultInjection::truncatedFrame() {
    // Any frame of any operation, cut anywhere.
    FaultClass c{
        QStringLiteral("truncate"),
        kAllOps,
        [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
            return QStringLiteral("truncate %1 %2").arg(r.bounded(255)).arg(landOn(r, p.frames));
        },
        either,
        {},
        {}};
    runClass(c);
}

void TestFaultInjection::wrongLength_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("too small") << "small";
    QTest::newRow("too large") << "large";
    QTest::newRow("0xFFFF") << "ffff";
}

void TestFaultInjection::wrongLength() {
    QFETCH(QString, kind);
    FaultClass c{QStringLiteral("len-") + kind,
                 kAllOps,
                 [kind](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                     return QStringLiteral("len %1 %2").arg(kind).arg(landOn(r, p.frames));
                 },
                 either,
                 {},
                 {}};
    runClass(c);
}

void TestFaultInjection::cleanupTestCase() {
    for (const QString& line : m_summary)
        qInfo("%s", qPrintable(line));
    m_rig.sim.stop();
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
