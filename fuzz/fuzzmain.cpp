// libFuzzer glue of one fuzz target; TRACKFEN_FUZZ_TARGET names the entry (fuzz/fuzzentries.h).

#include "fuzz/fuzzentries.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

tf::fuzz::Entry g_entry = nullptr;
QTemporaryDir* g_workDir = nullptr; // removed when the fuzzer exits normally

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    tf::fuzz::silenceQtMessages();
    g_entry = tf::fuzz::entryFor(QStringLiteral(TRACKFEN_FUZZ_TARGET));
    // One folder per process: several fuzzers (or -jobs) never share their files. The store
    // flushes every replacement to disk; in memory that costs nothing. scripts/fuzz.sh names
    // a parent folder of its own, removed after the run even when a crash left files behind.
    QString base = qEnvironmentVariable("TRACKFEN_FUZZ_TMP");
    if (base.isEmpty() || !QDir().mkpath(base))
        base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                  : QDir::tempPath();
    g_workDir =
        new QTemporaryDir(base + QStringLiteral("/trackfen-fuzz-" TRACKFEN_FUZZ_TARGET "-XXXXXX"));
    if (!g_entry || !g_workDir->isValid()) {
        std::fprintf(stderr, "fuzz target %s cannot start\n", TRACKFEN_FUZZ_TARGET);
        std::abort();
    }
    std::atexit([] { delete g_workDir; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString problem = g_entry(input, g_workDir->path());
    if (!problem.isEmpty()) {
        // An invariant broke: report it as a crash so that libFuzzer keeps the input.
        std::fprintf(stderr, "invariant violated in %s: %s\n", TRACKFEN_FUZZ_TARGET,
                     qPrintable(problem));
        std::abort();
    }
    return 0;
}
