// Child process of the crash-safety test (tst_crashsafety).
//
//   crashchild <dataDir> <firstVersion>
//       Removes left-over scratch files as the application's start-up does and prints
//       "R <removed>", then replaces the files of crashwrites.h with versions
//       firstVersion, firstVersion + 1, ... until it is killed, printing "<target> <v>" after
//       each replacement has completed. The first file written rotates with firstVersion.

#include "crashwrites.h"

#include "store/scratchfiles.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: crashchild <dataDir> <firstVersion>\n");
        return 2;
    }
    return loop(QString::fromLocal8Bit(argv[1]), std::atoi(argv[2]));
}
