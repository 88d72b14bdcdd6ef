// Fault injection, refusals and time: the changer NAKs a frame one to five times, falls
// silent at any step, answers just after the application gave up waiting, or the line is hung
// up at any step. Failures must come within four attempts, with the operation's own message
// and the files as they were.

#include "tst_faultfixture.h"

#include "base/catalogue.h"

using namespace tf;
using namespace tf::test;

class TestFaultInjectionTiming : public QObject, public FaultSuite {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_rig.start()); }
    void refusalAndTime_data();
    void refusalAndTime() { runClass(); }
};

void TestFaultInjectionTiming::refusalAndTime_data() {
    addClassRows({
        // The application sends no frame in a pushed exchange: every other operation.
        FaultClass{
            .name = "nak",
            .ops = {Op::Handshake, Op::MinMax, Op::DiscId, Op::Download, Op::Upload, Op::ReadAll},
            .fault =
                [](Op, const Profile& p, QRandomGenerator& r) {
                    return QStringLiteral("nak %1 %2")
                        .arg(1 + r.bounded(5))
                        .arg(landOn(r, p.pcFrames));
                },
            .expect =
                [](Op op, const QString& fault) {
                    // Three NAKs leave the fourth attempt; the handshake frame has ten.
                    const int naks = fault.section(' ', 1, 1).toInt();
                    return op == Op::Handshake || naks < kAttempts ? Expect::Succeed : Expect::Fail;
                }},
        // Any unit of the changer's may be the first it does not send. A pushed exchange is
        // repeated by the changer once it talks again; the read-all pass skips a disc whose
        // "disc ready" report does not come, and may finish without it.
        FaultClass{.name = "silence",
                   .fault =
                       [](Op, const Profile& p, QRandomGenerator& r) {
                           return QStringLiteral("mute %1").arg(landOn(r, p.units));
                       },
                   .expect =
                       [](Op op, const QString&) {
                           return op == Op::Push      ? Expect::Succeed
                                  : op == Op::ReadAll ? Expect::Either
                                                      : Expect::Fail;
                       }},
        // A unit held back a little longer than the wait for it: the application has moved on
        // (sent again, or given up) when it arrives. Either outcome may be right; neither may
        // store wrong data or wedge the link.
        aimed("late",
              [this](const Profile& p, QRandomGenerator& r) {
                  const LinkTimings& t = m_rig.link.timings();
                  const int waits[] = {t.enqMs, t.controlMs, t.replyMs};
                  return QStringLiteral("%1 %2")
                      .arg(waits[r.bounded(3)] + 5 + r.bounded(30))
                      .arg(landOn(r, p.units));
              }),
        // The line vanishes in place of any unit: the application says so (message 339, then
        // it asks to close), the operation ends without wrong data, and nothing spins.
        FaultClass{.name = "hangup",
                   .fault =
                       [](Op, const Profile& p, QRandomGenerator& r) {
                           return QStringLiteral("cut %1").arg(landOn(r, p.units));
                       },
                   .afterRun = [](FaultRig& rig, Op op, bool succeeded, bool* done) -> QString {
                       // The unit counts of a pushed exchange vary a little from run to run: the
                       // cut may come after the last unit, and then the case ran clean.
                       if (rig.sim.dump().value("portOpen").toBool())
                           return QString();
                       if (!QTest::qWaitFor([&rig] { return !rig.link.isOpen(); }, 3000))
                           return "the port is still open after the hang-up";
                       const qsizetype shown = rig.ui.shown.removeIf(
                           [](const ScriptedUi::Shown& s) { return s.text == msg(339); });
                       if (shown != 1)
                           return QStringLiteral("message 339 shown %1 times").arg(shown);
                       // A push cannot arrive over a dead line; a handshake cannot finish.
                       *done = op == Op::Push || (op == Op::Handshake && !succeeded);
                       return QString();
                   }},
    });
}

QTEST_GUILESS_MAIN(TestFaultInjectionTiming)
#include "tst_faultinjection_timing.moc"
