#pragma once

// Fault injection against changer-sim: one simulator and one link per test program; each seed
// picks an operation, a fault and the unit it hits, runs the operation and compares what the
// application reports and writes with a clean run's. The faults are switched through the
// simulator's control channel, so one process serves every seed of a class.
//
// What an operation does on a failure answer (its message, the files it keeps) belongs to the
// operation tests; here a failure only has to be reported once, leave every file as it was and
// leave a link that works.

#include "tst_opsfixture.h"

#include "operations/readall.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"

#include <QDirIterator>
#include <QRandomGenerator>

#include <functional>

namespace tf::test {

// The protocol states a seed can land in: the handshake, a single-frame reply (ENQ, request,
// reply, closing), a multi-frame reply, a text download in continuation pieces, an upload, the
// read-all pass (with pushed "disc ready" exchanges inside it) and a pushed exchange alone.
enum class Op { Handshake, MinMax, DiscId, Download, Upload, ReadAll, Push };
inline const QList<Op> kAllOps{Op::Handshake, Op::MinMax,  Op::DiscId, Op::Download,
                               Op::Upload,    Op::ReadAll, Op::Push};

inline QString opName(Op op) {
    return QStringList{"handshake", "minmax", "discid", "download", "upload", "readall", "push"}.at(
        int(op));
}

enum class Expect { Succeed, Fail, Either };

// Seeds per fault class: 100 unless TRACKFEN_FAULT_SEEDS asks for more (or fewer, when
// chasing one case).
inline int faultSeeds() {
    const int n = qEnvironmentVariableIntValue("TRACKFEN_FAULT_SEEDS");
    return n > 0 ? n : 100;
}

// Short time-outs so a failing case costs a fraction of a second; the attempts stay four.
inline LinkTimings faultTimings() {
    LinkTimings t = shortTimings(120);
    t.enqMs = 25;
    t.controlMs = 50;
    t.reconnectMs = 3600 * 1000; // a hang-up must end the session, not reconnect it
    t.tocWaitMs = 4000;          // long enough for a "disc ready" the changer pushes again
    return t;
}

// How a clean run of an operation went: the units it exchanged, where faults are aimed, and
// what it produced, the right result of a run under faults (the operation tests own what a
// clean run gives).
struct Profile {
    int units = 0;         // units the changer sends
    int pcFrames = 0;      // frames the application sends
    QList<int> frameSizes; // of the frames the changer sends, in order
    QByteArray result;
};

// A disc's memory titles in the changer: the disc title, then tracks 1 to 3.
inline QStringList memoryTitles(const QJsonObject& disc) {
    const QJsonObject tracks = disc.value("memoryTracks").toObject();
    return {disc.value("memoryTitle").toString(), tracks.value("1").toString(),
            tracks.value("2").toString(), tracks.value("3").toString()};
}

class FaultRig : public OpsRig {
public:
    static constexpr int kUploadDisc = 6;
    static constexpr int kDownloadDisc = 2; // CD TEXT in continuation pieces
    static constexpr int kTocDisc = 1;
    static constexpr int kRangeDisc = 6;
    const QList<int> kReadAllDiscs{1, 3};

    // Units that crossed the line in one case, as the application saw them.
    QList<QByteArray> sent;
    QList<QByteArray> received;
    QStringList log;              // both directions in order, for failure messages
    QString context;              // the case being run, for failure messages
    QMetaObject::Connection hook; // a class's own hook on the traffic, for one case

    bool start() {
        if (!launch({"--think-ms", "2", "--load-ms", "0", "--piece", "10"}))
            return false;
        // The changer's own messages come again soon after a miss.
        if (!sim.ok("set push-retry-ms 100"))
            return false;
        link.setTimings(faultTimings());
        QObject::connect(&link, &Link::traffic, [this](bool out, const QByteArray& unit) {
            (out ? sent : received).append(unit);
            log << (out ? QStringLiteral("pc ") : QStringLiteral("changer ")) +
                       QString::fromLatin1(unit.toHex(' '));
        });
        return openLink(sim.portPath()) && settle();
    }

    // Both ends quiet: no fault, no exchange open, no changer message waiting, link idle.
    bool settle() {
        if (!sim.ok("fault clear"))
            return false;
        QElapsedTimer clock;
        clock.start();
        int quiet = 0; // quiet looks in a row: a last unit may be on its way
        while (clock.elapsed() < 20000) {
            const QJsonObject d = sim.dump();
            const bool still = d.value("engine").toString() == "idle" &&
                               d.value("queuedPushes").toInt() == 0 &&
                               link.linkBusy() == kLinkIdle && !link.slotFull();
            quiet = still ? quiet + 1 : 0;
            if (quiet == 2)
                return true;
            QTest::qWait(still ? 5 : 15);
        }
        return false;
    }

    int dumpPlayDisc() { return sim.dump().value("play").toObject().value("disc").toInt(); }

    // Every file in the rig's folders with its content.
    QMap<QString, QByteArray> files() const {
        QMap<QString, QByteArray> out;
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            out.insert(path, readAll(path));
        }
        return out;
    }

    // ---- one case ----

    struct Old {
        QMap<QString, QByteArray> files;
        QJsonObject uploadDisc;   // the upload disc in the changer before the case
        QStringList uploadTitles; // the titles the upload sends, as memoryTitles() gives them
        int pushDisc = 0;
    };

    Old prepare(Op op, int seed) {
        ui.shown.clear();
        sent.clear();
        received.clear();
        log.clear();
        link.recordResult(true);
        Old old;
        if (op == Op::Download) {
            writeAll(config.programPath("texttmp.txt"), "OLD\r\n");
        } else if (op == Op::ReadAll) {
            writeDiscList(kReadAllDiscs);
            writeAll(dataPath("discdata.txt"), "OLD MASTER FILE\r\n");
        } else if (op == Op::Upload) {
            old.uploadDisc = simDisc(kUploadDisc);
            const QString s = QStringLiteral("S%1 ").arg(seed);
            old.uploadTitles = QStringList{s + "disc", s + "one", s + "two", s + "three"};
            writeAll(uploadPath(), discFile("00000000", kUploadDisc, old.uploadTitles));
        } else if (op == Op::Push) {
            old.pushDisc = dumpPlayDisc() == 1 ? 3 : 1;
        }
        old.files = files();
        return old;
    }

    // Runs the operation and keeps what it produced; true when it reported success.
    bool execute(Op op, const Old& old) {
        m_result.clear();
        m_skipped = 0;
        switch (op) {
        case Op::Handshake:
            link.RS232C_Changer_INIT();
            return link.linkState() == kLinkUp && link.linkBusy() == kLinkIdle;
        case Op::MinMax: {
            MinMaxTno range;
            const bool ok = holding(link, [&] { return link.ReadMinMaxTno(kRangeDisc, range); });
            m_result = QByteArray::number(range.lowest) + '-' + QByteArray::number(range.highest);
            return ok;
        }
        case Op::DiscId: {
            DiscToc toc;
            const bool ok = holding(link, [&] { return link.ReadDiscId(kTocDisc, toc); });
            for (const TocTime& t : toc.entries)
                m_result += QByteArray::number((t.minutes * 60 + t.seconds) * 75 + t.frames) + ' ';
            return ok;
        }
        case Op::Download: {
            const bool ok = holding(link, [&] {
                return downloadEditorTitles(link, config, ui, kDownloadDisc, 3, 2, 28);
            });
            m_result = readAll(config.programPath("texttmp.txt"));
            return ok;
        }
        case Op::Upload:
            return UploadTitles(link, uploadPath());
        case Op::ReadAll: {
            const ReadAllResult pass = readAllDiscsPass(ctx);
            m_skipped = pass.discsSkipped;
            m_result = readAll(dataPath("discdata.txt"));
            return pass.outcome == ReadAllOutcome::Completed;
        }
        case Op::Push:
            // The changer loads another disc from its panel and reports it by itself.
            sim.ok(QStringLiteral("load %1").arg(old.pushDisc));
            QTest::qWait(60); // the faults strike before settle() clears them
            settle();
            return link.playValues().PlayDisc == old.pushDisc &&
                   link.playValues().TocReadyDisc == old.pushDisc;
        }
        return false;
    }

    // Checks one finished case. Empty when everything holds, else what went wrong.
    QString verify(Op op, bool succeeded, Expect expect, const Old& old) {
        if (expect == Expect::Succeed && !succeeded)
            return "failed where retries should have carried it: " + shownText();
        if (expect == Expect::Fail && succeeded && op != Op::Push)
            return "reported success where it must fail";
        if (longestRepeat() > (op == Op::Handshake ? kHandshakeAttempts : kAttempts))
            return QStringLiteral("a unit was sent %1 times in a row").arg(longestRepeat());
        if (op == Op::Upload) {
            // Every title the changer holds is the new one, or after a failure still the old
            // one (the titles accepted before it stay); the frames carry the disc's user-file
            // byte and music type back unchanged.
            const QJsonObject disc = simDisc(kUploadDisc);
            const QStringList now = memoryTitles(disc);
            const QStringList before = memoryTitles(old.uploadDisc);
            for (int i = 0; i < now.size(); ++i)
                if (now.at(i) != old.uploadTitles.at(i) && (succeeded || now.at(i) != before.at(i)))
                    return QStringLiteral("the changer holds title %1 in place of %2")
                        .arg(now.at(i), old.uploadTitles.at(i));
            for (const char* key : {"userFileByte", "musicType"})
                if (disc.value(key) != old.uploadDisc.value(key))
                    return QStringLiteral("%1 changed to %2").arg(key).arg(disc.value(key).toInt());
        }
        if (!succeeded) {
            if (op == Op::Push)
                return "the pushed disc never arrived";
            if (op != Op::Handshake && link.lastResult() != kResultFailed)
                return QStringLiteral("failure with LastResult %1").arg(link.lastResult());
            if (ui.texts(op == Op::Handshake ? "message" : "error").size() != 1)
                return "failure reported as: " + shownText();
            if (files() != old.files)
                return QStringLiteral("a failed %1 changed the files").arg(opName(op));
            return {};
        }
        if (!ui.texts("error").isEmpty() || (op != Op::ReadAll && !ui.texts("message").isEmpty()))
            return "success, yet shown: " + shownText();
        if (link.lastResult() != kResultOk)
            return QStringLiteral("success with LastResult %1").arg(link.lastResult());
        // A disc whose "disc ready" report never came is skipped, as the pass says, and the
        // master file holds the other disc alone.
        bool right = m_result == m_profiles[op].result;
        if (op == Op::ReadAll && m_skipped != 0)
            right = m_skipped == 1 && (m_result == discBlock(kReadAllDiscs.first()) ||
                                       m_result == discBlock(kReadAllDiscs.last()));
        if (!right)
            return "the result differs from a clean run's:\n" + QString::fromLatin1(m_result);
        return {};
    }

    // One disc's master block as the changer's values make it.
    QByteArray discBlock(int slot) {
        const QJsonObject disc = simDisc(slot);
        return crlf(masterBlock(slot, tocOf(slot), disc.value("info").toInt(),
                                disc.value("userFileByte").toInt(),
                                disc.value("musicType").toInt()));
    }

    // The longest run of one unit sent again and again (ACKs aside: a multi-frame answer is
    // acknowledged frame by frame).
    int longestRepeat() const {
        int best = 0;
        int run = 0;
        QByteArray last;
        for (const QByteArray& u : sent) {
            if (u == QByteArray(1, char(kAck)))
                continue;
            run = u == last ? run + 1 : 1;
            last = u;
            best = qMax(best, run);
        }
        return best;
    }

    // After a case the link must work again: a clean transaction succeeds. The waits are the
    // product's here (the next case sets its own): this checks the link, not its speed.
    QString recover(Op op, bool succeeded) {
        link.setTimings(productTimings());
        if (!link.isOpen()) {
            // After a hang-up: a fresh line from the simulator and a new handshake.
            const QString answer = sim.command("reopen");
            link.setOffline(false);
            if (!answer.startsWith("OK PTY ") || !openLink(answer.section(' ', 2)))
                return "no new line after the hang-up";
        } else if (op == Op::Handshake && !succeeded) {
            link.setOffline(false);
            link.RS232C_Changer_INIT();
            if (link.linkState() != kLinkUp)
                return "the handshake does not come back";
        }
        if (!settle())
            return "the line does not come to rest";
        MinMaxTno range;
        if (!succeeded && (!holding(link, [&] { return link.ReadMinMaxTno(kRangeDisc, range); }) ||
                           range.highest != 25))
            return "the link is not usable after the case: " + shownText();
        return {};
    }

    QString shownText() const { return (ui.texts("message") + ui.texts("error")).join(" | "); }

    QString uploadPath() const { return dataPath(QStringLiteral("DISC%1.txt").arg(kUploadDisc)); }

    const Profile& profile(Op op) {
        if (!m_profiles.contains(op)) {
            execute(op, prepare(op, 0));
            Profile p;
            p.units = int(received.size());
            for (const QByteArray& u : received)
                if (u.size() > 1)
                    p.frameSizes << int(u.size());
            for (const QByteArray& u : sent)
                p.pcFrames += u.size() > 1;
            p.result = m_result;
            m_profiles.insert(op, p);
            settle();
        }
        return m_profiles[op];
    }

private:
    QHash<Op, Profile> m_profiles;
    QByteArray m_result; // what the operation produced: its values or the file it wrote
    int m_skipped = 0;   // discs the read-all pass skipped
};

// One fault class: per seed an operation (round robin over `ops`), a fault command made from
// the operation's clean profile and a generator seeded with the seed, the run, the checks.
struct FaultClass {
    QString name = {};
    QList<Op> ops = kAllOps;
    // The fault to switch on through the control channel ("" for none).
    std::function<QString(Op, const Profile&, QRandomGenerator&)> fault = {};
    std::function<Expect(Op, const QString& fault)> expect = [](Op, const QString&) {
        return Expect::Either;
    };
    // Optional: more arming (hooks on the traffic); returns a description for messages.
    std::function<QString(FaultRig&, QRandomGenerator&)> arm = {};
    // Optional: checks of its own after the run, before the common ones; may settle the case
    // (returns true in *done) or report a problem.
    std::function<QString(FaultRig&, Op, bool succeeded, bool* done)> afterRun = {};
};

inline Expect succeed(Op, const QString&) {
    return Expect::Succeed;
}

// A skip that lands on one of `count` units (at least one).
inline int landOn(QRandomGenerator& random, qsizetype count) {
    return random.bounded(int(qMax<qsizetype>(1, count)));
}

// A class whose fault is `name` and the arguments `args` makes for the case.
inline FaultClass aimed(const QString& name,
                        const std::function<QString(const Profile&, QRandomGenerator&)>& args,
                        const std::function<Expect(Op, const QString&)>& expect = {}) {
    FaultClass c{.name = name, .fault = [=](Op, const Profile& p, QRandomGenerator& r) {
                     return name + ' ' + args(p, r);
                 }};
    c.expect = expect ? expect : c.expect;
    return c;
}

// The fault classes of one test case on one simulator and link.
//
// The shortened waits make a case sensitive to a busy machine: a stall of a tenth of a second
// reads as a lost reply. So a case that must succeed but failed is first checked as a proper
// failure (reported, nothing written), then run again with the same seed and the product's
// waits, where it must succeed. A few re-runs are allowed per class; more mean the short waits
// no longer test the fault but the machine, and the class would pass on the product's waits
// alone.
class FaultSuite {
protected:
    FaultRig m_rig;

    // One row per class, for a test function that runs its row with runClass().
    static void addClassRows(const QList<FaultClass>& classes) {
        QTest::addColumn<FaultClass>("faultClass");
        for (const FaultClass& c : classes)
            QTest::newRow(qPrintable(c.name)) << c;
    }

    // Runs every seed of the row's class; fails with the first case that did not hold, with
    // its seed and fault so that it can be replayed alone.
    void runClass() {
        QFETCH(FaultClass, faultClass);
        const FaultClass& c = faultClass;
        const int rerunLimit = qMax(3, faultSeeds() / 10);
        int succeeded = 0;
        int reruns = 0;
        for (int seed = 1; seed <= faultSeeds(); ++seed) {
            const Op op = c.ops.at(seed % c.ops.size());
            bool ok = false;
            Expect expect = Expect::Either;
            QString problem = runCase(c, seed, op, false, &ok, &expect);
            if (problem.isEmpty() && expect == Expect::Succeed && !ok) {
                QVERIFY2(++reruns <= rerunLimit,
                         qPrintable(QStringLiteral("%1: more than %2 cases failed on the short "
                                                   "waits and were re-run, the last %3")
                                        .arg(c.name)
                                        .arg(rerunLimit)
                                        .arg(m_rig.context)));
                problem = runCase(c, seed, op, true, &ok, &expect);
            }
            QVERIFY2(problem.isEmpty(), qPrintable(m_rig.context + ": " + problem + "\nline:\n  " +
                                                   m_rig.log.join("\n  ")));
            succeeded += ok;
        }
        qInfo("%s: %d cases, %d succeeded, the others failed and were reported, %d re-run with "
              "the product's waits",
              qPrintable(c.name), faultSeeds(), succeeded, reruns);
    }

private:
    QString runCase(const FaultClass& c, int seed, Op op, bool relaxed, bool* succeeded,
                    Expect* expect) {
        FaultRig& rig = m_rig;
        const Profile profile = rig.profile(op);
        QRandomGenerator random(quint32(seed) * 7919u + quint32(qHash(c.name)));
        if (!rig.settle())
            return "the line did not come to rest before the case";
        rig.link.setTimings(relaxed ? productTimings() : faultTimings());
        rig.sim.ok(QStringLiteral("set seed %1").arg(seed));
        const FaultRig::Old old = rig.prepare(op, seed);
        const QString fault = c.fault ? c.fault(op, profile, random) : QString();
        const QString armed = c.arm ? c.arm(rig, random) : QString();
        rig.context = QStringLiteral("%1 seed %2 %3%4: %5%6")
                          .arg(c.name)
                          .arg(seed)
                          .arg(opName(op), relaxed ? QStringLiteral(" (product waits)") : QString(),
                               fault.isEmpty() ? QString() : "fault " + fault, armed);
        if (!fault.isEmpty() && !rig.sim.ok("fault " + fault))
            return "the simulator refused the fault";
        *succeeded = rig.execute(op, old);
        rig.sim.ok("fault clear");
        QObject::disconnect(rig.hook);
        rig.link.setTimings(faultTimings());
        *expect = c.expect(op, fault);
        bool done = false;
        QString problem = c.afterRun ? c.afterRun(rig, op, *succeeded, &done) : QString();
        if (problem.isEmpty() && !done)
            problem =
                rig.verify(op, *succeeded,
                           *expect == Expect::Succeed && !relaxed ? Expect::Either : *expect, old);
        if (problem.isEmpty())
            problem = rig.recover(op, *succeeded);
        return problem;
    }
};

} // namespace tf::test

Q_DECLARE_METATYPE(tf::test::FaultClass)
