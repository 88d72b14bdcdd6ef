// Replays through the fuzz targets' own entry functions (fuzz/fuzzentries.h) every input a
// fuzzer once failed on (tests/data/fuzz-regressions/<target>/) and every seed of the fuzz
// corpora (fuzz/corpus/<target>/ and the golden files fuzz/seeds.list names): none may crash
// or break the target's checks.

#include "common/testsupport.h"
#include "fuzz/fuzzentries.h"

#include <QDir>
#include <QMultiMap>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

class TestFuzzRegressions : public QObject {
    Q_OBJECT

private:
    // One row per file of <root>/<target>/; every sub-folder must name a fuzz target.
    static void addInputs(const QString& root, bool mustExist) {
        const QDir dir(test::sourcePath(root));
        if (mustExist)
            QVERIFY2(dir.exists(), qPrintable(root));
        for (const QString& target : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QVERIFY2(fuzz::entryFor(target) != nullptr,
                     qPrintable(root + QStringLiteral(": no fuzz target ") + target));
            const QDir inputs(dir.filePath(target));
            for (const QString& name : inputs.entryList(QDir::Files | QDir::Hidden)) {
                const QString row = root.section(QLatin1Char('/'), -1) + QLatin1Char('/') + target +
                                    QLatin1Char('/') + name;
                QTest::newRow(qPrintable(row)) << target << test::readAll(inputs.filePath(name));
            }
        }
    }

    // The golden files fuzz/seeds.list names, per target (pattern in the file name only).
    static QMultiMap<QString, QString> goldenSeeds() {
        QMultiMap<QString, QString> seeds;
        const QString list =
            QString::fromUtf8(test::readAll(test::sourcePath(QStringLiteral("fuzz/seeds.list"))));
        for (const QString& line : list.split(QLatin1Char('\n'))) {
            const QStringList parts = line.simplified().split(QLatin1Char(' '));
            if (parts.size() != 2 || parts.first().startsWith(QLatin1Char('#')))
                continue;
            const QString folder = parts.at(1).section(QLatin1Char('/'), 0, -2);
            const QDir dir(test::sourcePath(folder));
            const QStringList files =
                dir.entryList({parts.at(1).section(QLatin1Char('/'), -1)}, QDir::Files);
            for (const QString& name : files)
                seeds.insert(parts.first(), folder + QLatin1Char('/') + name);
        }
        return seeds;
    }

private slots:
    void initTestCase() { fuzz::silenceQtMessages(); }

    void replay_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("input");
        addInputs(QStringLiteral("tests/data/fuzz-regressions"), true);
        addInputs(QStringLiteral("fuzz/corpus"), true);
        const auto golden = goldenSeeds();
        for (auto it = golden.cbegin(); it != golden.cend(); ++it)
            QTest::newRow(qPrintable(it.key() + QLatin1Char(':') + it.value()))
                << it.key() << test::readAll(test::sourcePath(it.value()));
    }

    void replay() {
        QFETCH(QString, target);
        QFETCH(QByteArray, input);
        const fuzz::Entry entry = fuzz::entryFor(target); // a name in fuzz/seeds.list
        QVERIFY2(entry, qPrintable(target));
        QTemporaryDir work;
        QVERIFY(work.isValid());
        const QString problem = entry(input, work.path());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(TestFuzzRegressions)
#include "tst_fuzzregressions.moc"
