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
    void initTestCase() { startRig(); }
    void damagedUnit_data();
    void damagedUnit() {
        QFETCH(FaultClass, faultClass);
        runClass(faultClass);
    }
};

void TestFaultInjection::damagedUnit_data() {
    const auto lengthClass = [](const QString& kind) {
        return FaultClass{.name = "len-" + kind,
                          .ops = kAllOps,
                          .fault =
                              [kind](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                                  return QStringLiteral("len %1 %2")
                                      .arg(kind)
                                      .arg(landOn(r, p.frameSizes.size()));
                              },
                          .expect = either};
    };
    addClassRows({
        FaultClass{.name = "noise",
                   .ops = kAllOps,
                   .fault =
                       [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                           return QStringLiteral("noise %1 %2")
                               .arg(1 + r.bounded(20))
                               .arg(landOn(r, p.units));
                       },
                   .expect = either},
        // A bit of CMD, DATA or SUM: STX and LEN damage is the business of the rows below.
        FaultClass{
            .name = "flip",
            .ops = kAllOps,
            .fault =
                [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                    const int frame = landOn(r, p.frameSizes.size());
                    const int size = p.frameSizes.value(frame, 5);
                    int byte = 1 + r.bounded(size - 3);
                    if (byte >= 2)
                        byte += 2; // past the length field
                    return QStringLiteral("flip %1 %2").arg(byte * 8 + r.bounded(8)).arg(frame);
                },
            .expect = succeed},
        // Any frame of any operation, cut anywhere (the cut is taken modulo the frame's length).
        FaultClass{.name = "truncate",
                   .ops = kAllOps,
                   .fault =
                       [](Op, const FaultRig::Profile& p, QRandomGenerator& r) {
                           return QStringLiteral("truncate %1 %2")
                               .arg(r.bounded(255))
                               .arg(landOn(r, p.frameSizes.size()));
                       },
                   .expect = either},
        lengthClass("small"),
        lengthClass("large"),
        lengthClass("ffff"),
    });
}

QTEST_GUILESS_MAIN(TestFaultInjection)
#include "tst_faultinjection.moc"
