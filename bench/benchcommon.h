#pragma once

// What every benchmark shares: process CPU time and wake-ups, an event-loop sleep, a
// generated changer library, and the result lines that bench/run gathers into its table.
//
// A result line is "RESULT<TAB>figure<TAB>value<TAB>target<TAB>PASS|FAIL|-" on standard output;
// everything else a benchmark prints is commentary. "--quick" runs (CI) use tiny sizes and
// report "-" instead of a verdict, so they only prove the benchmark still runs.

#include <QByteArray>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace tf::bench {

inline double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Voluntary context switches: each is the process going to sleep and being woken again.
inline long wakeUps() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// Sleeps in the event loop (QTest::qWait wakes every 10 ms and would spoil the figures).
inline void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

inline bool quickRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--quick")
            return true;
    return false;
}

inline double percentile(QList<double> values, double p) {
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const auto index = qsizetype(p / 100.0 * double(values.size() - 1) + 0.5);
    return values.at(std::clamp<qsizetype>(index, 0, values.size() - 1));
}

class Report {
public:
    explicit Report(bool quick) : m_quick(quick) {}

    // `pass` is the verdict against the target; quick runs print none.
    void add(const QString& figure, const QString& value, const QString& target, bool pass) {
        const char* verdict = m_quick ? "-" : (pass ? "PASS" : "FAIL");
        if (!m_quick && !pass)
            m_failed = true;
        std::printf("RESULT\t%s\t%s\t%s\t%s\n", qPrintable(figure), qPrintable(value),
                    qPrintable(target), verdict);
        std::fflush(stdout);
    }
    bool failed() const { return m_failed; }

private:
    bool m_quick;
    bool m_failed = false;
};

inline QString number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

// A changer library for the simulator: `discs` slots, disc 1 with 99 tracks, disc 2 with 20,
// the others with 12, every one with a memory title.
inline QByteArray generatedLibrary(int discs) {
    QJsonArray list;
    for (int n = 1; n <= discs; ++n) {
        const int tracks = n == 1 ? 99 : n == 2 ? 20 : 12;
        QJsonArray lengths;
        for (int t = 0; t < tracks; ++t)
            lengths.append(QStringLiteral("%1:%2")
                               .arg(tracks > 20 ? 0 : 2 + (t * 7 + n) % 5)
                               .arg(tracks > 20 ? 40 + (t * 13 + n) % 20 : (t * 13 + n) % 60, 2, 10,
                                    QLatin1Char('0')));
        list.append(QJsonObject{
            {QStringLiteral("slot"), n},
            {QStringLiteral("lengths"), lengths},
            {QStringLiteral("memory"),
             QJsonObject{{QStringLiteral("title"), QStringLiteral("Memory title %1").arg(n)}}},
            {QStringLiteral("musicType"), n % 29}});
    }
    const QJsonObject library{
        {QStringLiteral("comment"), QStringLiteral("benchmark library")},
        {QStringLiteral("userFileNames"), QJsonArray{QStringLiteral("Road Trip")}},
        {QStringLiteral("play"), QJsonObject{{QStringLiteral("disc"), 1},
                                             {QStringLiteral("track"), 1},
                                             {QStringLiteral("state"), QStringLiteral("stopped")}}},
        {QStringLiteral("discs"), list}};
    return QJsonDocument(library).toJson(QJsonDocument::Compact);
}

} // namespace tf::bench
