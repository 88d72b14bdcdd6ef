// The audio tab against the changer simulator: how fast a pushed play status reaches the
// screen, and what an idle audio tab with the link up costs.
//   bench_audio [idle-seconds]

#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "lookup/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "shell/appcontext.h"
#include "shell/config.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

using namespace tf;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long wakeUps() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw; // voluntary: the process went to sleep and was woken
}

// Sleeps in the event loop (QTest::qWait would wake every 10 ms and spoil the figures).
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int idleSeconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    QTemporaryDir dir;
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
        link.StatusHold = false;
        tab.PrepareAudioTab();
    });

    test::SimProcess sim;
    if (!sim.start(test::sourcePath("resources/demo-library.json"), {"--load-ms", "50"}) ||
        link.openDevice(sim.portPath()) != 0) {
        std::fprintf(stderr, "bench_audio: cannot start the simulator: %s\n",
                     qPrintable(sim.lastError()));
        return 1;
    }
    link.StatusHold = true;
    link.RS232C_Changer_INIT();
    link.LinkEstablished = link.LinkState == kLinkUp;
    if (!QTest::qWaitFor([&] { return tab.isPrepared() && link.TocReadyDisc != 0; }, 10000)) {
        std::fprintf(stderr, "bench_audio: the link did not come up\n");
        return 1;
    }
    QTest::qWait(1000);

    // Pushed frame to screen: the changer's own "next track" key, measured from the moment the
    // link has stored the new track to the moment txtTRACK shows it (the specified 500 ms
    // drawing delay is subtracted).
    auto* track = tab.findChild<QLineEdit*>(QStringLiteral("txtTRACK"));
    QList<double> latencies;
    for (int i = 0; i < 8 && track; ++i) {
        const qint16 before = link.PlayTrack;
        QElapsedTimer stored;
        bool seen = false;
        double shownAfterMs = -1;
        QEventLoop loop;
        const auto c1 = QObject::connect(&link, &Link::playValuesChanged, [&] {
            if (!seen && link.PlayTrack != before) {
                seen = true;
                stored.start();
            }
        });
        const auto c2 = QObject::connect(track, &QLineEdit::textChanged, [&](const QString& text) {
            if (seen && shownAfterMs < 0 && text == QString::number(link.PlayTrack)) {
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
        idleFor(300);
    }
    std::sort(latencies.begin(), latencies.end());

    // Idle: nothing pushed, the tab shown.
    const double cpu0 = cpuSeconds();
    const long wake0 = wakeUps();
    idleFor(idleSeconds * 1000);
    const double idleCpu = (cpuSeconds() - cpu0) / idleSeconds * 100.0;
    const double idleWakes = double(wakeUps() - wake0) / idleSeconds;

    std::printf("%-44s %12s %14s\n", "figure", "value", "target");
    if (!latencies.isEmpty()) {
        std::printf("%-44s %9.1f ms %14s\n", "pushed track to screen, median (less 500 ms)",
                    latencies.at(latencies.size() / 2), "one pass");
        std::printf("%-44s %9.1f ms %14s\n", "pushed track to screen, worst (less 500 ms)",
                    latencies.last(), "one pass");
    } else {
        std::printf("%-44s %12s\n", "pushed track to screen", "not measured");
    }
    std::printf("%-44s %10.3f %% %14s\n", "idle CPU, one core", idleCpu, "~0");
    std::printf("%-44s %8.1f /s %14s\n", "idle wake-ups (voluntary switches)", idleWakes, "~0");
    sim.stop();
    return 0;
}
