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

QStringList discFile(int disc, int maxTno, const QString& title, const QStringList& tracks) {
    return QStringList{"DISC ID =",    "00000000", "DISC NO =",    QString::number(disc),
                       "MIN TNO =",    "1",        "MAX TNO =",    QString::number(maxTno),
                       "Disc Title =", title,      "Track Title ="} +
           tracks;
}

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
    void uploadTitlesFromFile();
    void uploadStopsAtTrackTwenty();
    void refusedTitleInputSendsNoTitle();
    void offlineUploadIsReported();
    void uploadFailures_data();
    void uploadFailures();
    void uploadEditorTitles();
    void userFileNames_data();
    void userFileNames();
    void userFileNamesRefused();
    void programListRoundTrip();
    void programListRefused();
};

void TestOpsUpload::uploadTitlesFromFile() {
    OpsRig rig;
    QVERIFY(rig.start());
    const QString path = rig.dataPath("DISC1.txt");
    QVERIFY(
        writeAll(path, crlf(discFile(1, 4, "A Thirty Character Disc Title!",
                                     {"First", "", "Third track title that is long", "Four"}))));
    QVERIFY(UploadTitles(rig.link, path));
    QCOMPARE(rig.link.lastResult(), kResultOk);
    QVERIFY(rig.ui.shown.isEmpty());
    const QJsonObject disc = rig.simDisc(1);
    QCOMPARE(disc.value("memoryTitle").toString(), QString("A Thirty Character Disc T"));
    QCOMPARE(disc.value("memoryTracks").toObject(),
             trackMap({{1, "First"}, {3, "Third track title that is"}, {4, "Four"}}));
    // The frames carried the disc's user-file byte and music type back unchanged.
    QCOMPARE(disc.value("userFileByte").toInt(), 5);
    QCOMPARE(disc.value("musicType").toInt(), 23);
    QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
}

void TestOpsUpload::uploadStopsAtTrackTwenty() {
    OpsRig rig;
    QVERIFY(rig.start());
    QStringList tracks;
    for (int t = 1; t <= 25; ++t)
        tracks << QStringLiteral("Track %1").arg(t);
    const QString path = rig.dataPath("DISC6.txt");
    QVERIFY(writeAll(path, crlf(discFile(6, 25, "Twenty-five", tracks))));
    const int before = rig.simFramesReceived();
    QVERIFY(UploadTitles(rig.link, path));
    // Title status request, title-input request, the disc title and tracks 1 to 20.
    QCOMPARE(rig.simFramesReceived() - before, 2 + 1 + 20);
    const QJsonObject disc = rig.simDisc(6);
    QCOMPARE(disc.value("memoryTracks").toObject().size(), 20);
    QCOMPARE(disc.value("memoryTracks").toObject().value("20").toString(), QString("Track 20"));
    QCOMPARE(disc.value("musicType").toInt(), 14);
}

void TestOpsUpload::refusedTitleInputSendsNoTitle() {
    OpsRig rig;
    QVERIFY(rig.start());
    const QString path = rig.dataPath("DISC3.txt");
    QVERIFY(writeAll(path, crlf(discFile(3, 1, "New Title", {"Only"}))));
    const int before = rig.simFramesReceived();
    QVERIFY(!UploadTitles(rig.link, path));
    QCOMPARE(rig.link.lastResult(), kResultOk); // a refusal, not a failure
    QVERIFY(rig.ui.shown.isEmpty());
    QCOMPARE(rig.simFramesReceived() - before, 2);
    QCOMPARE(rig.simDisc(3).value("memoryTitle").toString(), QString("Locked"));
}

void TestOpsUpload::offlineUploadIsReported() {
    ScriptedUi ui;
    Link link(ui);
    link.setOffline(true);
    QVERIFY(!UploadTitles(link, QStringLiteral("/nonexistent/DISC1.txt")));
    QCOMPARE(ui.texts("error"), QStringList{msg(362)});
    QCOMPARE(ui.shown.first().title, msg(363));
}

void TestOpsUpload::uploadFailures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("body");
    QTest::addColumn<int>("title");
    QTest::addColumn<QString>("memoryTitle");
    QTest::newRow("title status refused") << "refuse data 1" << 313 << 314 << "Memory Disc";
    QTest::newRow("disc title refused") << "refuse title 1" << 364 << 365 << "Memory Disc";
    // Titles the changer accepted before the refusal stay stored.
    QTest::newRow("second track refused") << "refuse title 1 2" << 364 << 365 << "Saved";
}

void TestOpsUpload::uploadFailures() {
    QFETCH(QString, fault);
    QFETCH(int, body);
    QFETCH(int, title);
    QFETCH(QString, memoryTitle);
    OpsRig rig;
    QVERIFY(rig.start());
    const QString path = rig.dataPath("DISC1.txt");
    QVERIFY(writeAll(path, crlf(discFile(1, 4, "Saved", {"t1", "t2", "t3", "t4"}))));
    QVERIFY(rig.sim.ok("fault " + fault));
    QVERIFY(!UploadTitles(rig.link, path));
    QCOMPARE(rig.link.lastResult(), kResultFailed);
    QCOMPARE(rig.ui.texts("error"), QStringList{msg(body)});
    QCOMPARE(rig.ui.shown.last().title, msg(title));
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), memoryTitle);
    QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
}

void TestOpsUpload::uploadEditorTitles() {
    OpsRig rig;
    QVERIFY(rig.start());
    EditorTitlesUpload titles;
    titles.disc = 1;
    titles.minTno = 1;
    titles.maxTno = 4;
    titles.musicType = 14;
    titles.userFileByte = 0x80;
    titles.discTitle = "Edited";
    titles.trackTitles = {"a", "b", "* NO TITLE *", "d"};
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

void TestOpsUpload::userFileNames_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("file");
    QTest::newRow("some names") << QStringList{"Jazz", "", "Rock Classics", "", "", "", "", "Z"}
                                << QStringList{"Jazz", "", "Rock Classics", "", "", "", "", "Z"}
                                << QStringList{
                                       "Jazz",        "USER FILE 2", "Rock Classics", "USER FILE 4",
                                       "USER FILE 5", "USER FILE 6", "USER FILE 7",   "Z"};
    QTest::newRow("all empty") << QStringList(8, QString()) << QStringList(8, QString())
                               << QStringList{"USER FILE 1", "USER FILE 2", "USER FILE 3",
                                              "USER FILE 4", "USER FILE 5", "USER FILE 6",
                                              "USER FILE 7", "USER FILE 8"};
}

void TestOpsUpload::userFileNames() {
    QFETCH(QStringList, boxes);
    QFETCH(QStringList, stored);
    QFETCH(QStringList, file);
    OpsRig rig;
    QVERIFY(rig.start());
    QCOMPARE(sendUserFileNames(rig.link, rig.config, rig.ui, boxes), UserFileNamesResult::Sent);
    // Each name went to the user file of its bit (1, 2, 4 ... 128).
    QCOMPARE(rig.sim.dump().value("userFileNames").toArray(), QJsonArray::fromStringList(stored));
    QCOMPARE(readAll(rig.dataPath("ufn.txt")), records(file));
    QCOMPARE(rig.ui.progressValues, (QList<int>{1, 1, 2, 3, 4, 5, 6, 7, 8}));
    QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
}

void TestOpsUpload::userFileNamesRefused() {
    OpsRig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.sim.ok("fault refuse title 1"));
    QVERIFY(writeAll(rig.dataPath("ufn.txt"), records({"Old"})));
    QCOMPARE(sendUserFileNames(rig.link, rig.config, rig.ui, {"New"}), UserFileNamesResult::Failed);
    QCOMPARE(rig.ui.texts("error"), QStringList{msg(418)});
    QCOMPARE(rig.ui.shown.last().title, msg(417));
    QVERIFY(!rig.ui.progressOpen);
    QCOMPARE(readAll(rig.dataPath("ufn.txt")), records({"Old"}));
    QCOMPARE(rig.sim.dump().value("userFileNames").toArray().first().toString(),
             QString("Road Trip"));
}

void TestOpsUpload::programListRoundTrip() {
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

    // No steps clear the changer's program.
    QVERIFY(stageProgram(rig.config, {}));
    QVERIFY(sendStagedProgram(rig.link, rig.config));
    QCOMPARE(rig.sim.dump().value("program").toArray(), QJsonArray());
}

void TestOpsUpload::programListRefused() {
    OpsRig rig;
    QVERIFY(rig.start());
    QVERIFY(rig.sim.ok("fault refuse program"));
    QVERIFY(programfile::write(rig.dataPath("temppgm.txt"), {{4, 4}}));
    QVERIFY(!holding(rig.link, [&] { return UploadProgramList(rig.link, rig.config, 1); }));
    QCOMPARE(rig.link.lastResult(), kResultFailed);
    QVERIFY(rig.ui.shown.isEmpty()); // the program set-up reports it
    QCOMPARE(rig.sim.dump().value("program").toArray().size(), 2);

    // A damaged working file is refused before anything is sent.
    QVERIFY(writeAll(rig.dataPath("temppgm.txt"), records({"[  4][  4]", "garbage"})));
    QString error;
    QVERIFY(!holding(rig.link, [&] { return UploadProgramList(rig.link, rig.config, 2, &error); }));
    QVERIFY(error.contains("Record 2"));
}

QTEST_GUILESS_MAIN(TestOpsUpload)
#include "tst_opsupload.moc"
