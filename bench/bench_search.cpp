// Times the title index: building it from a full library's files (200 discs of 99 tracks) and
// answering one keystroke of typical queries.
// Run: bench_search [runs] | bench_search --quick

#include "base/codepage.h"
#include "bench/benchcommon.h"
#include "portability/titleindex.h"
#include "store/disclist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace tf;

namespace {

const QStringList kWords = {
    QStringLiteral("Love"),     QStringLiteral("Night"), QStringLiteral("Beyoncé"),
    QStringLiteral("AC/DC"),    QStringLiteral("Sigur"), QStringLiteral("Rós"),
    QStringLiteral("Blue"),     QStringLiteral("Heart"), QStringLiteral("Don't"),
    QStringLiteral("Stop"),     QStringLiteral("Café"),  QStringLiteral("Dreams"),
    QStringLiteral("Symphony"), QStringLiteral("No."),   QStringLiteral("Allegro"),
    QStringLiteral("Straße"),   QStringLiteral("Œuvre"), QStringLiteral("Live"),
    QStringLiteral("Remaster"), QStringLiteral("Halo"),  QStringLiteral("River"),
    QStringLiteral("Señor"),    QStringLiteral("Moon"),  QStringLiteral("Road")};

QString title(int seed, int words) {
    QStringList parts;
    quint32 x = quint32(seed) * 2654435761u + 12345u;
    for (int i = 0; i < words; ++i) {
        x = x * 1664525u + 1013904223u;
        parts.append(kWords.at(int((x >> 8) % quint32(kWords.size()))));
    }
    return parts.join(QLatin1Char(' '));
}

bool writeLibrary(const QString& dir, int discs, int tracks) {
    QByteArray list;
    for (int n = 1; n <= discs; ++n) {
        const QString discTitle = title(n, 5) + QStringLiteral(" (Disc %1)").arg(n);
        QByteArray bytes = "DISC ID =\r\n0a0b0c0d\r\nDISC NO =\r\n" + QByteArray::number(n) +
                           "\r\nMIN TNO =\r\n 1 \r\nMAX TNO =\r\n " + QByteArray::number(tracks) +
                           " \r\nDisc Title =\r\n" + codepage::toCp1252(discTitle) +
                           "\r\nTrack Title =\r\n";
        for (int t = 1; t <= tracks; ++t)
            bytes +=
                codepage::toCp1252(title(n * 100 + t, 4) + QStringLiteral(" %1").arg(t)) + "\r\n";
        QFile f(dir + QStringLiteral("/DISC%1.txt").arg(n));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return false;
        list += codepage::toCp1252(disclist::slotLabel(n) + discTitle.left(25)) +
                "\r\n0\r\n0\r\n1\r\n99\r\n";
    }
    QFile f(dir + QStringLiteral("/tempdisc.txt"));
    return f.open(QIODevice::WriteOnly) && f.write(list) == list.size();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = bench::quickRun(argc, argv);
    const int discs = quick ? 5 : 200;
    const int tracks = quick ? 5 : 99;
    const int runs = quick ? 1 : (argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 25);
    bench::Report report(quick);

    QTemporaryDir dir;
    if (!dir.isValid() || !writeLibrary(dir.path(), discs, tracks)) {
        std::fprintf(stderr, "cannot write the library\n");
        return 1;
    }
    const QString dataDir = dir.path() + QLatin1Char('/');

    QList<double> buildMs;
    QList<double> buildCpuMs; // commentary: what a busy machine cannot inflate much
    search::TitleIndex index;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        const double cpu = bench::cpuSeconds();
        timer.start();
        search::TitleIndex fresh;
        for (const search::DiscTexts& disc : search::readLibraryTexts(dataDir))
            fresh.setDisc(disc);
        buildMs.append(double(timer.nsecsElapsed()) / 1e6);
        buildCpuMs.append((bench::cpuSeconds() - cpu) * 1000);
        index = fresh;
    }
    std::printf("index: %d discs, %d tracks; build CPU time median %.1f ms\n", index.discCount(),
                index.trackCount(), bench::percentile(buildCpuMs, 50));
    {
        // Commentary: how the build divides between reading the files and folding the titles.
        QElapsedTimer timer;
        timer.start();
        const QList<search::DiscTexts> texts = search::readLibraryTexts(dataDir);
        const double readMs = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        search::TitleIndex folded;
        for (const search::DiscTexts& disc : texts)
            folded.setDisc(disc);
        std::printf("reading the files %.1f ms, indexing %.1f ms\n", readMs,
                    double(timer.nsecsElapsed()) / 1e6);
    }
    const double buildMedian = bench::percentile(buildMs, 50);
    report.add(
        QStringLiteral("Search index build (%1 x %2, from the files)").arg(discs).arg(tracks),
        bench::number(buildMedian, 1) + QStringLiteral(" ms"), QStringLiteral("<= 50 ms"),
        buildMedian <= 50);

    // Every keystroke of each typical query is one query of the index.
    const QStringList typical = {QStringLiteral("beyonce halo"),   QStringLiteral("ac dc"),
                                 QStringLiteral("sigur ros"),      QStringLiteral("love"),
                                 QStringLiteral("strasse"),        QStringLiteral("oeuvre live"),
                                 QStringLiteral("cafe 12"),        QStringLiteral("disc 150"),
                                 QStringLiteral("dont stop"),      QStringLiteral("zzz"),
                                 QStringLiteral("senor moon road")};
    QList<double> queryMs;
    int results = 0;
    for (int r = 0; r < std::max(1, runs / 5); ++r) {
        for (const QString& q : typical) {
            for (int len = 1; len <= q.size(); ++len) {
                QElapsedTimer timer;
                timer.start();
                results += int(index.query(q.left(len)).size());
                queryMs.append(double(timer.nsecsElapsed()) / 1e6);
            }
        }
    }
    std::printf("%lld keystrokes, %d results in all\n", qlonglong(queryMs.size()), results);
    const double median = bench::percentile(queryMs, 50);
    const double worst = bench::percentile(queryMs, 100);
    report.add(QStringLiteral("Search keystroke, median"), bench::number(median, 2) + " ms",
               QStringLiteral("<= 5 ms"), median <= 5);
    report.add(QStringLiteral("Search keystroke, worst"), bench::number(worst, 2) + " ms",
               QStringLiteral("<= 16 ms"), worst <= 16);
    return report.failed() ? 2 : 0;
}
