#pragma once

// Fault injection against changer-sim: one simulator and one link per test program; each seed
// picks an operation, a fault and the unit it hits, runs the operation and compares what the
// application reports and writes with the simulator's truth. The faults are switched through
// the simulator's control channel, so one process serves every seed of a class.
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
    static const char* const kNames[] = {"handshake", "minmax",  "discid", "download",
                                         "upload",    "readall", "push"};
    return QString::fromLatin1(kNames[int(op)]);
}

enum class Expect { Succeed, Fail, Either };

// Seeds per fault class: 100 unless TRACKFEN_FAULT_SEEDS asks for more (or fewer, when
// chasing one case).
inline int faultSeeds() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("TRACKFEN_FAULT_SEEDS", &ok);
    return ok && n > 0 ? n : 100;
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

// Units that crossed the line in one case, as the application saw them.
struct Traffic {
    QList<QByteArray> sent;
    QList<QByteArray> received;
    QStringList log; // both directions in order, for failure messages
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
};

// A disc's memory titles in the changer: the disc title, then tracks 1 to 3.
inline QStringList memoryTitles(const QJsonObject& disc) {
    const QJsonObject tracks = disc.value("memoryTracks").toObject();
    return {disc.value("memoryTitle").toString(), tracks.value("1").toString(),
            tracks.value("2").toString(), tracks.value("3").toString()};
}

class FaultRig : public OpsRig {
public:
    Traffic traffic;
    QString context;              // the case being run, for failure messages
    QMetaObject::Connection hook; // a class's own hook on the traffic, for one case

    static constexpr int kUploadDisc = 6;
    static constexpr int kDownloadDisc = 2; // CD TEXT in continuation pieces
    static constexpr int kTocDisc = 1;
    static constexpr int kRangeDisc = 6;
    const QList<int> kReadAllDiscs{1, 3};

    bool start() {
        if (!launch({"--think-ms", "2", "--load-ms", "0", "--piece", "10"}))
            return false;
        // The changer's own messages come again soon after a miss.
        if (!sim.ok("set push-retry-ms 100"))
            return false;
        link.setTimings(faultTimings());
        QObject::connect(&link, &Link::traffic, [this](bool sent, const QByteArray& unit) {
            (sent ? traffic.sent : traffic.received).append(unit);
            traffic.log << (sent ? QStringLiteral("pc ") : QStringLiteral("changer ")) +
                               QString::fromLatin1(unit.toHex(' '));
        });
        return openLink(sim.portPath()) && settle();
    }

    // Both ends quiet: no fault, no exchange open, no changer message waiting, link idle.
    bool settle(int timeoutMs = 20000) {
        if (!sim.ok("fault clear"))
            return false;
        QElapsedTimer clock;
        clock.start();
        int quiet = 0; // quiet looks in a row: a last unit may be on its way
        while (clock.elapsed() < timeoutMs) {
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
        Old old;
        switch (op) {
        case Op::Download:
            writeAll(config.programPath("texttmp.txt"), "OLD\r\n");
            break;
        case Op::ReadAll:
            writeDiscList(kReadAllDiscs);
            writeAll(dataPath("discdata.txt"), "OLD MASTER FILE\r\n");
            break;
        case Op::Upload: {
            old.uploadDisc = simDisc(kUploadDisc);
            const QString s = QStringLiteral("S%1 ").arg(seed);
            old.uploadTitles = QStringList{s + "disc", s + "one", s + "two", s + "three"};
            writeAll(uploadPath(), discFile("00000000", kUploadDisc, old.uploadTitles));
            break;
        }
        case Op::Push:
            old.pushDisc = dumpPlayDisc() == 1 ? 3 : 1;
            break;
        default:
            break;
        }
        old.files = files();
        return old;
    }

    // Runs the operation; true when it reported success.
    bool execute(Op op, const Old& old) {
        switch (op) {
        case Op::Handshake:
            link.RS232C_Changer_INIT();
            return link.linkState() == kLinkUp && link.linkBusy() == kLinkIdle;
        case Op::MinMax:
            return holding(link, [&] { return link.ReadMinMaxTno(kRangeDisc, m_range); });
        case Op::DiscId:
            return holding(link, [&] { return link.ReadDiscId(kTocDisc, m_toc); });
        case Op::Download:
            return holding(link, [&] {
                return downloadEditorTitles(link, config, ui, kDownloadDisc, 3, 2, 28);
            });
        case Op::Upload:
            return UploadTitles(link, uploadPath());
        case Op::ReadAll:
            m_readAll = readAllDiscsPass(ctx);
            return m_readAll.outcome == ReadAllOutcome::Completed;
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
            return QStringLiteral("failed where retries should have carried it: %1")
                .arg(shownText());
        if (expect == Expect::Fail && succeeded && op != Op::Push)
            return "reported success where it must fail";
        const int budget = op == Op::Handshake ? kHandshakeAttempts : kAttempts;
        if (traffic.longestRepeat() > budget)
            return QStringLiteral("a unit was sent %1 times in a row").arg(traffic.longestRepeat());
        if (op == Op::Upload) {
            const QString problem = checkUpload(old, succeeded);
            if (!problem.isEmpty())
                return problem;
        }
        return succeeded ? verifySuccess(op) : verifyFailure(op, old);
    }

    QString verifySuccess(Op op) {
        if (!ui.texts("error").isEmpty() || (op != Op::ReadAll && !ui.texts("message").isEmpty()))
            return QStringLiteral("success, yet shown: %1").arg(shownText());
        if (link.lastResult() != kResultOk)
            return QStringLiteral("success with LastResult %1").arg(link.lastResult());
        const Profile& clean = m_profiles[op];
        switch (op) {
        case Op::MinMax:
            if (m_range.lowest != clean.range.lowest || m_range.highest != clean.range.highest)
                return "wrong track range";
            return {};
        case Op::DiscId:
            if (m_toc.entries != clean.toc)
                return QStringLiteral("wrong table of %1 entries").arg(m_toc.entries.size());
            return {};
        case Op::Download: {
            const QByteArray file = readAll(config.programPath("texttmp.txt"));
            if (file != clean.download)
                return "texttmp.txt differs from a clean run's:\n" + QString::fromLatin1(file);
            return {};
        }
        case Op::ReadAll: {
            const QByteArray file = readAll(dataPath("discdata.txt"));
            // A disc whose "disc ready" report never came is skipped, as the pass says.
            if (m_readAll.discsSkipped == 1 && (file == readAllTruth(kReadAllDiscs.first()) ||
                                                file == readAllTruth(kReadAllDiscs.last())))
                return {};
            if (m_readAll.discsSkipped != 0 || file != readAllTruth())
                return QStringLiteral("discdata.txt differs from the changer's discs:\n%1")
                    .arg(QString::fromLatin1(file));
            return {};
        }
        default:
            return {};
        }
    }

    QString verifyFailure(Op op, const Old& old) {
        if (op == Op::Push)
            return "the pushed disc never arrived";
        if (op != Op::Handshake && link.lastResult() != kResultFailed)
            return QStringLiteral("failure with LastResult %1").arg(link.lastResult());
        if (ui.texts(op == Op::Handshake ? QStringLiteral("message") : QStringLiteral("error"))
                .size() != 1)
            return QStringLiteral("failure reported as: %1").arg(shownText());
        if (files() != old.files)
            return QStringLiteral("a failed %1 changed the files").arg(opName(op));
        return {};
    }

    // Every title the changer holds is the new one, or after a failure still the old one (the
    // titles accepted before it stay); the frames carry the disc's user-file byte and music
    // type back unchanged.
    QString checkUpload(const Old& old, bool succeeded) {
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
        return {};
    }

    // The master file of the pass over the changer's discs (or over one of them).
    QByteArray readAllTruth(int only = 0) {
        QStringList lines;
        for (int slot : kReadAllDiscs) {
            if (only != 0 && slot != only)
                continue;
            const QJsonObject disc = simDisc(slot);
            lines +=
                masterBlock(slot, tocOf(slot), disc.value("info").toInt(),
                            disc.value("userFileByte").toInt(), disc.value("musicType").toInt());
        }
        return crlf(lines);
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
            return QStringLiteral("the link is not usable after the case: %1").arg(shownText());
        return {};
    }

    QString shownText() const {
        QStringList out;
        for (const auto& s : ui.shown)
            if (s.kind != "progress")
                out << s.kind + ": " + s.text;
        return out.isEmpty() ? QStringLiteral("nothing") : out.join(" | ");
    }

    void resetCase() {
        ui.shown.clear();
        ui.progressValues.clear();
        traffic = Traffic();
        link.recordResult(true);
        m_range = {};
        m_toc = {};
        m_readAll = {};
    }

    QString uploadPath() const { return dataPath(QStringLiteral("DISC%1.txt").arg(kUploadDisc)); }

    // How many units a clean run of each operation exchanges, and what it read: the right
    // result of a run under faults (the operation tests own what a clean run gives).
    struct Profile {
        int units = 0;         // units the changer sends
        int pcFrames = 0;      // frames the application sends
        QList<int> frameSizes; // of the frames the changer sends, in order
        MinMaxTno range;
        QList<TocTime> toc;
        QByteArray download; // texttmp.txt
    };

    const Profile& profile(Op op) {
        if (!m_profiles.contains(op)) {
            resetCase();
            execute(op, prepare(op, 0));
            Profile p;
            p.units = int(traffic.received.size());
            for (const QByteArray& u : traffic.received)
                if (u.size() > 1)
                    p.frameSizes << int(u.size());
            for (const QByteArray& u : traffic.sent)
                p.pcFrames += u.size() > 1;
            p.range = m_range;
            p.toc = m_toc.entries;
            p.download = readAll(config.programPath("texttmp.txt"));
            m_profiles.insert(op, p);
            settle();
        }
        return m_profiles[op];
    }

private:
    QHash<Op, Profile> m_profiles;
    MinMaxTno m_range;
    DiscToc m_toc;
    ReadAllResult m_readAll;
};

// One fault class: per seed an operation (round robin over `ops`), a fault command made from
// the operation's clean profile and a generator seeded with the seed, the run, the checks.
struct FaultClass {
    QString name = {};
    QList<Op> ops = {};
    // The fault to switch on through the control channel ("" for none).
    std::function<QString(Op, const FaultRig::Profile&, QRandomGenerator&)> fault = {};
    std::function<Expect(Op, const QString& fault)> expect = {};
    // Optional: more arming (hooks on the traffic); returns a description for messages.
    std::function<QString(FaultRig&, Op, const FaultRig::Profile&, QRandomGenerator&)> arm = {};
    // Optional: checks of its own after the run, before the common ones; may settle the case
    // (returns true in *done) or report a problem.
    std::function<QString(FaultRig&, Op, bool succeeded, bool* done)> afterRun = {};
};

inline Expect succeed(Op, const QString&) {
    return Expect::Succeed;
}

inline Expect either(Op, const QString&) {
    return Expect::Either;
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

    void startRig() { QVERIFY(m_rig.start()); }

    // One row per class, for a test function that runs its row with runClass().
    static void addClassRows(const QList<FaultClass>& classes) {
        QTest::addColumn<FaultClass>("faultClass");
        for (const FaultClass& c : classes)
            QTest::newRow(qPrintable(c.name)) << c;
    }

    // Runs every seed of a class; fails with the first case that did not hold, with its seed
    // and fault so that it can be replayed alone.
    void runClass(const FaultClass& c) {
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
                                                   m_rig.traffic.log.join("\n  ")));
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
        const FaultRig::Profile profile = rig.profile(op);
        QRandomGenerator random(quint32(seed) * 7919u + quint32(qHash(c.name)));
        if (!rig.settle())
            return "the line did not come to rest before the case";
        rig.resetCase();
        rig.link.setTimings(relaxed ? productTimings() : faultTimings());
        rig.sim.ok(QStringLiteral("set seed %1").arg(seed));
        const FaultRig::Old old = rig.prepare(op, seed);
        const QString fault = c.fault ? c.fault(op, profile, random) : QString();
        const QString armed = c.arm ? c.arm(rig, op, profile, random) : QString();
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

// A skip that lands on one of `count` units (at least one).
inline int landOn(QRandomGenerator& random, qsizetype count) {
    return random.bounded(int(qMax<qsizetype>(1, count)));
}

} // namespace tf::test

Q_DECLARE_METATYPE(tf::test::FaultClass)
