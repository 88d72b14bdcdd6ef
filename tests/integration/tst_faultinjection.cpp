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

class TestFaultInjection : public QObject, public FaultSuite {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_rig.start()); }
    void damagedUnit_data();
    void damagedUnit() { runClass(); }
};

void TestFaultInjection::damagedUnit_data() {
    // The n-th frame the changer sends.
    const auto anyFrame = [](const Profile& p, QRandomGenerator& r) {
        return QString::number(landOn(r, p.frameSizes.size()));
    };
    addClassRows({
        aimed("noise",
              [](const Profile& p, QRandomGenerator& r) {
                  return QStringLiteral("%1 %2").arg(1 + r.bounded(20)).arg(landOn(r, p.units));
              }),
        // A bit of CMD, DATA or SUM: STX and LEN damage is the business of the rows below.
        aimed(
            "flip",
            [](const Profile& p, QRandomGenerator& r) {
                const int frame = landOn(r, p.frameSizes.size());
                int byte = 1 + r.bounded(p.frameSizes.value(frame, 5) - 3);
                if (byte >= 2)
                    byte += 2; // past the length field
                return QStringLiteral("%1 %2").arg(byte * 8 + r.bounded(8)).arg(frame);
            },
            succeed),
        // Any frame of any operation, cut anywhere (the cut is taken modulo the frame's length).
        aimed("truncate",
              [anyFrame](const Profile& p, QRandomGenerator& r) {
                  const int cut = r.bounded(255);
                  return QString::number(cut) + ' ' + anyFrame(p, r);
              }),
        // A length field one short, one long, or 0xFFFF.
        aimed("len small", anyFrame),
        aimed("len large", anyFrame),
        aimed("len ffff", anyFrame),
    });
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
