// Times the title store's file operations on a full library: 200 discs of 99 tracks each.
// Run: bench_store [runs] | bench_store --quick

#include "bench/benchcommon.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/disclist.h"
#include "store/textfile.h"
#include "store/titlerecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace tf;

namespace {

constexpr int kDiscs = 200;
constexpr int kTracks = 99;

DiscRecord makeDisc(int n) {
    DiscRecord d;
    d.identity.disc = quint8(n);
    d.minTno = 1;
    d.maxTno = kTracks;
    for (int i = 0; i <= kTracks; ++i)
        d.toc.append(TocTime{quint8(i / 2), quint8((i * 37 + n) % 60), quint8((i * 11) % 75)});
    d.identity.id = ComputeDiscId(d.toc).value_or(DiscIdBytes{});
    d.discInfo = n % 3 == 0 ? kDiscInfoCdText : 0;
    d.userFileByte = quint8(n % 256);
    d.musicType = quint8(n % 29);
    return d;
}

QStringList trackTitles(int n) {
    QStringList titles;
    for (int t = 1; t <= kTracks; ++t)
        titles.append(
            QStringLiteral("Disc %1, a reasonably long track title number %2").arg(n).arg(t));
    return titles;
}

QByteArray allDiscBytes() {
    QStringList lines;
    for (int n = 1; n <= kDiscs; ++n)
        lines += titleRecord(n, 0, QStringLiteral("CHANGER TITLE %1").arg(n), n % 256, n % 29);
    return textfile::joinLines(lines);
}

struct Row {
    const char* name;
    double medianMs;
    double maxMs;
    double cpuMs; // median processor time: what the machine's load cannot inflate much
};

// Runs `op` `runs` times (with `prepare` before each run, untimed).
Row measure(const char* name, int runs, const std::function<bool()>& op,
            const std::function<void()>& prepare = {}) {
    QList<double> ms;
    QList<double> cpu;
    // "bench_store RUNS WORD" times only the operations whose name holds WORD (for profiling).
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 2 && !QString::fromLatin1(name).contains(args.at(2)))
        runs = 1;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const double cpu0 = bench::cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        if (!op()) {
            std::fprintf(stderr, "%s failed\n", name);
            std::exit(1);
        }
        ms.append(timer.nsecsElapsed() / 1e6);
        cpu.append((bench::cpuSeconds() - cpu0) * 1000.0);
    }
    std::sort(ms.begin(), ms.end());
    return {name, ms.at(ms.size() / 2), ms.last(), bench::percentile(cpu, 50)};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = bench::quickRun(argc, argv);
    const int runs = quick ? 2 : argc > 1 ? std::max(1, atoi(argv[1])) : 25;
    bench::Report report(quick);

    QTemporaryDir data;
    QTemporaryDir program;
    const QString dataDir = data.path() + QLatin1Char('/');
    discdata::MasterFileBuilder builder(dataDir);
    for (int n = 1; n <= kDiscs; ++n) {
        const DiscRecord d = makeDisc(n);
        builder.addBlock(d);
        if (!discfile::writeFromLookup(dataDir, d.identity, 1, kTracks,
                                       QStringLiteral("Disc title %1").arg(n), trackTitles(n))) {
            std::fprintf(stderr, "cannot set up the library\n");
            return 1;
        }
    }
    if (!builder.commit()) {
        std::fprintf(stderr, "cannot write discdata.txt\n");
        return 1;
    }
    const QString discData = data.filePath("discdata.txt");
    const QString allDisc = program.filePath("alldisc.txt");
    const QByteArray allDiscContent = allDiscBytes();

    QList<Row> rows;
    int next = 0;
    rows.append(measure("replace one master block", runs, [&] {
        return discdata::replaceBlock(dataDir, makeDisc(1 + (next++ * 37) % kDiscs));
    }));
    rows.append(measure("read one master block", runs, [&] {
        return discdata::readBlock(discData, 1 + (next++ * 53) % kDiscs).has_value();
    }));
    rows.append(measure(
        "convert alldisc.txt -> tempdisc.txt", runs,
        [&] {
            return disclist::convertAllDiscs(allDisc, dataDir, {7, 1, kTracks}) ==
                   disclist::Result::Done;
        },
        [&] {
            QFile file(allDisc);
            file.open(QIODevice::WriteOnly);
            file.write(allDiscContent);
        }));
    rows.append(measure("fill tempdisc.txt to all slots", runs, [&] {
        return disclist::fillToAllSlots(dataDir) == disclist::Result::Done;
    }));
    rows.append(measure("read one disc file", runs, [&] {
        const auto content =
            discfile::readDiscFile(data.filePath(discfile::fileName(1 + (next++ * 71) % kDiscs)));
        return content && content->trackTitles.size() == kTracks;
    }));

    std::printf("Title store, %d discs x %d tracks, %d runs each (discdata.txt %lld KiB)\n\n",
                kDiscs, kTracks, runs, QFileInfo(discData).size() / 1024);
    std::printf("%-38s %12s %12s %12s\n", "operation", "median ms", "max ms", "cpu ms");
    for (const Row& r : rows)
        std::printf("%-38s %12.2f %12.2f %12.2f\n", r.name, r.medianMs, r.maxMs, r.cpuMs);
    std::printf("\n");
    for (const Row& r : rows)
        report.add(QStringLiteral("library: %1 (median)").arg(QLatin1String(r.name)),
                   bench::number(r.medianMs, 2) + " ms", "<= 5 ms", r.medianMs <= 5.0);
    return report.failed() ? 2 : 0;
}
