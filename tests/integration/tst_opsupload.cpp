// Uploads against changer-sim: titles from a title file and from the editor's values, the
// title-input refusal, the eight user-file names with ufn.txt, and the program list in both
// directions. What the changer stored is read back from the simulator's state.

#include "tst_opsfixture.h"

#include "base/catalogue.h"
#include "operations/programlist.h"
#include "operations/titleupload.h"
#include "operations/userfilenames.h"

using namespace tf;
using namespace tf::test;

namespace {

QJsonObject trackMap(const QList<QPair<int, QString>>& tracks) {
    QJsonObject out;
    for (const auto& t : tracks)
        out.insert(QString::number(t.first), t.second);
    return out;
}

QJsonArray programJson(const QList<QPair<int, QJsonValue>>& steps) {
    QJsonArray out;
    for (const auto& s : steps)
        out.append(QJsonObject{{"disc", s.first}, {"track", s.second}});
    return out;
}

} // namespace

class TestOpsUpload : public QObject {
    Q_OBJECT
private slots:
    void offlineUploadIsReported() {
        ScriptedUi ui;
        Link link(ui);
        link.setOffline(true);
        QVERIFY(!UploadTitles(link, QStringLiteral("/nonexistent/DISC1.txt")));
        QCOMPARE(ui.texts("error"), QStringList{msg(362)});
        QCOMPARE(ui.shown.first().title, msg(363));
    }

    void uploadTitles_data() {
        QTest::addColumn<int>("disc");
        QTest::addColumn<QStringList>("titles"); // the file's disc title, then its track titles
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<int>("error");  // the message shown (its title the next one), 0 for none
        QTest::addColumn<int>("frames"); // the changer received, -1 for any
        QTest::addColumn<QString>("memoryTitle");
        QTest::addColumn<QJsonObject>("tracks"); // the changer's track titles, empty for any
        // Titles are cut to 25 characters and an empty track title is not sent.
        QTest::newRow("from a file")
            << 1
            << QStringList{"A Thirty Character Disc Title!", "First", "",
                           "Third track title that is long", "Four"}
            << "" << true << 0 << -1 << "A Thirty Character Disc T"
            << trackMap({{1, "First"}, {3, "Third track title that is"}, {4, "Four"}});
        // Title status request, title-input request, the disc title and tracks 1 to 20.
        QStringList titles{"Twenty-five"};
        QList<QPair<int, QString>> twenty;
        for (int t = 1; t <= 25; ++t) {
            titles << QStringLiteral("Track %1").arg(t);
            if (t <= 20)
                twenty.append({t, titles.last()});
        }
        QTest::newRow("stops at track 20")
            << 6 << titles << "" << true << 0 << 2 + 1 + 20 << "Twenty-five" << trackMap(twenty);
        // A refused title input is no failure; no title is sent.
        QTest::newRow("title input refused") << 3 << QStringList{"New Title", "Only"} << "" << false
                                             << 0 << 2 << "Locked" << QJsonObject();
        const QStringList four{"Saved", "t1", "t2", "t3", "t4"};
        QTest::newRow("title status refused")
            << 1 << four << "refuse data 1" << false << 313 << -1 << "Memory Disc" << QJsonObject();
        // Titles the changer accepted before the refusal stay stored.
        QTest::newRow("second track refused")
            << 1 << four << "refuse title 1 2" << false << 364 << -1 << "Saved" << QJsonObject();
    }

    void uploadTitles() {
        QFETCH(int, disc);
        QFETCH(QStringList, titles);
        QFETCH(QString, fault);
        QFETCH(bool, sent);
        QFETCH(int, error);
        QFETCH(int, frames);
        QFETCH(QString, memoryTitle);
        QFETCH(QJsonObject, tracks);
        OpsRig rig;
        QVERIFY(rig.start());
        const QString path = rig.dataPath(QStringLiteral("DISC%1.txt").arg(disc));
        QVERIFY(writeAll(path, discFile("00000000", disc, titles)));
        if (!fault.isEmpty())
            QVERIFY(rig.sim.ok("fault " + fault));
        const QJsonObject before = rig.simDisc(disc);
        const int framesBefore = rig.simFramesReceived();
        QCOMPARE(UploadTitles(rig.link, path), sent);
        QCOMPARE(rig.link.lastResult(), error == 0 ? kResultOk : kResultFailed);
        QCOMPARE(rig.ui.texts("error"), error == 0 ? QStringList() : QStringList{msg(error)});
        if (error != 0)
            QCOMPARE(rig.ui.shown.last().title, msg(error + 1));
        if (frames >= 0)
            QCOMPARE(rig.simFramesReceived() - framesBefore, frames);
        const QJsonObject after = rig.simDisc(disc);
        QCOMPARE(after.value("memoryTitle").toString(), memoryTitle);
        if (!tracks.isEmpty())
            QCOMPARE(after.value("memoryTracks").toObject(), tracks);
        // The frames carried the disc's user-file byte and music type back unchanged.
        QCOMPARE(after.value("userFileByte"), before.value("userFileByte"));
        QCOMPARE(after.value("musicType"), before.value("musicType"));
        QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
    }

    void uploadEditorTitles() {
        OpsRig rig;
        QVERIFY(rig.start());
        const EditorTitlesUpload titles{
            1, 1, 4, 14, 0x80, "Edited", {"a", "b", "* NO TITLE *", "d"}};
        const bool sent = holding(rig.link, [&] {
            return rig.link.ConfirmTitleInput(1) == 1 &&
                   UploadEditorTitles(rig.link, rig.config, rig.ui, titles);
        });
        QVERIFY(sent);
        const QJsonObject disc = rig.simDisc(1);
        QCOMPARE(disc.value("memoryTitle").toString(), QString("Edited"));
        QCOMPARE(disc.value("memoryTracks").toObject(), trackMap({{1, "a"}, {2, "b"}, {4, "d"}}));
        QCOMPARE(disc.value("userFileByte").toInt(), 0x80);
        QCOMPARE(disc.value("musicType").toInt(), 14);
        QCOMPARE(rig.ui.progressValues, (QList<int>{0, 1, 2, 3, 4}));
        QVERIFY(!rig.ui.progressOpen);
    }

    void userFileNames() {
        OpsRig rig;
        QVERIFY(rig.start());
        const QStringList boxes{"Jazz", "", "Rock Classics", "", "", "", "", "Z"};
        QCOMPARE(sendUserFileNames(rig.link, rig.config, rig.ui, boxes), UserFileNamesResult::Sent);
        // Each name went to the user file of its bit (1, 2, 4 ... 128); the file names the empty.
        QCOMPARE(rig.sim.dump().value("userFileNames").toArray(),
                 QJsonArray::fromStringList(boxes));
        QCOMPARE(readAll(rig.dataPath("ufn.txt")),
                 records({"Jazz", "USER FILE 2", "Rock Classics", "USER FILE 4", "USER FILE 5",
                          "USER FILE 6", "USER FILE 7", "Z"}));
        QCOMPARE(rig.ui.progressValues, (QList<int>{1, 1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));

        // A refused name leaves the changer's names and the file as they were.
        const QByteArray file = readAll(rig.dataPath("ufn.txt"));
        QVERIFY(rig.sim.ok("fault refuse title 1"));
        QCOMPARE(sendUserFileNames(rig.link, rig.config, rig.ui, {"New"}),
                 UserFileNamesResult::Failed);
        QCOMPARE(rig.ui.texts("error"), QStringList{msg(418)});
        QCOMPARE(rig.ui.shown.last().title, msg(417));
        QVERIFY(!rig.ui.progressOpen);
        QCOMPARE(readAll(rig.dataPath("ufn.txt")), file);
        QCOMPARE(rig.sim.dump().value("userFileNames").toArray().first().toString(),
                 QString("Jazz"));
    }

    void programList() {
        OpsRig rig;
        QVERIFY(rig.start());
        const QString path = rig.dataPath("temppgm.txt");
        // Steps of an older program must not survive a download of a shorter one.
        QVERIFY(writeAll(path, records({"[  9][  9]", "[  9][  9]", "[  9][  9]"})));
        QVERIFY(holding(rig.link, [&] { return ReadProgramList(rig.link, rig.config); }));
        QCOMPARE(readAll(path), records({"[  1][  3]", "[  2][ALL]"}));

        // Only the first n steps of the file go out.
        QVERIFY(programfile::write(path, {{7, 12}, {123, kWholeDiscTrack}, {2, 99}, {5, 1}}));
        QVERIFY(holding(rig.link, [&] { return UploadProgramList(rig.link, rig.config, 3); }));
        QCOMPARE(rig.sim.dump().value("program").toArray(),
                 programJson({{7, 12}, {123, QJsonValue("all")}, {2, 99}}));

        // The program panel's way: a staged one-step program is sent and read back.
        QVERIFY(stageProgram(rig.config, {{4, 2}}));
        QVERIFY(sendStagedProgram(rig.link, rig.config));
        QCOMPARE(rig.sim.dump().value("program").toArray(), programJson({{4, 2}}));
        QCOMPARE(readChangerProgram(rig.link, rig.config), (QList<ProgramStep>{{4, 2}}));

        // A refused program is the program set-up's to report; the changer keeps its own.
        QVERIFY(rig.sim.ok("fault refuse program"));
        QVERIFY(programfile::write(rig.dataPath("temppgm.txt"), {{4, 4}}));
        QVERIFY(!holding(rig.link, [&] { return UploadProgramList(rig.link, rig.config, 1); }));
        QCOMPARE(rig.link.lastResult(), kResultFailed);
        QVERIFY(rig.ui.shown.isEmpty());
        QCOMPARE(rig.sim.dump().value("program").toArray(), programJson({{4, 2}}));

        // A damaged working file is refused before anything is sent.
        QVERIFY(writeAll(rig.dataPath("temppgm.txt"), records({"[  4][  4]", "garbage"})));
        QString error;
        QVERIFY(
            !holding(rig.link, [&] { return UploadProgramList(rig.link, rig.config, 2, &error); }));
        QVERIFY(error.contains("Record 2"));

        // No steps clear the changer's program.
        QVERIFY(rig.sim.ok("fault clear"));
        QVERIFY(stageProgram(rig.config, {}));
        QVERIFY(sendStagedProgram(rig.link, rig.config));
        QCOMPARE(rig.sim.dump().value("program").toArray(), QJsonArray());
    }
};

QTEST_GUILESS_MAIN(TestOpsUpload)
#include "tst_opsupload.moc"
