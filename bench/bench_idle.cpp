// The audio tab against the changer simulator: how fast a pushed play status reaches the
// screen, what the program costs while the changer pushes a status every second, and what a
// long wait for a table of contents costs.
//   bench_idle [--quick]

#include "bench/benchcommon.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "store/config.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

using namespace tf;

namespace {

struct Usage {
    double cpuPercent = 0;
    double wakeUpsPerSecond = 0;
    double unitsPerSecond = 0; // units the PC received
};

// Sleeps `ms` in the event loop and reports what the process used meanwhile.
Usage measureIdle(Link& link, int ms, const std::function<void()>& during = {}) {
    qint64 units = 0;
    const auto counter = QObject::connect(&link, &Link::traffic, [&](bool sent, const QByteArray&) {
        if (!sent)
            ++units;
    });
    const double cpu0 = bench::cpuSeconds();
    const long wake0 = bench::wakeUps();
    QElapsedTimer clock;
    clock.start();
    if (during)
        during();
    else
        bench::idleFor(ms);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    QObject::disconnect(counter);
    return {(bench::cpuSeconds() - cpu0) / seconds * 100.0,
            double(bench::wakeUps() - wake0) / seconds, double(units) / seconds};
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = bench::quickRun(argc, argv);
    const int pushSeconds = quick ? 3 : 60;
    const int tocWaitSeconds = quick ? 3 : 45;
    const int quietSeconds = quick ? 2 : 20;
    bench::Report report(quick);

    QTemporaryDir dir;
    const QString libraryPath = dir.filePath(QStringLiteral("library.json"));
    {
        QFile file(libraryPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bench::generatedLibrary(12)) < 0) {
            std::fprintf(stderr, "bench_idle: cannot write the library\n");
            return 1;
        }
    }
    test::ScriptedUi ui;
    Configuration config(dir.path());
    config.LOAD_CONFIG();
    NullLookupService lookup;
    Link link(ui);
    AppContext ctx{link, config, ui, lookup};
    InfoLines lines(link);
    AudioTab tab(ctx, lines);
    tab.show();
    lines.setAudioLabels(tab.infoLabel(), tab.playInfoLabel());
    lines.setSelectedTab([] { return StatusMessenger::kAudioTab; });
    QObject::connect(&link, &Link::modeReaction, &tab, [&] {
        link.holdStatus(false);
        tab.PrepareAudioTab();
    });

    test::SimProcess sim;
    if (!sim.start(libraryPath, {"--load-ms", "50"}) || link.openDevice(sim.portPath()) != 0) {
        std::fprintf(stderr, "bench_idle: cannot start the simulator: %s\n",
                     qPrintable(sim.lastError()));
        return 1;
    }
    link.holdStatus(true);
    link.RS232C_Changer_INIT();
    if (link.linkState() == kLinkUp)
        link.markEstablished();
    link.waitUntil([&] { return tab.isPrepared() && link.playValues().TocReadyDisc != 0; });
    bench::idleFor(1000);

    // A quiet line: the base every other figure is compared with.
    const Usage quiet = measureIdle(link, quietSeconds * 1000);
    std::printf("quiet link, audio tab shown: %.3f %% CPU, %.1f wake-ups/s\n", quiet.cpuPercent,
                quiet.wakeUpsPerSecond);

    // Pushed play status to the screen: the changer's own "next track" key, from the moment
    // the link has stored the new track to the moment txtTRACK shows it, less the display's
    // specified 500 ms track delay.
    auto* track = tab.findChild<QLineEdit*>(QStringLiteral("txtTRACK"));
    QList<double> latencies;
    for (int i = 0; i < 8 && track; ++i) {
        const qint16 before = link.playValues().PlayTrack;
        QElapsedTimer stored;
        bool seen = false;
        double shownAfterMs = -1;
        QEventLoop loop;
        const auto c1 = QObject::connect(&link, &Link::playValuesChanged, [&] {
            if (!seen && link.playValues().PlayTrack != before) {
                seen = true;
                stored.start();
            }
        });
        const auto c2 = QObject::connect(track, &QLineEdit::textChanged, [&](const QString& text) {
            if (seen && shownAfterMs < 0 && text == QString::number(link.playValues().PlayTrack)) {
                shownAfterMs = double(stored.nsecsElapsed()) / 1e6;
                loop.quit();
            }
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        sim.ok(QStringLiteral("key next"));
        if (shownAfterMs < 0)
            loop.exec();
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        if (shownAfterMs >= 0)
            latencies.append(shownAfterMs - 500.0);
        bench::idleFor(300);
    }
    const double shown = bench::percentile(latencies, 50);
    report.add(QStringLiteral("pushed play status to screen, median beyond the 500 ms delay"),
               bench::number(shown, 2) + " ms", "<= 16 ms (one pass)",
               latencies.size() == 8 && shown <= 16.0);

    // The changer pushes a status exchange every second: a disc playing two-second tracks
    // (each new track is reported in two exchanges).
    sim.ok(QStringLiteral("set track-ms 2000"));
    sim.ok(QStringLiteral("key stop")); // "play" pauses a disc that is playing
    bench::idleFor(500);
    sim.ok(QStringLiteral("key play"));
    bench::idleFor(1500);
    const Usage pushing = measureIdle(link, pushSeconds * 1000);
    const double extraWakes = pushing.wakeUpsPerSecond - pushing.unitsPerSecond;
    std::printf("pushing: %.1f units/s received, %.1f wake-ups/s\n", pushing.unitsPerSecond,
                pushing.wakeUpsPerSecond);
    report.add(QStringLiteral("idle with a push a second: CPU, one core (%1 s, %2 exchanges/s)")
                   .arg(pushSeconds)
                   .arg(bench::number(pushing.unitsPerSecond / 3.0, 2)),
               bench::number(pushing.cpuPercent, 3) + " %", "<= 0.3 %", pushing.cpuPercent <= 0.3);
    report.add(QStringLiteral("idle with a push a second: wake-ups beyond one per unit"),
               bench::number(extraWakes, 1) + " /s", "<= 10 /s", extraWakes <= 10.0);
    sim.ok(QStringLiteral("key stop"));
    sim.ok(QStringLiteral("set track-ms 0"));
    bench::idleFor(1500);

    // A disc that takes the longest allowed time to report its table of contents.
    sim.ok(QStringLiteral("set load-ms %1").arg(tocWaitSeconds * 1000));
    const int disc = link.playValues().PlayDisc == 3 ? 4 : 3;
    bool requested = false;
    const Usage tocWait = measureIdle(link, 0, [&] {
        {
            const LinkHold hold(link, kLinkPush);
            requested = link.RequestPlay(quint16(disc), 1, 0) && link.lastResult() == kResultOk;
        }
        if (link.playValues().PlayDisc != disc)
            link.forgetTocReady();
        link.setOperationRunning(true);
        link.waitForToc(disc, (tocWaitSeconds + 10) * 1000);
        link.setOperationRunning(false);
    });
    const bool tocArrived = link.playValues().TocReadyDisc == disc;
    report.add(QStringLiteral("%1 s wait for a table of contents: CPU, one core (quiet %2 %)")
                   .arg(tocWaitSeconds)
                   .arg(bench::number(quiet.cpuPercent, 3)),
               bench::number(tocWait.cpuPercent, 3) + " %", "as quiet (+0.05 %)",
               requested && tocArrived && tocWait.cpuPercent <= quiet.cpuPercent + 0.05);
    report.add(QStringLiteral("%1 s wait for a table of contents: wake-ups (quiet %2 /s)")
                   .arg(tocWaitSeconds)
                   .arg(bench::number(quiet.wakeUpsPerSecond, 1)),
               bench::number(tocWait.wakeUpsPerSecond, 1) + " /s", "as quiet (+1 /s)",
               requested && tocArrived && tocWait.wakeUpsPerSecond <= quiet.wakeUpsPerSecond + 1.0);
    sim.stop();
    return report.failed() ? 2 : 0;
}
