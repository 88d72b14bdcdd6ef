// Start-up: from starting the program to its main window on the screen, less the splash
// interval the program is specified to wait, with a 200-disc library and the changer
// simulator on COM1; and the program's peak memory by then.
//   bench_startup [--quick]

#include "bench/benchcommon.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "model/discid.h"
#include "store/config.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/usersettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace tf;

namespace {

constexpr int kDiscs = 200;

bool writeLibrary(const QString& dataDir) {
    discdata::MasterFileBuilder builder(dataDir);
    for (int n = 1; n <= kDiscs; ++n) {
        DiscRecord d;
        d.identity.disc = quint8(n);
        d.minTno = 1;
        d.maxTno = 12;
        for (int i = 0; i <= 12; ++i)
            d.toc.append(TocTime{quint8(i * 4), quint8((i * 37 + n) % 60), quint8(i % 75)});
        d.identity.id = ComputeDiscId(d.toc).value_or(DiscIdBytes{});
        builder.addBlock(d);
        QStringList titles;
        for (int t = 1; t <= 12; ++t)
            titles.append(QStringLiteral("Track %1 of disc %2").arg(t).arg(n));
        if (!discfile::writeFromLookup(dataDir, d.identity, 1, 12,
                                       QStringLiteral("Disc title %1").arg(n), titles))
            return false;
    }
    return builder.commit();
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    const bool quick = bench::quickRun(argc, argv);
    const int runs = quick ? 1 : 7;
    bench::Report report(quick);

    // A program folder of its own: the program keeps config.KWD and its data beside itself.
    const QString programDir = home.filePath(QStringLiteral("program"));
    QDir().mkpath(programDir);
    const QString program = programDir + QStringLiteral("/trackfen");
    if (!QFile::copy(QStringLiteral(TRACKFEN_APP_PATH), program)) {
        std::fprintf(stderr, "bench_startup: cannot copy %s\n", TRACKFEN_APP_PATH);
        return 1;
    }
    Configuration config(programDir);
    config.LOAD_CONFIG();
    config.MarkProxyQuestionAnswered();
    if (!writeLibrary(config.settings.dataDir)) {
        std::fprintf(stderr, "bench_startup: cannot write the library\n");
        return 1;
    }

    test::SimProcess sim;
    if (!sim.start(test::sourcePath("resources/demo-library.json"), {"--load-ms", "50"})) {
        std::fprintf(stderr, "bench_startup: cannot start the simulator: %s\n",
                     qPrintable(sim.lastError()));
        return 1;
    }
    UserSettings::setComDevice(1, sim.portPath());

    QList<double> shownMs;
    qint64 peakKib = 0;
    const QRegularExpression probe(
        QStringLiteral("startup-probe shown-ms=(\\d+) splash-ms=(\\d+) peak-kib=(-?\\d+)"));
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TRACKFEN_STARTUP_PROBE"), QStringLiteral("1"));
        process.setProcessEnvironment(env);
        QElapsedTimer clock;
        clock.start();
        process.start(program, {});
        QByteArray out;
        while (!out.contains('\n') && process.waitForReadyRead(20000))
            out += process.readAllStandardOutput();
        const double wallMs = double(clock.nsecsElapsed()) / 1e6;
        process.waitForFinished(5000);
        const auto match = probe.match(QString::fromLatin1(out));
        if (!match.hasMatch()) {
            std::fprintf(stderr, "bench_startup: no probe line: %s %s\n", out.constData(),
                         process.readAllStandardError().constData());
            return 1;
        }
        shownMs.append(wallMs - match.captured(2).toDouble());
        peakKib = qMax(peakKib, match.captured(3).toLongLong());
        std::printf("run %d: shown after %.0f ms (splash %s ms), peak %s KiB\n", i + 1, wallMs,
                    qPrintable(match.captured(2)), qPrintable(match.captured(3)));
        bench::idleFor(300); // the simulator sees the line closed and settles
    }
    const double median = bench::percentile(shownMs, 50);
    report.add(QStringLiteral("start-up to main window, less the splash interval (median)"),
               bench::number(median, 0) + " ms", "<= 300 ms", median <= 300);
    report.add(QStringLiteral("start-up: peak memory"),
               bench::number(double(peakKib) / 1024.0, 1) + " MB", "<= 80 MB",
               peakKib > 0 && peakKib <= 80 * 1024);
    sim.stop();
    return report.failed() ? 2 : 0;
}
