#include "base/catalogue.h"
#include "common/scriptedui.h"
#include "common/testsupport.h"
#include "store/discdata.h"
#include "store/textfile.h"
#include "store/userfiles.h"
#include "store/workfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using namespace tf;

namespace {

// A disc whose identifier is computed from its table, as the read-all pass does.
DiscRecord disc(int n, const QList<TocTime>& toc, qint16 info = 0, quint8 ufile = 0,
                quint8 mtype = 0) {
    const DiscIdentity identity{quint8(n), ComputeDiscId(toc).value_or(DiscIdBytes{})};
    return {identity, 1, qint16(toc.size() - 1), {}, {}, toc, info, ufile, mtype};
}

DiscRecord workedExample(int n, qint16 info = 16, quint8 ufile = 5, quint8 mtype = 3) {
    return disc(n, {{0, 2, 0}, {3, 10, 37}, {7, 1, 12}}, info, ufile, mtype);
}

QList<TocTime> tracks(int count) {
    QList<TocTime> toc;
    for (int i = 0; i <= count; ++i)
        toc.append({quint8(i), quint8((2 + i) % 60), quint8(i % 75)});
    return toc;
}

} // namespace

class TestDiscData : public QObject {
    Q_OBJECT
private slots:
    void writersGolden() {
        QTemporaryDir dir;
        const QString path = dir.filePath("discdata.txt");
        QString error;
        QVERIFY2(discdata::replaceBlock(dir.path(), workedExample(7), &error), qPrintable(error));
        QCOMPARE(test::readAll(path), test::storeGolden("discdata-single.txt"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"discdata.txt"});

        // The read-all pass builds the file anew; the old one is untouched until the pass ends.
        discdata::MasterFileBuilder builder(dir.path() + "/");
        builder.addBlock(workedExample(3, 0, 0, 0));
        builder.addBlock(disc(12, {{0, 2, 32}, {45, 0, 74}}, 16, 128, 28));
        QCOMPARE(test::readAll(path), test::storeGolden("discdata-single.txt"));
        QVERIFY2(builder.commit(&error), qPrintable(error));
        QCOMPARE(test::readAll(path), test::storeGolden("discdata-pass.txt"));
        QVERIFY(!QFile::exists(dir.filePath("discdata.tmp")));
    }

    void replaceKeepsOtherLinesAsWritten_data() {
        QTest::addColumn<QByteArray>("before");
        // The old file in the form the store writes (spliced from its own bytes) and in forms it
        // does not (rewritten line by line): the result must be the same either way. A lone LF,
        // a lone CR and a control character are one case of the form check.
        const QByteArray a = "_!_3\r\nTOC_3\r\n x \r\n";
        const QByteArray seven = "_!_7\r\nTOC_7\r\nold\r\n";
        const QByteArray b = "_!_12\r\nMTYPE_12\r\n 4 \r\n";
        QTest::newRow("normal") << a + seven + b;
        QTest::newRow("block last") << a + b + seven;
        QTest::newRow("two old blocks") << seven + a + seven + b;
        QTest::newRow("only the disc") << seven;
        QTest::newRow("LF line ends") << QByteArray(a + seven + b).replace("\r\n", "\n");
        QTest::newRow("no final line end") << a + seven + b.chopped(2);
        QTest::newRow("undefined 1252 byte") << a + "TITLE\x81\r\n" + seven;
    }

    void replaceKeepsOtherLinesAsWritten() {
        QFETCH(QByteArray, before);
        QTemporaryDir dir;
        const QString path = dir.filePath("discdata.txt");
        QVERIFY(test::writeAll(path, before));
        const DiscRecord record = disc(7, tracks(2));
        QString error;
        QVERIFY2(discdata::replaceBlock(dir.path(), record, &error), qPrintable(error));

        // Worked out the slow way: every line decoded, disc 7's blocks dropped, the rest encoded.
        QStringList kept;
        bool skipping = false;
        for (const QString& line : textfile::splitLines(before)) {
            if (line.startsWith("_!_"))
                skipping = line == "_!_7";
            if (!skipping)
                kept.append(line);
        }
        const QByteArray expected =
            textfile::joinLines(kept + discdata::blockLines(record, discdata::RangeStyle::Printed));
        QCOMPARE(test::readAll(path), expected);
        QCOMPARE(discdata::readBlock(path, 7)->toc, tracks(2));
    }

    void discOneNeverMatchesDiscTwelve() {
        QTemporaryDir dir;
        const QString path = dir.filePath("discdata.txt");
        QVERIFY(discdata::replaceBlock(dir.path(), disc(12, tracks(3))));
        QVERIFY(discdata::replaceBlock(dir.path(), disc(120, tracks(9))));
        QString problem;
        QVERIFY(!discdata::readBlock(path, 1, &problem));
        QVERIFY(problem.contains("DISCID"));
        QVERIFY(discdata::replaceBlock(dir.path(), disc(1, tracks(5))));
        QCOMPARE(discdata::readBlock(path, 1)->toc, tracks(5));
        QCOMPARE(discdata::readBlock(path, 12)->toc, tracks(3));
        QCOMPARE(discdata::readBlock(path, 120)->toc, tracks(9));
    }

    void roundTrip_data() {
        QTest::addColumn<int>("trackCount");
        QTest::addColumn<bool>("printed");
        QTest::newRow("99 tracks") << 99 << true;
        QTest::newRow("1 track") << 1 << false;
    }

    void roundTrip() {
        QFETCH(int, trackCount);
        QFETCH(bool, printed);
        const DiscRecord d = disc(200, tracks(trackCount), 16, 0xA5, 28);
        const QStringList lines = discdata::blockLines(d, printed ? discdata::RangeStyle::Printed
                                                                  : discdata::RangeStyle::Bare);
        // The layout is the goldens'; here the lead-out's line number past nine tracks.
        QCOMPARE(lines.at(2 + trackCount), QStringLiteral("TRACK%1 = |%2|%3|%4")
                                               .arg(trackCount + 1)
                                               .arg(trackCount)
                                               .arg((2 + trackCount) % 60)
                                               .arg(trackCount % 75));
        const auto back = discdata::readBlock(lines, 200);
        QVERIFY(back);
        const auto fields = [](const DiscRecord& r) {
            return std::tuple(r.identity, r.minTno, r.maxTno, r.toc, r.discInfo, r.userFileByte,
                              r.musicType);
        };
        QVERIFY(fields(*back) == fields(d));
    }

    void incompleteBlocks_data() {
        QTest::addColumn<QString>("drop");
        QTest::addColumn<QString>("replaceWith");
        QTest::addColumn<QString>("section");
        auto row = [](const char* name, const char* drop, const char* with, const char* section) {
            QTest::newRow(name) << QString(drop) << QString(with) << QString(section);
        };
        row("no DISCID", "DISCID7", "DISCID 7", "DISCID");
        row("no MINMAXTNO_", "MINMAXTNO_7", "MINMAXTNO7", "MINMAXTNO_");
        row("no INFO_", "INFO_7", "", "INFO_");
        row("no TOC_", "TOC_7", "toc_7", "TOC_");
        row("damaged TRACK line", "TRACK2 = |3|10|37", "TRACK2 = |3|10", "TOC_");
        row("ID byte over 255", "163", "300", "DISCID");
        row("min above max", " 1 ", " 5 ", "MINMAXTNO_");
    }

    void incompleteBlocks() {
        QFETCH(QString, drop);
        QFETCH(QString, replaceWith);
        QFETCH(QString, section);
        QStringList lines = textfile::splitLines(test::storeGolden("discdata-single.txt"));
        QVERIFY(discdata::readBlock(lines, 7));
        const qsizetype at = lines.indexOf(drop);
        QVERIFY(at >= 0);
        lines[at] = replaceWith;
        QString problem;
        QVERIFY(!discdata::readBlock(lines, 7, &problem));
        QVERIFY2(problem.contains(section + " section"), qPrintable(problem));
    }

    void updateValues() {
        QTemporaryDir dir;
        const QString path = dir.filePath("discdata.txt");
        test::ScriptedUi ui;
        QCOMPARE(discdata::updateUserFileAndMusicType(dir.path(), 7, 1, 2, ui),
                 discdata::ValueUpdate::NoMasterFile);
        QCOMPARE(ui.texts("message"), QStringList{msg(409)});
        QVERIFY(!QFile::exists(path));

        QVERIFY(test::writeAll(path, test::storeGolden("discdata-single.txt")));
        UserFileChecks checks{};
        checks[0] = checks[7] = true; // user files 1 and 8
        QString error;
        QCOMPARE(discdata::updateUserFileAndMusicType(dir.path(), 7, UFListindex_byte(checks),
                                                      discdata::musicTypeFromChoice(13), ui,
                                                      &error),
                 discdata::ValueUpdate::Updated);
        QCOMPARE(test::readAll(path), test::storeGolden("discdata-updated.txt"));
        QCOMPARE(ui.shown.size(), 1);
        QVERIFY(!QFile::exists(dir.filePath("discdata.tmp")));
        // Printed numbers read back like bare ones.
        QCOMPARE(discdata::readBlock(path, 7)->userFileByte, quint8(129));
        // The music-type list leaves out code 1.
        for (const auto& [index, code] : {std::pair{0, 0}, {1, 2}, {27, 28}})
            QCOMPARE(int(discdata::musicTypeFromChoice(index)), code);

        // Disc 1 has no keys of its own; disc 12's must not be taken for them.
        QVERIFY(discdata::replaceBlock(dir.path(), disc(12, tracks(3))));
        const QByteArray before = test::readAll(path);
        QCOMPARE(discdata::updateUserFileAndMusicType(dir.path(), 1, 1, 2, ui),
                 discdata::ValueUpdate::KeysMissing);
        QCOMPARE(ui.texts("message"), (QStringList{msg(409), msg(408)}));
        QCOMPARE(test::readAll(path), before);

        // MTYPE_ before UFILE_ is not found after it.
        QStringList lines = textfile::splitLines(test::storeGolden("discdata-single.txt"));
        lines.move(lines.indexOf("MTYPE_7"), 0);
        QVERIFY(test::writeAll(path, textfile::joinLines(lines)));
        QCOMPARE(discdata::updateUserFileAndMusicType(dir.path(), 7, 1, 2, ui),
                 discdata::ValueUpdate::KeysMissing);
        QCOMPARE(test::readAll(path), textfile::joinLines(lines));
    }

    void failedWritesKeepOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath("discdata.txt");
        QVERIFY(test::writeAll(path, test::storeGolden("discdata-single.txt")));
        QVERIFY(QDir(dir.path()).mkdir("dest.tmp"));
        QVERIFY(QDir(dir.path()).mkdir("discdata.tmp"));
        QString error;
        QVERIFY(!discdata::replaceBlock(dir.path(), disc(9, tracks(3)), &error));
        QVERIFY(error.contains("dest.tmp"));
        test::ScriptedUi ui;
        error.clear();
        QCOMPARE(discdata::updateUserFileAndMusicType(dir.path(), 7, 1, 2, ui, &error),
                 discdata::ValueUpdate::Failed);
        QVERIFY(error.contains("discdata.tmp"));
        discdata::MasterFileBuilder builder(dir.path());
        builder.addBlock(disc(9, tracks(3)));
        QVERIFY(!builder.commit());
        QCOMPARE(test::readAll(path), test::storeGolden("discdata-single.txt"));
        QVERIFY(!discdata::replaceBlock(dir.path(), DiscRecord{}, &error)); // no disc number
    }

    // The read-all pass's list of the slots to read.
    void discProgramList() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!workfiles::writeDiscProgram(dir.path(), &error));
        QVERIFY(error.contains("tempdisc.txt"));
        QVERIFY(test::writeAll(dir.filePath("tempdisc.txt"),
                               test::storeGolden("tempdisc-converted.txt")));
        QCOMPARE(workfiles::writeDiscProgram(dir.path()), (QList<int>{1, 7, 12, 123}));
        QCOMPARE(test::readAll(dir.filePath("discprog.tmp")),
                 QByteArray("1\r\n7\r\n12\r\n123\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestDiscData)
#include "tst_discdata.moc"
