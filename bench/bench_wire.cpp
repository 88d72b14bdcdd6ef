// The link against the changer simulator over a pseudo-terminal: how close the exchanges come
// to the time their bytes need on a 9600-baud 8N2 line, how fast the PC answers a frame, and
// what a read-all pass costs.
//   bench_wire [--quick]
//
// Wire time is the number of bytes both sides sent times 1.146 ms: the simulator paces its own
// bytes and takes the PC's in only once their wire time is over, so a perfect PC would take
// exactly the wire time.

#include "bench/benchcommon.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/exchange.h"
#include "operations/lookupservice.h"
#include "operations/readall.h"
#include "operations/startupread.h"
#include "operations/textdownload.h"
#include "operations/titleupload.h"
#include "store/config.h"
#include "store/discfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

using namespace tf;

namespace {

constexpr double kByteWireMs = 11.0 * 1000.0 / 9600.0;

class PassLookup : public NullLookupService {
public:
    void lookUpAllDiscs() override {}
};

// Bytes both ways while it is running.
class ByteCounter {
public:
    explicit ByteCounter(Link& link) {
        m_connection = QObject::connect(&link, &Link::traffic,
                                        [this](bool, const QByteArray& u) { m_bytes += u.size(); });
    }
    ~ByteCounter() { QObject::disconnect(m_connection); }
    qint64 bytes() const { return m_bytes; }

private:
    QMetaObject::Connection m_connection;
    qint64 m_bytes = 0;
};

struct Timed {
    bool ok = false;
    double ms = 0;
    double wireMs = 0;
    double cpuPercent = 0;
    double ratio() const { return wireMs > 0 ? ms / wireMs : 0; }
};

template <typename F> Timed timed(Link& link, F run) {
    ByteCounter counter(link);
    const double cpu0 = bench::cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    Timed t;
    t.ok = run();
    t.ms = double(clock.nsecsElapsed()) / 1e6;
    t.cpuPercent = (bench::cpuSeconds() - cpu0) * 1000.0 / t.ms * 100.0;
    t.wireMs = double(counter.bytes()) * kByteWireMs;
    return t;
}

template <typename F> bool holding(Link& link, F exchange) {
    if (!link.Tarminal_Base_check())
        return false;
    const bool ok = whileHolding(link, kLinkPush, [&] { return exchange(); });
    return ok && link.lastResult() == kResultOk;
}

QList<double> answerLatencies(test::SimProcess& sim) {
    QList<double> ms;
    const QJsonArray us =
        sim.dump().value(QStringLiteral("stats")).toObject().value("answerLatencyUs").toArray();
    for (const auto& v : us)
        ms.append(v.toDouble() / 1000.0);
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = bench::quickRun(argc, argv);
    const int discs = quick ? 12 : 200;
    bench::Report report(quick);

    QTemporaryDir dir;
    const QString libraryPath = dir.filePath(QStringLiteral("library.json"));
    QFile libraryFile(libraryPath);
    if (!libraryFile.open(QIODevice::WriteOnly) ||
        libraryFile.write(bench::generatedLibrary(discs)) < 0) {
        std::fprintf(stderr, "bench_wire: cannot write the library\n");
        return 1;
    }
    libraryFile.close();

    test::ScriptedUi ui;
    Configuration config(dir.path());
    config.settings.dataDir = dir.path() + QStringLiteral("/data/");
    QDir().mkpath(config.settings.dataDir);
    Link link(ui);
    PassLookup lookup;
    AppContext ctx{link, config, ui, lookup};

    test::SimProcess sim;
    if (!sim.start(libraryPath, {"--load-ms", "0", "--think-ms", "0", "--log"}) ||
        link.openDevice(sim.portPath()) != 0) {
        std::fprintf(stderr, "bench_wire: cannot start the simulator: %s\n",
                     qPrintable(sim.lastError()));
        return 1;
    }
    link.RS232C_Changer_INIT();
    const bool up = link.linkState() == kLinkUp;
    link.waitUntil([&] { return link.modeCode() != 0 && link.linkBusy() == kLinkIdle; });
    if (!up) {
        std::fprintf(stderr, "bench_wire: the link did not come up\n");
        return 1;
    }

    // Answer latency over a whole start-up read, the line unpaced so nothing but the two
    // programs and the pseudo-terminal sits between a frame and its acknowledgement.
    const qsizetype before = answerLatencies(sim).size();
    const StartUpReadResult startUp = startUpRead(link, config, ui);
    const QList<double> latencies = answerLatencies(sim).mid(before);
    if (!startUp.discListBuilt) {
        std::fprintf(stderr, "bench_wire: the start-up read failed\n");
        return 1;
    }
    const double p50 = bench::percentile(latencies, 50);
    const double p99 = bench::percentile(latencies, 99);
    report.add(QStringLiteral("answer latency, median (%1 frames)").arg(latencies.size()),
               bench::number(p50, 3) + " ms", "<= 1 ms", p50 >= 0 && p50 <= 1.0);
    report.add(QStringLiteral("answer latency, p99"), bench::number(p99, 3) + " ms", "<= 3 ms",
               p99 >= 0 && p99 <= 3.0);

    // Quick runs only prove the benchmark works: no line pacing, which would take minutes.
    if (!quick && !sim.ok(QStringLiteral("set pace on"))) {
        std::fprintf(stderr, "bench_wire: the simulator would not pace\n");
        return 1;
    }
    const auto wireRow = [&](const QString& figure, const Timed& t) {
        report.add(
            QStringLiteral("%1 (%2 s, wire %3 s)")
                .arg(figure, bench::number(t.ms / 1000, 2), bench::number(t.wireMs / 1000, 2)),
            bench::number(t.ratio(), 3), "<= 1.05", t.ok && t.ratio() <= 1.05);
        if (!t.ok)
            std::fprintf(stderr, "bench_wire: %s failed\n", qPrintable(figure));
    };

    DiscToc toc;
    const Timed discId = timed(link, [&] {
        return holding(link, [&] { return link.ReadDiscId(1, toc); }) && toc.highest == 99;
    });
    wireRow(QStringLiteral("wire efficiency: ReadDiscId, 99 tracks"), discId);

    const Timed download = timed(link, [&] {
        return holding(link, [&] { return downloadAllDiscTitles(link, config, ui); });
    });
    wireRow(QStringLiteral("wire efficiency: disc titles of all 200 slots"), download);

    DiscIdentity identity;
    identity.disc = 2;
    QStringList titles;
    for (int t = 1; t <= 20; ++t)
        titles.append(QStringLiteral("Uploaded track title %1").arg(t));
    if (!discfile::writeFromLookup(config.settings.dataDir, identity, 1, 20,
                                   QStringLiteral("Uploaded disc title"), titles)) {
        std::fprintf(stderr, "bench_wire: cannot write the title file\n");
        return 1;
    }
    const Timed upload =
        timed(link, [&] { return UploadTitles(link, config.dataPath(discfile::fileName(2))); });
    wireRow(QStringLiteral("wire efficiency: 20-track title upload"), upload);

    const Timed readAll = timed(link, [&] {
        const ReadAllResult r = readAllDiscsPass(ctx);
        std::printf("read-all pass: outcome %d, %d discs read, %d slots skipped\n", int(r.outcome),
                    r.discsRead, r.discsSkipped);
        return r.outcome == ReadAllOutcome::Completed && r.discsRead == discs;
        // every slot is walked; the empty ones are skipped
    });
    report.add(QStringLiteral("read-all pass, 200 slots, %1 discs: time / wire time (%2 s)")
                   .arg(discs)
                   .arg(bench::number(readAll.ms / 1000, 1)),
               bench::number(readAll.ratio(), 3), "<= 1.10", readAll.ok && readAll.ratio() <= 1.10);
    report.add(QStringLiteral("read-all pass: CPU, one core"),
               bench::number(readAll.cpuPercent, 2) + " %", "<= 5 %",
               readAll.ok && readAll.cpuPercent <= 5.0);
    if (!readAll.ok)
        std::fprintf(stderr, "bench_wire: the read-all pass failed\n");

    if (qEnvironmentVariableIsSet("BENCH_SIM_LOG"))
        std::fprintf(stderr, "%s\n", sim.errorOutput().right(6000).constData());
    sim.stop();
    return report.failed() ? 2 : 0;
}
