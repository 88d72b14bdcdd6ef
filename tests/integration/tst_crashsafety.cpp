// Crash safety of the title store's file replacements: a child process replaces files in a
// loop and is killed with SIGKILL at random moments; after every kill each file holds its old
// or its new content, byte for byte (the bytes the product's writer gives, which the store
// tests read back), and the scratch files left behind are removed by the next start. A write that
// hits the file-size limit (a full disk) fails and leaves the file alone.
//
// TRACKFEN_KILLS sets the number of kills (default 200); TRACKFEN_KILL_SEED the random seed.

#include "crashwrites.h"

#include "common/testsupport.h"
#include "store/scratchfiles.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace tf;
using crash::Target;

namespace {

constexpr int kFileSizeLimit = 64; // bytes; every version of every file is larger

int envNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

QString fileOf(const QString& dir, Target target) {
    return storefiles::inFolder(dir, crash::targetName(target));
}

// Version 0 of every file; the replaced block lies between the master file's two others.
bool writeInitialFiles(const QString& dir, QString* error) {
    return discdata::replaceBlock(dir, crash::blockOf(1, 7), error) &&
           crash::writeVersion(dir, Target::MasterBlock, 0, error) &&
           discdata::replaceBlock(dir, crash::blockOf(2, 9), error) &&
           crash::writeVersion(dir, Target::TitleFile, 0, error) &&
           crash::writeVersion(dir, Target::UserFileNames, 0, error);
}

// What each file holds, in the order of the targets.
QList<QByteArray> contents(const QString& dir) {
    QList<QByteArray> out;
    for (int t = 0; t < crash::kTargetCount; ++t)
        out.append(test::readAll(fileOf(dir, Target(t))));
    return out;
}

QString filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name).join(QLatin1Char(' '));
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(QStringLiteral(TRACKFEN_CRASHCHILD)).isExecutable(),
                 "the crashchild helper is not built");
        QString error;
        QVERIFY2(m_reference.isValid() && writeInitialFiles(m_reference.path(), &error),
                 qPrintable(error));
    }

    void scratchNames() {
        // The scratch files of the title file, the master rebuild, the title records and the
        // user-file names.
        for (const char* name : {"DISC200.txt.new", "discdata.tmp", "tmpttl1.txt", "ufn.txt.new"})
            QVERIFY2(scratchfiles::isScratchName(name), name);
        // A title file, one saved without an identifier, the title records, someone else's
        // file, a parked title file, the master data file.
        for (const char* name : {"DISC5.txt", "DISC5.tmp", "tmpttl.txt", "notes.txt.new",
                                 "t12345678._xt", "discdata.txt"})
            QVERIFY2(!scratchfiles::isScratchName(name), name);
    }

    void killedWritesLeaveOldOrNew() {
        const int kills = envNumber("TRACKFEN_KILLS", 200);
        const auto seed = static_cast<quint32>(envNumber("TRACKFEN_KILL_SEED", 20261206));
        QRandomGenerator random(seed);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QString error;
        QVERIFY2(writeInitialFiles(data.path(), &error), qPrintable(error));
        QList<QByteArray> current = contents(data.path());

        int firstVersion = 1;
        int leftoversSeen = 0;
        int killsMidWrite = 0;
        int completedWrites = 0;
        for (int kill = 0; kill < kills; ++kill) {
            const QString where = QStringLiteral("kill %1 (seed %2)").arg(kill).arg(seed);
            QProcess child;
            child.start(QStringLiteral(TRACKFEN_CRASHCHILD),
                        {data.path(), QString::number(firstVersion)});
            QVERIFY2(child.waitForStarted(5000), qPrintable(where));
            // The child is up once it has cleaned up; it reports how many scratch files it
            // found, which must be those the previous kill left.
            QByteArray out;
            while (!out.contains('\n')) {
                QVERIFY2(child.waitForReadyRead(10000), qPrintable(where + ": child silent"));
                out += child.readAllStandardOutput();
            }
            QCOMPARE(out.left(out.indexOf('\n')), "R " + QByteArray::number(leftoversSeen));
            ::usleep(random.bounded(25000));
            child.kill();
            QVERIFY2(child.waitForFinished(5000), qPrintable(where));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            out += child.readAllStandardOutput();

            // The last completed version of every file.
            int last[crash::kTargetCount];
            std::fill(std::begin(last), std::end(last), -1);
            const QList<QByteArray> lines = out.split('\n');
            for (const QByteArray& line : lines.mid(1)) {
                if (line.isEmpty())
                    continue;
                QVERIFY2(!line.startsWith("E "), line.constData());
                const QList<QByteArray> words = line.split(' ');
                QCOMPARE(words.size(), 2);
                last[words.at(0).toInt()] = words.at(1).toInt();
                ++completedWrites;
            }

            int highest = firstVersion - 1;
            for (int t = 0; t < crash::kTargetCount; ++t) {
                const Target target = Target(t);
                const QByteArray actual = test::readAll(fileOf(data.path(), target));
                // Old: the last version completed (or what the file held before this child);
                // new: the version after it, which may have been under way.
                const QByteArray oldContent =
                    last[t] >= 0 ? reference(target, last[t]) : current[t];
                const int newVersion = last[t] >= 0 ? last[t] + 1 : firstVersion;
                QVERIFY2(actual == oldContent || actual == reference(target, newVersion),
                         qPrintable(where + ": neither old nor new " + crash::targetName(target)));
                current[t] = actual;
                highest = std::max(highest, last[t]);
            }
            leftoversSeen = static_cast<int>(scratchfiles::leftovers(data.path()).size());
            if (leftoversSeen > 0)
                ++killsMidWrite;
            firstVersion = highest + 2;
        }
        // The next start cleans up what the last kill left.
        QCOMPARE(scratchfiles::removeLeftovers(data.path()), leftoversSeen);
        QCOMPARE(filesIn(data.path()), QStringLiteral("DISC5.txt discdata.txt ufn.txt"));
        qInfo("%d kills (seed %u): %d landed while a scratch file was open, %d writes completed",
              kills, seed, killsMidWrite, completedWrites);
        // Otherwise the kills never hit a replacement under way and nothing was tested.
        QVERIFY(killsMidWrite > 0);
        QVERIFY(completedWrites > 0);
    }

    void fullDiskLeavesOriginal() {
        QTemporaryDir data;
        QString error;
        QVERIFY2(writeInitialFiles(data.path(), &error), qPrintable(error));
        const QList<QByteArray> before = contents(data.path());
        const QString filesBefore = filesIn(data.path());
        // Past the limit a write fails with EFBIG instead of the process being stopped. Nothing
        // else is written until the limit is lifted again.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = kFileSizeLimit;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        QStringList reasons;
        for (int t = 0; t < crash::kTargetCount; ++t) {
            QString why;
            reasons << (crash::writeVersion(data.path(), Target(t), 1, &why) ? "written" : why);
        }
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &saved), 0);
        // Every writer reports the failure with a reason the user can be shown.
        for (const QString& why : reasons)
            QVERIFY2(!why.isEmpty() && why != "written" && !why.contains("Unknown error"),
                     qPrintable(why));
        QVERIFY(contents(data.path()) == before);
        // No scratch file stays behind either.
        QCOMPARE(filesIn(data.path()), filesBefore);
    }

private:
    // Version v of a file as the product's writer gives it, written in a folder of our own.
    QByteArray reference(Target target, int v) {
        QString error;
        if (!crash::writeVersion(m_reference.path(), target, v, &error))
            qFatal("reference write failed: %s", qPrintable(error));
        return test::readAll(fileOf(m_reference.path(), target));
    }

    QTemporaryDir m_reference;
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
