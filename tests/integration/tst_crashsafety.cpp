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
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace tf;
using crash::Target;

namespace {

constexpr int kDefaultKills = 200;
constexpr quint32 kDefaultSeed = 20261206;
constexpr int kMaxKillDelayUs = 25000;
constexpr int kFileSizeLimit = 512; // bytes; every big version is larger

int envNumber(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

QString fileOf(const QString& dir, Target target) {
    return storefiles::inFolder(dir, crash::targetName(target));
}

// Version 0 of every file, the master data file with its three blocks.
bool writeInitialFiles(const QString& dir, QString* error) {
    const QString master = fileOf(dir, Target::MasterBlock);
    if (!textfile::replaceLines(master, textfile::defaultScratch(master),
                                crash::initialMasterLines(), error))
        return false;
    for (Target t : {Target::TitleFile, Target::UserFileNames, Target::WholeFile})
        if (!crash::writeVersion(dir, t, 0, error))
            return false;
    return true;
}

// Every content the child can leave, computed by running the same writer in a folder of
// our own.
class Versions {
public:
    bool init(QString* error) { return m_dir.isValid() && writeInitialFiles(m_dir.path(), error); }

    QByteArray content(Target target, int v) {
        const auto key = qMakePair(static_cast<int>(target), v);
        if (const auto it = m_cache.constFind(key); it != m_cache.cend())
            return *it;
        QString error;
        if (!crash::writeVersion(m_dir.path(), target, v, &error))
            qFatal("reference write failed: %s", qPrintable(error));
        const QByteArray bytes = test::readAll(fileOf(m_dir.path(), target));
        m_cache.insert(key, bytes);
        return bytes;
    }

private:
    QTemporaryDir m_dir;
    QHash<QPair<int, int>, QByteArray> m_cache;
};

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
    }

    void scratchNames() {
        // The scratch files of the title file, a block, the master rebuild, the disc list and
        // its titles, the title records, the user-file names, the settings and the proxy.
        for (const char* name :
             {"DISC5.txt.new", "DISC200.txt.new", "dest.tmp", "discdata.tmp", "tempd.tmp",
              "tmpd.dsc", "tmpttl1.txt", "ufn.txt.new", "config.tmp", "proxy.dt.new"})
            QVERIFY2(scratchfiles::isScratchName(name), name);
        // A title file, one saved without an identifier, the title records, someone else's
        // file, a parked title file, the master data file.
        for (const char* name : {"DISC5.txt", "DISC5.tmp", "tmpttl.txt", "notes.txt.new",
                                 "t12345678._xt", "discdata.txt"})
            QVERIFY2(!scratchfiles::isScratchName(name), name);
    }

    void killedWritesLeaveOldOrNew() {
        const int kills = envNumber("TRACKFEN_KILLS", kDefaultKills);
        const auto seed = static_cast<quint32>(envNumber("TRACKFEN_KILL_SEED", kDefaultSeed));
        QRandomGenerator random(seed);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        Versions versions;
        QString error;
        QVERIFY2(writeInitialFiles(data.path(), &error) && versions.init(&error),
                 qPrintable(error));

        // What each file holds now.
        QByteArray current[crash::kTargetCount];
        for (int t = 0; t < crash::kTargetCount; ++t)
            current[t] = test::readAll(fileOf(data.path(), Target(t)));

        int firstVersion = 1;
        int leftoversSeen = 0;
        int killsMidWrite = 0;
        int completedWrites = 0;
        for (int kill = 0; kill < kills; ++kill) {
            const QString where = QStringLiteral("kill %1 (seed %2)").arg(kill).arg(seed);
            QProcess child;
            child.start(QStringLiteral(TRACKFEN_CRASHCHILD),
                        {QStringLiteral("loop"), data.path(), QString::number(firstVersion)});
            QVERIFY2(child.waitForStarted(5000), qPrintable(where));
            // The child is up once it has cleaned up; it reports how many scratch files it
            // found, which must be those the previous kill left.
            QByteArray out;
            while (!out.contains('\n')) {
                QVERIFY2(child.waitForReadyRead(10000), qPrintable(where + ": child silent"));
                out += child.readAllStandardOutput();
            }
            QCOMPARE(out.left(out.indexOf('\n')), "R " + QByteArray::number(leftoversSeen));
            ::usleep(random.bounded(kMaxKillDelayUs));
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
                    last[t] >= 0 ? versions.content(target, last[t]) : current[t];
                const int newVersion = last[t] >= 0 ? last[t] + 1 : firstVersion;
                QVERIFY2(actual == oldContent || actual == versions.content(target, newVersion),
                         qPrintable(QStringLiteral("%1: %2 is neither the old content nor version "
                                                   "%3 (%4 bytes)")
                                        .arg(where, crash::targetName(target))
                                        .arg(newVersion)
                                        .arg(actual.size())));
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
        QCOMPARE(filesIn(data.path()),
                 QStringLiteral("DISC5.txt discdata.txt tempdisc.txt ufn.txt"));
        qInfo("%d kills (seed %u): %d landed while a scratch file was open, %d writes completed",
              kills, seed, killsMidWrite, completedWrites);
        // Otherwise the kills never hit a replacement under way and nothing was tested.
        QVERIFY(killsMidWrite > 0);
        QVERIFY(completedWrites > 0);
    }

    void fullDiskLeavesOriginal() {
        QTemporaryDir data;
        QVERIFY(data.isValid());
        QString error;
        QVERIFY2(writeInitialFiles(data.path(), &error), qPrintable(error));
        QByteArray before[crash::kTargetCount];
        for (int t = 0; t < crash::kTargetCount; ++t)
            before[t] = test::readAll(fileOf(data.path(), Target(t)));
        const QString filesBefore = filesIn(data.path());

        QProcess child;
        child.start(QStringLiteral(TRACKFEN_CRASHCHILD),
                    {QStringLiteral("full"), data.path(), QString::number(kFileSizeLimit)});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QList<QByteArray> lines = child.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), crash::kTargetCount);
        for (int t = 0; t < crash::kTargetCount; ++t) {
            const QString name = crash::targetName(Target(t));
            // Every writer reports the failure with a reason the user can be shown.
            QVERIFY2(lines.at(t).startsWith(QByteArray::number(t) + " fail "),
                     qPrintable(name + QStringLiteral(": ") + QString::fromUtf8(lines.at(t))));
            QVERIFY2(!lines.at(t).contains("Unknown error"), lines.at(t).constData());
            QVERIFY2(test::readAll(fileOf(data.path(), Target(t))) == before[t], qPrintable(name));
        }
        // No scratch file stays behind either.
        QCOMPARE(filesIn(data.path()), filesBefore);
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
