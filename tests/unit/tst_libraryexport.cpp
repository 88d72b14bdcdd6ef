#include "common/testsupport.h"
#include "portability/library.h"
#include "portability/librarycsv.h"
#include "portability/libraryimport.h"
#include "portability/libraryjson.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using namespace tf::library;
using tf::test::readAll;
using tf::test::writeAll;

namespace {

// A data folder as configured: ending in a separator.
QString folderOf(const QTemporaryDir& dir) {
    return dir.path() + QLatin1Char('/');
}

// A library folder as the store's writers leave it (tests/data/library): master blocks with
// and without titles (disc 1 with info 16, disc 12 with user-file byte 128, music type 5,
// disc 150 with tracks 13 to 14), titles without a master block (disc 7, with an upper-case
// ID as the editor writes it and more lines than tracks), text that needs quoting in both.
void fillFolder(const QString& dataDir) {
    const QDir golden(test::sourcePath(QStringLiteral("tests/data/library")));
    for (const QString& name : golden.entryList(QDir::Files))
        QVERIFY(writeAll(dataDir + name, readAll(golden.filePath(name))));
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QFileInfo(path).fileName(), readAll(path));
    }
    return files;
}

using Encode = QByteArray (*)(const Library&);
using Decode = std::optional<Library> (*)(const QByteArray&, QString*);

} // namespace

class TestLibraryExport : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data() {
        QTest::addColumn<bool>("csv");
        QTest::newRow("json") << false;
        QTest::newRow("csv") << true;
    }
    void roundTrip() {
        QFETCH(bool, csv);
        const Encode encode = csv ? &toCsv : &toJson;
        const Decode decode = csv ? &fromCsv : &fromJson;
        QTemporaryDir sourceDir, targetDir;
        const QString source = folderOf(sourceDir);
        fillFolder(source);

        QStringList warnings;
        const Library original = load(source, &warnings);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
        // The export golden shows what was read: disc 7 without a master block and its ID in
        // lower case, every line after "Track Title =" a title, blanks kept.
        const QByteArray first = encode(original);
        QCOMPARE(first, test::golden(csv ? "library-export.csv" : "library-export.json"));
        QString error;
        const auto parsed = decode(first, &error);
        QVERIFY2(parsed, qPrintable(error));
        QVERIFY(*parsed->userFileNames == *original.userFileNames);
        QVERIFY(parsed->discs == original.discs);
        QVERIFY(!validate(*parsed));

        const QString target = folderOf(targetDir);
        const ImportReport report = importInto(target, *parsed, {});
        QVERIFY2(report.ok(), qPrintable(report.error));
        QVERIFY(report.refused.isEmpty());
        QVERIFY(
            report.changes.contains(QStringLiteral("user file 3: name (none) -> \"\"Quoted\"\"")));
        QVERIFY(report.changes.contains(
            QStringLiteral("disc 12: new master data: id 8a0b3c0d, "
                           "tracks 1..3, music type 5, user-file byte 128")));
        QCOMPARE(encode(load(target)), first);

        // Importing the same again changes nothing, so not a byte of the folder moves.
        const auto before = snapshot(target);
        QVERIFY(importInto(target, *parsed, {}).changes.isEmpty());
        QCOMPARE(snapshot(target), before);
    }

    // A damaged master block is named, left out of the library and kept in the file.
    void dryRunListsChangesAndWritesNothing() {
        QTemporaryDir dir;
        const QString data = folderOf(dir);
        fillFolder(data);
        const QString master = data + QStringLiteral("discdata.txt");
        QVERIFY(writeAll(master, readAll(master) + "_!_9\r\nTOC_9\r\nTRACK1 = |x\r\n"));
        QStringList warnings;
        Library changed = load(data, &warnings);
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings.first().startsWith(QStringLiteral("disc 9: master data block left out")));
        changed.discs[0].titles->discTitle = QStringLiteral("New title");
        changed.discs[0].titles->trackTitles[1] = QStringLiteral("Two");
        changed.discs[0].master->musicType = 5;
        (*changed.userFileNames)[3] = QStringLiteral("Work");
        Disc added;
        added.slot = 20;
        added.titles = TitlePart{QString(), 1, 1, QStringLiteral("Fresh"), {QStringLiteral("A")}};
        changed.discs.append(added);

        const auto before = snapshot(data);
        const ImportReport report = importInto(data, changed, {true, false});
        QCOMPARE(snapshot(data), before);
        QCOMPARE(report.changes,
                 QStringList({"user file 4: name \"USER FILE 4\" -> \"Work\"",
                              "disc 1: music type 23 -> 5",
                              "disc 1: disc title \"Caf\u00e9, \"live\", 1998\" -> \"New title\"",
                              "disc 1: track 2 title \"\" -> \"Two\"",
                              "disc 20: new title file: \"Fresh\", 1 track titles"}));

        // The same without the dry run writes exactly that.
        QVERIFY(importInto(data, changed, {}).ok());
        const Library after = load(data);
        QCOMPARE(after.discs.size(), changed.discs.size());
        for (const Disc& disc : changed.discs)
            QVERIFY2(after.find(disc.slot) && *after.find(disc.slot) == disc,
                     qPrintable(QString::number(disc.slot)));
        QCOMPARE(after.userFileNames->at(3), QStringLiteral("Work"));
        QCOMPARE(snapshot(data).value("DISC12.txt"), before.value("DISC12.txt"));
        QVERIFY(readAll(master).contains("TOC_9\r\nTRACK1 = |x\r\n"));
    }

    void discIdMismatchIsRefusedUnlessForced() {
        QTemporaryDir dir;
        const QString data = folderOf(dir);
        fillFolder(data);
        Library other = load(data);
        other.userFileNames.reset();
        other.discs = {*other.find(1), *other.find(150)};
        other.discs[0].master->id = {0x11, 0x22, 0x33, 0x44};
        other.discs[0].titles->idText = QStringLiteral("11223344");
        other.discs[1].titles->discTitle = QStringLiteral("Late, renamed");

        // The refusal's effect on the title file, and --force, are tst_ctl's.
        const ImportReport refused = importInto(data, other, {});
        QVERIFY(refused.ok());
        QCOMPARE(refused.refused,
                 QStringList({"disc 1: the folder holds disc 0c01a302, the file disc 11223344: "
                              "left alone (--force replaces it)"}));
        // The other disc went in; disc 1's master block did not move.
        QCOMPARE(load(data).find(150)->titles->discTitle, QStringLiteral("Late, renamed"));
        QCOMPARE(load(data).find(1)->master->id, (DiscIdBytes{0x0c, 0x01, 0xa3, 0x02}));

        const ImportReport forced = importInto(data, other, {false, true});
        QVERIFY(forced.refused.isEmpty());
        QVERIFY(forced.changes.first().endsWith(QStringLiteral("replaced (forced)")));
        QCOMPARE(load(data).find(1)->master->id, (DiscIdBytes{0x11, 0x22, 0x33, 0x44}));
        // Blocks the file did not name are kept as they were.
        QCOMPARE(load(data).find(12)->master->userFileByte, 0x80);
    }

    // Files that do not parse, and files that parse into a library that must not be imported.
    void refusedInput_data() {
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("error");
        // The header line of the export golden, with its CR LF.
        const QByteArray header = test::golden("library-export.csv").split('\n').first() + '\n';
        auto json = [](const char* name, const QString& input, const char* error) {
            QTest::newRow(name) << false << input.toUtf8() << QString(error);
        };
        auto csv = [&header](const char* name, const QByteArray& rows, const char* error) {
            QTest::newRow(name) << true << header + rows << QString(error);
        };
        const QString head = R"({"format": "trackfen-library", "version": 1, "discs": [)";
        json("json syntax", "{\n  \"format\": \"trackfen-library\",\n  \"discs\": [ , ]\n}",
             "line 3, column ");
        json("json format", R"({"format": "other", "version": 1, "discs": []})",
             "format: not \"trackfen-library\"");
        json("json missing field",
             head + R"({"slot": 4, "discId": "0c01a302", "minTno": 1, "maxTno": 1}]})",
             "discs[0] (slot 4).info: missing");
        json("json bad toc",
             head + R"({"slot": 4, "discId": "0c01a302", "minTno": 1, "maxTno": 1, "info": 0,)"
                    R"( "userFileByte": 0, "musicType": 0, "toc": ["00:02:00", "1:99:00"]}]})",
             "discs[0] (slot 4).toc[1]: \"1:99:00\" is not MM:SS:FF");
        QTest::newRow("csv header") << true << QByteArray("slot,title\r\n") << "line 1: the header";
        csv("csv field count", "disc,4,0c01a302,1,1\r\n",
            "line 2: 5 fields where there must be 15");
        csv("csv number", "disc,4,0c01a302,1,x,0,0,0,00:02:00 03:00:00,,,,,,\r\n",
            "line 2, column max_tno: \"x\" is not a whole number");
        csv("csv open quote", "disc,4,,,,,,,,,1,1,1,\"Title,\r\nmore\r\n",
            "line 2: a quoted field is never closed");
        csv("csv track count", "userfile,1,,,,,,,,,,,,Name,\r\ndisc,4,,,,,,,,,1,2,2,T,\"one\"\r\n",
            "line 3, column track_titles: 1 titles where track_count is 2");
        csv("csv stray master field", "disc,4,,1,,,,,,,1,1,1,T,x\r\n",
            "line 2, column min_tno: a value where disc_id is empty");

        const QString disc = R"({"slot": %1, "discId": "0c01a302", "minTno": 1, "maxTno": %2,)"
                             R"( "info": 0, "userFileByte": 0, "musicType": 0,)"
                             R"( "toc": ["00:02:00", "03:00:00"]})";
        json("toc size", head + disc.arg(4).arg(2) + "]}",
             "disc 4: toc has 2 entries where maxTno 2 needs 3");
        json("slot twice", head + disc.arg(4).arg(1) + "," + disc.arg(4).arg(1) + "]}",
             "disc 4: the slot appears twice");
        json("slot range", head + disc.arg(201).arg(1) + "]}", "slot 201 is outside 1..200");
        json("control character",
             head + R"({"slot": 4, "titles": {"discId": "", "minTno": 1, "maxTno": 1,)"
                    R"( "title": "a\nb", "tracks": []}}]})",
             "disc 4: titles.title holds a control character");
        json("outside code page",
             head + R"({"slot": 4, "titles": {"discId": "", "minTno": 1, "maxTno": 1,)"
                    R"( "title": "ok", "tracks": ["\u65e5"]}}]})",
             "disc 4: titles.tracks[0] holds a character that Windows-1252 cannot store");
        json("names",
             R"({"format": "trackfen-library", "version": 1, "userFileNames": ["a"], "discs": []})",
             "userFileNames: 1 names where there must be 8");
    }
    void refusedInput() {
        QFETCH(bool, csv);
        QFETCH(QByteArray, input);
        QFETCH(QString, error);
        QString reason;
        const auto parsed = csv ? fromCsv(input, &reason) : fromJson(input, &reason);
        if (parsed)
            reason = validate(*parsed).value_or(QString());
        QVERIFY2(!reason.isEmpty() && reason.startsWith(error), qPrintable(reason));
    }
};

QTEST_GUILESS_MAIN(TestLibraryExport)
#include "tst_libraryexport.moc"
