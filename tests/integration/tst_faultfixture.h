#pragma once

// Fault injection against changer-sim: one simulator and one link per test program; each seed
// picks an operation, a fault and the unit it hits, runs the operation and compares what the
// application reports and writes with the simulator's truth. The faults are switched through
// the simulator's control channel, so one process serves every seed of a class.

#include "tst_opsfixture.h"

#include "base/catalogue.h"
#include "operations/readall.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"

#include <QJsonDocument>
#include <QRandomGenerator>

#include <functional>
#include <optional>

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
    int receivedFrames() const {
        int n = 0;
        for (const QByteArray& u : received)
            n += u.size() > 1;
        return n;
    }
    int sentFrames() const {
        int n = 0;
        for (const QByteArray& u : sent)
            n += u.size() > 1;
        return n;
    }
    // The longest run of one unit sent again and again (ACKs aside: a multi-frame answer is
    // acknowledged frame by frame).
    int longestRepeat() const {
        int best = 0;
        int run = 0;
        QByteArray last;
        for (const QByteArray& u : sent) {
            if (u == QByteArray(1, char(kAck))) {
                continue;
            }
            run = u == last ? run + 1 : 1;
            last = u;
            best = qMax(best, run);
        }
        return best;
    }
};

inline QJsonObject libraryJson() {
    QFile file(opsLibrary());
    file.open(QIODevice::ReadOnly);
    return QJsonDocument::fromJson(file.readAll()).object();
}

inline QJsonObject libraryDisc(int slot) {
    for (const auto& d : libraryJson().value(QStringLiteral("discs")).toArray())
        if (d.toObject().value(QStringLiteral("slot")).toInt() == slot)
            return d.toObject();
    return {};
}

inline QStringList tocOf(int slot) {
    QStringList toc;
    for (const auto& v : libraryDisc(slot).value(QStringLiteral("toc")).toArray())
        toc << v.toString();
    return toc;
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
        if (!launch({QStringLiteral("--think-ms"), QStringLiteral("2"), QStringLiteral("--load-ms"),
                     QStringLiteral("0"), QStringLiteral("--piece"), QStringLiteral("10")}))
            return false;
        // The changer's own messages come again soon after a miss.
        if (!sim.ok(QStringLiteral("set push-retry-ms 100")))
            return false;
        link.setTimings(faultTimings());
        QObject::connect(&link, &Link::traffic, [this](bool sent, const QByteArray& unit) {
            (sent ? traffic.sent : traffic.received).append(unit);
            traffic.log << (sent ? QStringLiteral("pc ") : QStringLiteral("changer ")) +
                               QString::fromLatin1(unit.toHex(' '));
        });
        return connectLink(sim.portPath());
    }

    bool connectLink(const QString& port) { return openLink(port) && settle(); }

    // After a hang-up: a fresh line from the simulator and a new handshake.
    bool reconnect() {
        const QString answer = sim.command(QStringLiteral("reopen"));
        if (!answer.startsWith(QLatin1String("OK PTY ")))
            return false;
        link.setOffline(false);
        return connectLink(answer.section(QLatin1Char(' '), 2));
    }

    // Both ends quiet: no fault, no exchange open, no changer message waiting, link idle.
    bool settle(int timeoutMs = 20000) {
        if (!sim.ok(QStringLiteral("fault clear")))
            return false;
        QElapsedTimer clock;
        clock.start();
        int quiet = 0; // quiet looks in a row: a last unit may be on its way
        while (clock.elapsed() < timeoutMs) {
            const QJsonObject d = sim.dump();
            const bool still =
                d.value(QStringLiteral("engine")).toString() == QLatin1String("idle") &&
                d.value(QStringLiteral("queuedPushes")).toInt() == 0 &&
                link.linkBusy() == kLinkIdle && !link.slotFull();
            quiet = still ? quiet + 1 : 0;
            if (quiet == 2)
                return true;
            QTest::qWait(still ? 5 : 15);
        }
        return false;
    }

    int dumpPlayDisc() {
        return sim.dump()
            .value(QStringLiteral("play"))
            .toObject()
            .value(QStringLiteral("disc"))
            .toInt();
    }

    // ---- one case ----

    struct Old {
        QJsonObject uploadDisc; // the changer's titles of the upload disc before the case
        QStringList uploadFile;
        int pushDisc = 0;
    };

    Old prepare(Op op, int seed) {
        Old old;
        switch (op) {
        case Op::Download:
            writeAll(config.programPath(QStringLiteral("texttmp.txt")), "OLD\r\n");
            break;
        case Op::ReadAll: {
            writeDiscList(kReadAllDiscs);
            writeAll(dataPath(QStringLiteral("discdata.txt")), "OLD MASTER FILE\r\n");
            break;
        }
        case Op::Upload: {
            old.uploadDisc = simDisc(kUploadDisc);
            const QString s = QStringLiteral("S%1 ").arg(seed);
            old.uploadFile =
                QStringList{QStringLiteral("DISC ID ="),     QStringLiteral("00000000"),
                            QStringLiteral("DISC NO ="),     QString::number(kUploadDisc),
                            QStringLiteral("MIN TNO ="),     QStringLiteral("1"),
                            QStringLiteral("MAX TNO ="),     QStringLiteral("3"),
                            QStringLiteral("Disc Title ="),  s + QStringLiteral("disc"),
                            QStringLiteral("Track Title ="), s + QStringLiteral("one"),
                            s + QStringLiteral("two"),       s + QStringLiteral("three")};
            writeAll(uploadPath(), crlf(old.uploadFile));
            break;
        }
        case Op::Push:
            old.pushDisc = dumpPlayDisc() == 1 ? 3 : 1;
            break;
        default:
            break;
        }
        return old;
    }

    // Runs the operation; true when it reported success.
    bool execute(Op op, const Old& old, const std::function<void()>& afterStart = {}) {
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
        case Op::Push: {
            // The changer loads another disc from its panel and reports it by itself.
            sim.ok(QStringLiteral("load %1").arg(old.pushDisc));
            QTest::qWait(60); // the faults strike before settle() clears them
            if (afterStart)
                afterStart();
            settle();
            return link.playValues().PlayDisc == old.pushDisc &&
                   link.playValues().TocReadyDisc == old.pushDisc;
        }
        }
        return false;
    }

    // The messages a failed operation may show: the failing transaction's own report.
    static QList<int> failureMessages(Op op) {
        switch (op) {
        case Op::Handshake:
            return {336};
        case Op::MinMax:
            return {440};
        case Op::DiscId:
            return {428};
        case Op::Download:
            return {313};
        case Op::Upload:
            return {313, 434, 364};
        case Op::ReadAll:
            return {436, 428, 430, 432};
        case Op::Push:
            return {};
        }
        return {};
    }

    // Checks one finished case. Empty when everything holds, else what went wrong.
    QString verify(Op op, bool succeeded, Expect expect, const Old& old) {
        if (expect == Expect::Succeed && !succeeded)
            return QStringLiteral("failed where retries should have carried it: %1")
                .arg(shownText());
        if (expect == Expect::Fail && succeeded && op != Op::Push)
            return QStringLiteral("reported success where it must fail");
        const int budget = op == Op::Handshake ? kHandshakeAttempts : kAttempts;
        if (traffic.longestRepeat() > budget)
            return QStringLiteral("a unit was sent %1 times in a row").arg(traffic.longestRepeat());
        return succeeded ? verifySuccess(op, old) : verifyFailure(op, old);
    }

    QString verifySuccess(Op op, const Old& old) {
        if (!ui.texts(QStringLiteral("error")).isEmpty() ||
            (op != Op::ReadAll && !ui.texts(QStringLiteral("message")).isEmpty()))
            return QStringLiteral("success, yet shown: %1").arg(shownText());
        if (link.lastResult() != kResultOk)
            return QStringLiteral("success with LastResult %1").arg(link.lastResult());
        switch (op) {
        case Op::Handshake:
        case Op::Push:
            return {};
        case Op::MinMax: {
            const QJsonObject truth = simDisc(kRangeDisc);
            if (m_range.lowest != truth.value(QStringLiteral("lowest")).toInt() ||
                m_range.highest != truth.value(QStringLiteral("highest")).toInt())
                return QStringLiteral("wrong track range %1-%2")
                    .arg(m_range.lowest)
                    .arg(m_range.highest);
            return {};
        }
        case Op::DiscId: {
            const QStringList toc = tocOf(kTocDisc);
            if (m_toc.entries.size() != toc.size())
                return QStringLiteral("%1 table entries").arg(m_toc.entries.size());
            for (int i = 0; i < toc.size(); ++i) {
                const auto& e = m_toc.entries.at(i);
                const QString got = QStringLiteral("%1:%2:%3")
                                        .arg(e.minutes, 2, 10, QLatin1Char('0'))
                                        .arg(e.seconds, 2, 10, QLatin1Char('0'))
                                        .arg(e.frames, 2, 10, QLatin1Char('0'));
                if (got != toc.at(i))
                    return QStringLiteral("table entry %1 is %2").arg(i).arg(got);
            }
            return {};
        }
        case Op::Download: {
            const QByteArray file = readAll(config.programPath(QStringLiteral("texttmp.txt")));
            if (file != downloadTruth())
                return QStringLiteral("texttmp.txt differs from the changer's text:\n%1")
                    .arg(QString::fromLatin1(file));
            return {};
        }
        case Op::Upload: {
            const QJsonObject disc = simDisc(kUploadDisc);
            const QString s = old.uploadFile.at(9).section(QLatin1Char(' '), 0, 0) + ' ';
            const QJsonObject tracks{{QStringLiteral("1"), s + QStringLiteral("one")},
                                     {QStringLiteral("2"), s + QStringLiteral("two")},
                                     {QStringLiteral("3"), s + QStringLiteral("three")}};
            if (disc.value(QStringLiteral("memoryTitle")).toString() != old.uploadFile.at(9) ||
                disc.value(QStringLiteral("memoryTracks")).toObject() != tracks)
                return QStringLiteral("the changer holds other titles: %1")
                    .arg(QString::fromUtf8(QJsonDocument(disc).toJson(QJsonDocument::Compact)));
            return checkUploadSideData(old);
        }
        case Op::ReadAll: {
            const QByteArray file = readAll(dataPath(QStringLiteral("discdata.txt")));
            // A disc whose "disc ready" report never came is skipped, as the pass says.
            if (m_readAll.discsSkipped == 1 && (file == readAllTruth(kReadAllDiscs.first()) ||
                                                file == readAllTruth(kReadAllDiscs.last())))
                return {};
            if (m_readAll.discsSkipped != 0 || file != readAllTruth())
                return QStringLiteral("discdata.txt differs from the changer's discs:\n%1")
                    .arg(QString::fromLatin1(file));
            return {};
        }
        }
        return {};
    }

    QString verifyFailure(Op op, const Old& old) {
        if (op == Op::Push)
            return QStringLiteral("the pushed state never arrived: disc %1, ready %2, want %3")
                .arg(link.playValues().PlayDisc)
                .arg(link.playValues().TocReadyDisc)
                .arg(old.pushDisc);
        if (op != Op::Handshake && link.lastResult() != kResultFailed)
            return QStringLiteral("failure with LastResult %1").arg(link.lastResult());
        const QStringList errors =
            ui.texts(op == Op::Handshake ? QStringLiteral("message") : QStringLiteral("error"));
        QStringList allowed;
        for (int id : failureMessages(op))
            allowed << msg(id);
        if (errors.size() != 1 || !allowed.contains(errors.first()))
            return QStringLiteral("failure reported as: %1").arg(shownText());
        switch (op) {
        case Op::Download:
            if (readAll(config.programPath(QStringLiteral("texttmp.txt"))) != "OLD\r\n")
                return QStringLiteral("texttmp.txt changed by a failed download");
            if (QFile::exists(config.programPath(QStringLiteral("tmpttl.txt"))))
                return QStringLiteral("tmpttl.txt left behind");
            return {};
        case Op::Upload: {
            if (readAll(uploadPath()) != crlf(old.uploadFile))
                return QStringLiteral("the title file changed");
            // Titles accepted before the failure stay; every title is the old or the new one.
            const QJsonObject disc = simDisc(kUploadDisc);
            const QString title = disc.value(QStringLiteral("memoryTitle")).toString();
            if (title != old.uploadFile.at(9) &&
                title != old.uploadDisc.value(QStringLiteral("memoryTitle")).toString())
                return QStringLiteral("disc title %1 is neither old nor new").arg(title);
            const QJsonObject tracks = disc.value(QStringLiteral("memoryTracks")).toObject();
            const QJsonObject oldTracks =
                old.uploadDisc.value(QStringLiteral("memoryTracks")).toObject();
            for (int t = 1; t <= 3; ++t) {
                const QString key = QString::number(t);
                const QString now = tracks.value(key).toString();
                if (now != old.uploadFile.at(10 + t) && now != oldTracks.value(key).toString())
                    return QStringLiteral("track %1 title %2 is neither old nor new")
                        .arg(t)
                        .arg(now);
            }
            return checkUploadSideData(old);
        }
        case Op::ReadAll:
            if (ui.texts(QStringLiteral("message")) != QStringList{msg(355) + '\r' + msg(356)})
                return QStringLiteral("no read-all error message: %1").arg(shownText());
            if (readAll(dataPath(QStringLiteral("discdata.txt"))) != "OLD MASTER FILE\r\n")
                return QStringLiteral("discdata.txt changed by a failed pass");
            return {};
        default:
            return {};
        }
    }

    // The frames of an upload carry the disc's user-file byte and music type back unchanged.
    QString checkUploadSideData(const Old& old) {
        const QJsonObject disc = simDisc(kUploadDisc);
        for (const char* key : {"userFileByte", "musicType"})
            if (disc.value(key) != old.uploadDisc.value(key))
                return QStringLiteral("%1 changed to %2").arg(key).arg(disc.value(key).toInt());
        return {};
    }

    QByteArray downloadTruth() const {
        const QJsonObject cdText =
            libraryDisc(kDownloadDisc).value(QStringLiteral("cdText")).toObject();
        QStringList lines =
            titleRecord(kDownloadDisc, 0, cdText.value(QStringLiteral("title")).toString(), 2, 28);
        const QJsonArray tracks = cdText.value(QStringLiteral("tracks")).toArray();
        for (int t = 1; t <= tracks.size(); ++t)
            lines += titleRecord(kDownloadDisc, t, tracks.at(t - 1).toString(), 2, 28);
        return crlf(lines);
    }

    // The master file of the pass over the changer's discs (or over one of them).
    QByteArray readAllTruth(int only = 0) {
        QStringList lines;
        for (int slot : kReadAllDiscs) {
            if (only != 0 && slot != only)
                continue;
            const QJsonObject disc = simDisc(slot);
            lines += masterBlock(slot, tocOf(slot), disc.value(QStringLiteral("info")).toInt(),
                                 disc.value(QStringLiteral("userFileByte")).toInt(),
                                 disc.value(QStringLiteral("musicType")).toInt());
        }
        return crlf(lines);
    }

    // After a case the link must work again: a clean transaction succeeds. The waits are the
    // product's here: this checks the link, not its speed.
    QString recover(Op op, bool succeeded) {
        const LinkTimings shortWaits = link.timings();
        link.setTimings(productTimings());
        const QString problem = recoverLink(op, succeeded);
        link.setTimings(shortWaits);
        return problem;
    }

    QString recoverLink(Op op, bool succeeded) {
        if (!link.isOpen() && !reconnect())
            return QStringLiteral("no new line after the hang-up");
        if (op == Op::Handshake && !succeeded) {
            link.setOffline(false);
            link.RS232C_Changer_INIT();
            if (link.linkState() != kLinkUp)
                return QStringLiteral("the handshake does not come back");
        }
        if (!settle())
            return QStringLiteral("the line does not come to rest");
        if (succeeded)
            return {}; // the link has just shown that it works
        MinMaxTno range;
        if (!holding(link, [&] { return link.ReadMinMaxTno(kRangeDisc, range); }) ||
            range.highest != 25)
            return QStringLiteral("the link is not usable after the case: %1").arg(shownText());
        return {};
    }

    QString shownText() const {
        QStringList out;
        for (const auto& s : ui.shown)
            if (s.kind != QLatin1String("progress"))
                out << s.kind + QStringLiteral(": ") + s.text;
        return out.isEmpty() ? QStringLiteral("nothing") : out.join(QStringLiteral(" | "));
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
    // ---- profiles: how many units a clean run of each operation exchanges ----

    struct Profile {
        int units = 0;         // units the changer sends
        int frames = 0;        // frames among them
        int pcFrames = 0;      // frames the application sends
        QList<int> frameSizes; // of the frames the changer sends, in order
    };

    const Profile& profile(Op op) {
        if (!m_profiles.contains(op)) {
            resetCase();
            const Old old = prepare(op, 0);
            execute(op, old);
            Profile p{
                int(traffic.received.size()), traffic.receivedFrames(), traffic.sentFrames(), {}};
            for (const QByteArray& u : traffic.received)
                if (u.size() > 1)
                    p.frameSizes << int(u.size());
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

// Re-runs allowed per class. A few cases may lose a reply to a busy machine; more mean the
// short waits no longer test the fault but the machine, and the class would pass on the
// product's waits alone.
inline int faultRerunLimit() {
    return qMax(3, faultSeeds() / 10);
}

// The fault classes of one test case on one simulator and link.
//
// The shortened waits make a case sensitive to a busy machine: a stall of a tenth of a second
// reads as a lost reply. So a case that must succeed but failed is first checked as a proper
// failure (reported, nothing written), then run again with the same seed and the product's
// waits, where it must succeed; such re-runs are counted and limited.
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
        int succeeded = 0;
        int failed = 0;
        int reruns = 0;
        for (int seed = 1; seed <= faultSeeds(); ++seed) {
            const Op op = c.ops.at(seed % c.ops.size());
            bool ok = false;
            Expect expect = Expect::Either;
            QString problem = runCase(c, seed, op, false, &ok, &expect);
            if (problem.isEmpty() && expect == Expect::Succeed && !ok) {
                QVERIFY2(++reruns <= faultRerunLimit(),
                         qPrintable(QStringLiteral("%1: more than %2 cases failed on the short "
                                                   "waits and were re-run, the last %3")
                                        .arg(c.name)
                                        .arg(faultRerunLimit())
                                        .arg(m_rig.context)));
                problem = runCase(c, seed, op, true, &ok, &expect);
            }
            QVERIFY2(problem.isEmpty(), qPrintable(m_rig.context + QStringLiteral(": ") + problem +
                                                   QStringLiteral("\nline:\n  ") +
                                                   m_rig.traffic.log.join(QStringLiteral("\n  "))));
            ++(ok ? succeeded : failed);
        }
        qInfo("%s: %d cases, %d succeeded, %d failed and were reported, %d re-run with the "
              "product's waits",
              qPrintable(c.name), faultSeeds(), succeeded, failed, reruns);
    }

private:
    QString runCase(const FaultClass& c, int seed, Op op, bool relaxed, bool* succeeded,
                    Expect* expect) {
        FaultRig& rig = m_rig;
        const FaultRig::Profile profile = rig.profile(op);
        QRandomGenerator random(quint32(seed) * 7919u + quint32(qHash(c.name)));
        if (!rig.settle())
            return QStringLiteral("the line did not come to rest before the case");
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
        if (!fault.isEmpty() && !rig.sim.ok(QStringLiteral("fault ") + fault))
            return QStringLiteral("the simulator refused the fault");
        *succeeded = rig.execute(op, old);
        rig.sim.ok(QStringLiteral("fault clear"));
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
inline int landOn(QRandomGenerator& random, int count) {
    return random.bounded(qMax(1, count));
}

} // namespace tf::test

Q_DECLARE_METATYPE(tf::test::FaultClass)
