// Child process of the crash-safety test (tst_crashsafety).
//
//   crashchild loop <dataDir> <firstVersion>
//       Removes left-over scratch files as the application's start-up does and prints
//       "R <removed>", then replaces the files of crashwrites.h with versions
//       firstVersion, firstVersion + 1, ... until it is killed, printing "<target> <v>" after
//       each replacement has completed. The first file written rotates with firstVersion.
//   crashchild full <dataDir> <maxFileBytes>
//       With the file size limited (as on a full disk), tries one big version of every file
//       and prints "<target> ok" or "<target> fail <error>".

#include "crashwrites.h"

#include "store/scratchfiles.h"

#include <QByteArray>
#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

// Flushed at once, so that everything printed before the kill reaches the parent.
void say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int loop(const QString& dataDir, int firstVersion) {
    say("R " + QByteArray::number(tf::scratchfiles::removeLeftovers(dataDir)));
    // Each child starts with another file, so that the kills, which mostly land early, hit
    // every writer.
    const int firstTarget = firstVersion % tf::crash::kTargetCount;
    for (int v = firstVersion;; ++v) {
        for (int i = 0; i < tf::crash::kTargetCount; ++i) {
            const int t = (firstTarget + i) % tf::crash::kTargetCount;
            QString error;
            if (!tf::crash::writeVersion(dataDir, tf::crash::Target(t), v, &error)) {
                say("E " + error.toUtf8());
                return 1;
            }
            say(QByteArray::number(t) + ' ' + QByteArray::number(v));
        }
    }
}

int fullDisk(const QString& dataDir, rlim_t maxFileBytes) {
    // A write past the limit fails with EFBIG instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{maxFileBytes, maxFileBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 2;
    for (int t = 0; t < tf::crash::kTargetCount; ++t) {
        QString error;
        if (tf::crash::writeVersion(dataDir, tf::crash::Target(t), 1, &error, /*big=*/true))
            say(QByteArray::number(t) + " ok");
        else
            say(QByteArray::number(t) + " fail " + error.toUtf8());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: crashchild loop|full <dataDir> <number>\n");
        return 2;
    }
    const QByteArray mode(argv[1]);
    const QString dataDir = QString::fromLocal8Bit(argv[2]);
    const long long number = std::atoll(argv[3]);
    if (mode == "loop")
        return loop(dataDir, static_cast<int>(number));
    if (mode == "full")
        return fullDisk(dataDir, static_cast<rlim_t>(number));
    return 2;
}
