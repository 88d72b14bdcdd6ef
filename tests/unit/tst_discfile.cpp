#include "common/testsupport.h"
#include "store/discfile.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;

namespace {

const DiscIdBytes kBlueTrain{0x00, 0x1A, 0xFF, 0x07};
const DiscIdBytes kKindOfBlue{0x8A, 0x0B, 0x3C, 0x0D};

QStringList linesOf(const QString& path) {
    return textfile::readLines(path).value_or(QStringList());
}

discfile::EditorTitles blueTrainRows() {
    return {1,
            QStringLiteral("Blue Train"),
            {QStringLiteral("Blue Train"), QString(), QStringLiteral("Lazy Bird")}};
}

bool writeLookup(const QString& dir, int slot, const DiscIdBytes& id, const QString& title,
                 QString* error = nullptr) {
    return discfile::writeFromLookup(dir, DiscIdentity{quint8(slot), id}, 1, 2, title,
                                     {title + " 1", title + " 2"}, error);
}

} // namespace

class TestDiscFile : public QObject {
    Q_OBJECT
private slots:
    // An editor save without a disc ID goes to a scratch file, which the next known ID
    // refreshes; a save with the ID removes an older scratch file (whose refresh would
    // overwrite the newer titles); the lookup's writer parks the editor's file.
    void writersAndScratchFile() {
        QTemporaryDir dir;
        const QString txt = dir.filePath("DISC5.txt");
        const QString tmp = dir.filePath("DISC5.tmp");
        const DiscIdentity unknown{5, {}};
        QCOMPARE(discfile::editorTarget(txt, unknown), tmp);
        auto rows = blueTrainRows();
        rows.discTitle.clear(); // an empty disc title keeps its line
        QVERIFY(discfile::writeFromEditor(txt, unknown, rows));
        QVERIFY(!QFile::exists(txt));
        QCOMPARE(test::readAll(tmp), test::storeGolden("disc5-unknown.tmp"));
        QString error;
        QCOMPARE(discfile::refreshIdentifier(tmp, {5, kBlueTrain}, 1, 3, &error),
                 discfile::RefreshResult::Refreshed);
        QCOMPARE(test::readAll(txt), test::storeGolden("disc5-refreshed.txt"));
        QVERIFY(!QFile::exists(tmp));
        QCOMPARE(discfile::refreshIdentifier(tmp, {5, kBlueTrain}, 1, 3),
                 discfile::RefreshResult::NoScratchFile);
        QCOMPARE(test::readAll(txt), test::storeGolden("disc5-refreshed.txt"));

        QVERIFY(discfile::writeFromEditor(txt, unknown, {1, "old", {"old"}}));
        QVERIFY(QFile::exists(tmp));
        const DiscIdentity identity{5, kBlueTrain};
        QCOMPARE(discfile::editorTarget(txt, identity), txt);
        QVERIFY2(discfile::writeFromEditor(txt, identity, blueTrainRows(), &error),
                 qPrintable(error));
        QCOMPARE(test::readAll(txt), test::storeGolden("disc5-editor.txt"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"DISC5.txt"});
        QCOMPARE(discfile::editorScratchPath("/data.d/DISC5"), QStringLiteral("/data.d/DISC5.tmp"));

        // The data folder as configured ends in a separator.
        QVERIFY2(discfile::writeFromLookup(dir.path() + "/", identity, 1, 3, "Blue Train",
                                           {"Blue Train", "Moment's Notice", "Lazy Bird"}, &error),
                 qPrintable(error));
        QCOMPARE(test::readAll(txt), test::storeGolden("disc5-lookup.txt"));
        // Upper-case ID in the editor's file, lower-case parked name all the same.
        QCOMPARE(test::readAll(dir.filePath("t001aff07._xt")),
                 test::storeGolden("disc5-editor.txt"));
    }

    void readNumbers_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("numbers");
        QTest::newRow("printed") << QStringList{"DISC NO =", "12",        "MIN TNO =",
                                                " 1 ",       "MAX TNO =", " 14 "}
                                 << QList<int>{12, 1, 14};
        QTest::newRow("missing min ends the lookup")
            << QStringList{"DISC NO =", "7", "MAX TNO =", "9"} << QList<int>{7, 0, 0};
        QTest::newRow("out of order: no going back")
            << QStringList{"MAX TNO =", "9", "DISC NO =", "7", "MIN TNO =", "2"}
            << QList<int>{7, 2, 0};
        QTest::newRow("key case matters")
            << QStringList{"disc no =", "7", "MIN TNO =", "2", "MAX TNO =", "9"}
            << QList<int>{0, 0, 0};
        QTest::newRow("not a number")
            << QStringList{"DISC NO =", "x", "MIN TNO =", "2"} << QList<int>{0, 2, 0};
    }

    void readNumbers() {
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, numbers);
        const auto n = discfile::readNumbers(lines);
        QCOMPARE((QList<int>{n.discNo, n.minTno, n.maxTno}), numbers);
    }

    // What a per-disc file gives: its disc title and whether it is the disc's (its ID in
    // either case). Its titles and numbers as a whole are read by the library export's test.
    void titleAndId_data() {
        QTest::addColumn<QByteArray>("file"); // empty: no file
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("id");
        const auto row = [](const char* name, const QByteArray& file, const char* title,
                            discfile::IdCheck id) {
            QTest::newRow(name) << file << QString(title) << int(id);
        };
        using discfile::IdCheck;
        row("no file", {}, "(none)", IdCheck::NoFile);
        row("lower-case ID", test::storeGolden("disc5-lookup.txt"), "Blue Train", IdCheck::Match);
        row("upper-case ID", test::storeGolden("disc5-editor.txt"), "Blue Train", IdCheck::Match);
        row("empty title, no ID yet", test::storeGolden("disc5-unknown.tmp"), "",
            IdCheck::Mismatch);
        row("no title key", "DISC ID =\r\n001aff07\r\n", "(none)", IdCheck::Match);
        row("other disc", "DISC ID =\r\n8a0b3c0d\r\n", "(none)", IdCheck::Mismatch);
        row("no ID line", "DISC NO =\r\n5\r\n", "(none)", IdCheck::Mismatch);
    }

    void titleAndId() {
        QFETCH(QByteArray, file);
        QFETCH(QString, title);
        QFETCH(int, id);
        QTemporaryDir dir;
        const QString path = dir.filePath("DISC5.txt");
        if (!file.isEmpty())
            QVERIFY(test::writeAll(path, file));
        QCOMPARE(discfile::readDiscTitle(path).value_or("(none)"), title);
        QCOMPARE(int(discfile::checkId(path, {5, kBlueTrain})), id);
        QCOMPARE(discfile::readNumbers(path).has_value(), !file.isEmpty());
    }

    void parkAndRestoreAcrossSlots() {
        QTemporaryDir dir;
        QVERIFY(writeLookup(dir.path(), 3, kKindOfBlue, "Kind of Blue"));
        const QStringList before = linesOf(dir.filePath("DISC3.txt"));
        QCOMPARE(discfile::park(dir.filePath("DISC3.txt")), discfile::ParkResult::Parked);
        QVERIFY(!QFile::exists(dir.filePath("DISC3.txt")));
        QVERIFY(QFile::exists(dir.filePath("t8a0b3c0d._xt")));
        QCOMPARE(discfile::park(dir.filePath("DISC3.txt")), discfile::ParkResult::NoFile);

        QString error;
        QCOMPARE(discfile::restore(dir.path(), {12, kKindOfBlue}, &error),
                 discfile::RestoreResult::Restored);
        QVERIFY(!QFile::exists(dir.filePath("t8a0b3c0d._xt")));
        QStringList expected = before;
        expected[3] = "12"; // the line after "DISC NO ="
        QCOMPARE(linesOf(dir.filePath("DISC12.txt")), expected);
        QCOMPARE(discfile::restore(dir.path(), {12, kKindOfBlue}),
                 discfile::RestoreResult::NotFound);
    }

    void malformedFilesFailAndLoseNothing() {
        QTemporaryDir dir;
        const QString txt = dir.filePath("DISC5.txt");
        const QByteArray damaged("DISC ID =\r\n../x\r\nDISC NO =\r\n5\r\n");
        QVERIFY(test::writeAll(txt, damaged));
        QString error;
        QCOMPARE(discfile::park(txt, &error), discfile::ParkResult::Failed);
        QVERIFY(error.contains("no valid disc ID"));
        QVERIFY(!writeLookup(dir.path(), 5, kBlueTrain, "x", &error));
        QCOMPARE(test::readAll(txt), damaged);
        QVERIFY(!writeLookup(dir.path(), 0, kBlueTrain, "no slot", &error));
        QVERIFY(error.contains("disc number"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"DISC5.txt"});

        // A scratch file out of the fixed line order is not refreshed.
        const QString tmp = dir.filePath("DISC6.tmp");
        const QByteArray shuffled("DISC NO =\r\n6\r\nDISC ID =\r\n00000000\r\n");
        QVERIFY(test::writeAll(tmp, shuffled));
        QCOMPARE(discfile::refreshIdentifier(tmp, {6, kBlueTrain}, 1, 3, &error),
                 discfile::RefreshResult::Failed);
        QVERIFY(error.contains("DISC6.tmp"));
        QCOMPARE(test::readAll(tmp), shuffled);
        QVERIFY(!QFile::exists(dir.filePath("DISC6.txt")));

        // A parked file without a disc number line stays parked.
        const QString parked = dir.filePath("t8a0b3c0d._xt");
        QVERIFY(test::writeAll(parked, "DISC ID =\r\n8a0b3c0d\r\n"));
        QCOMPARE(discfile::restore(dir.path(), {7, kKindOfBlue}, &error),
                 discfile::RestoreResult::Failed);
        QVERIFY(QFile::exists(parked));
        QVERIFY(!QFile::exists(dir.filePath("DISC7.txt")));

        // Restoring over a slot file that cannot be parked leaves both as they were.
        QVERIFY(test::writeAll(parked, test::storeGolden("disc5-lookup.txt")));
        QCOMPARE(discfile::restore(dir.path(), {5, kKindOfBlue}, &error),
                 discfile::RestoreResult::Failed);
        QCOMPARE(test::readAll(txt), damaged);
        QCOMPARE(test::readAll(parked), test::storeGolden("disc5-lookup.txt"));

        // A refresh that cannot write keeps its scratch file. A directory where the scratch file
        // must go makes the write fail, even for root. (A failed editor write keeps the old file:
        // tst_crashsafety fills the disk under every writer.)
        QVERIFY(test::writeAll(txt, test::storeGolden("disc5-lookup.txt")));
        QVERIFY(QDir(dir.path()).mkdir("DISC5.txt.new"));
        QVERIFY(test::writeAll(dir.filePath("DISC5.tmp"), test::storeGolden("disc5-unknown.tmp")));
        QCOMPARE(discfile::refreshIdentifier(dir.filePath("DISC5.tmp"), {5, kBlueTrain}, 1, 3),
                 discfile::RefreshResult::Failed);
        QCOMPARE(test::readAll(dir.filePath("DISC5.tmp")), test::storeGolden("disc5-unknown.tmp"));
        QCOMPARE(test::readAll(txt), test::storeGolden("disc5-lookup.txt"));
    }
};

QTEST_GUILESS_MAIN(TestDiscFile)
#include "tst_discfile.moc"
