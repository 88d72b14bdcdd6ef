// The title editor's load, reload and save, headless, against changer-sim: what each returns
// for the editor to show, and what each leaves in the library and in the changer.

#include "tst_opsfixture.h"

#include "base/catalogue.h"
#include "operations/titleflows.h"
#include "store/discdata.h"
#include "store/discfile.h"
#include "store/storefiles.h"

#include <QFile>

using namespace tf;
using namespace tf::test;

class TestTitleFlows : public QObject {
    Q_OBJECT
private slots:
    void loadSaveReload();
    void memoryTitlesOfAFileCutShort();
    void loadFromThePcFilesAlone_data();
    void loadFromThePcFilesAlone();
};

namespace {

TitlesToSave editedTitles(const LoadedDisc& d, const QString& fullTitle,
                          const QString& memoryTitle) {
    return {d.disc,         d.identity,
            d.minTno,       d.maxTno,
            d.userFileByte, d.musicType,
            fullTitle,      {"First", "Second", "Third", "Fourth"},
            memoryTitle,    {"m1", "m2", "m3", "m4"}};
}

} // namespace

// Load, save and reload against the changer, as the title editor runs them in turn; what the
// editor then shows of the disc in the player is tst_titles's.
void TestTitleFlows::loadSaveReload() {
    OpsRig rig;
    rig.config.settings.noWebSearch = 1; // never asked about an online lookup
    QVERIFY(rig.start());
    // A disc not in the player tells too little without a library: its values are read, the
    // user is told, and the player keeps its disc.
    const LoadedDisc other = loadDisc(rig.ctx, 6);
    QCOMPARE(other.status, LoadedDisc::Status::Loaded);
    QCOMPARE(int(other.musicType), 14);
    QCOMPARE(rig.ui.texts("message"),
             QStringList{msg(msgid::NotEnoughDiscInfo) + '\r' + msg(msgid::ReselectDisc)});
    QVERIFY(!QFile::exists(rig.dataPath(storefiles::kDiscData)));
    QCOMPARE(rig.sim.dump().value("play").toObject().value("disc").toInt(), 1);
    rig.ui.shown.clear();

    // The table the disc in the player reported is now its master block.
    const LoadedDisc first = loadDisc(rig.ctx, 1);
    QCOMPARE(first.status, LoadedDisc::Status::Loaded);
    QCOMPARE(first.lastTrack, 4);
    const auto block = discdata::readBlock(rig.dataPath(storefiles::kDiscData), 1);
    QVERIFY(block);
    QCOMPARE(block->identity.id, first.identity.id);
    QCOMPARE(block->toc, first.toc);

    // A new file is written without asking; loaded again, the disc shows it.
    QVERIFY(saveTitles(rig.ctx, editedTitles(first, "Some Artist / A Longer Title", "Short")));
    QVERIFY(rig.ui.texts("message").isEmpty());
    const LoadedDisc again = loadDisc(rig.ctx, 1);
    QCOMPARE(again.pcFileName, discfile::fileName(1));
    QCOMPARE(again.pcDiscTitle.value_or(QString()), QStringLiteral("Some Artist / A Longer Title"));
    QCOMPARE(again.pcTrackTitles.mid(0, 4), (QStringList{"First", "Second", "Third", "Fourth"}));
    QCOMPARE(again.memory->discTitle.value_or(QString()), QStringLiteral("Short"));

    // Declining to replace the PC file still stores the titles in the changer.
    const QByteArray file = readAll(rig.dataPath(discfile::fileName(1)));
    rig.ui.answers = {UserInterface::Answer::No};
    QVERIFY(saveTitles(rig.ctx, editedTitles(again, "Not written", "Second Save")));
    QCOMPARE(rig.ui.texts("message"), QStringList{msg(msgid::UpdateDataQuestion)});
    QCOMPARE(readAll(rig.dataPath(discfile::fileName(1))), file);
    QCOMPARE(rig.simDisc(1).value("memoryTitle").toString(), QStringLiteral("Second Save"));

    // A reload puts the disc into the player; with no lookup to run (web search off), the file
    // already there is shown.
    QVERIFY(writeAll(rig.dataPath("DISC6.txt"),
                     crlf({"DISC ID =", "00000000", "DISC NO =", "6", "MIN TNO =", "1",
                           "MAX TNO =", "25", "Disc Title =", "Kept", "Track Title =", "K1"})));
    const LoadedDisc reloaded = reloadDisc(rig.ctx, 6);
    QCOMPARE(reloaded.status, LoadedDisc::Status::Loaded);
    QCOMPARE(reloaded.pcDiscTitle.value_or(QString()), QStringLiteral("Kept"));
    QCOMPARE(rig.sim.dump().value("play").toObject().value("disc").toInt(), 6);
    QCOMPARE(reloaded.lastTrack, 25);
    QCOMPARE(
        discdata::readBlock(rig.dataPath(storefiles::kDiscData), 6).value_or(DiscRecord{}).maxTno,
        25);
    QVERIFY(rig.ui.texts("error").isEmpty());
}

// A download cut short after a title line still yields that title; a record out of order is
// passed over. Records count from the disc title on, and a title line is never taken for a key.
void TestTitleFlows::memoryTitlesOfAFileCutShort() {
    const auto titles = memorytitles::fromRecords(
        {"##5", "#0", "Disc", "0", "0", "##5", "#1", "One", "0", "0", "##5", "#2", "Two"});
    QCOMPARE(titles.discTitle.value_or(QString()), QStringLiteral("Disc"));
    QCOMPARE(titles.trackTitles,
             (QMap<int, QString>{{1, QStringLiteral("One")}, {2, QStringLiteral("Two")}}));
    const auto skipped = memorytitles::fromRecords({"#0", "Disc", "#2", "Two", "#1", "One"});
    QCOMPARE(skipped.trackTitles, (QMap<int, QString>{{1, QStringLiteral("One")}}));
    const auto keyLike =
        memorytitles::fromRecords({"##4", "#0", "#1", "0", "0", "##4", "#1", "#2", "0", "0"});
    QCOMPARE(keyLike.discTitle.value_or(QString()), QStringLiteral("#1"));
    QCOMPARE(keyLike.trackTitles, (QMap<int, QString>{{1, QStringLiteral("#2")}}));
    QVERIFY(!memorytitles::fromRecords({"##4", "#0"}).discTitle); // key on the last line
}

// Without a changer the load takes what the PC's files know of slot 5 (identifier 001aff07,
// three tracks in its master block): which file the titles come from, and what is parked.
void TestTitleFlows::loadFromThePcFilesAlone_data() {
    QTest::addColumn<bool>("block");       // slot 5 has a master block
    QTest::addColumn<QString>("file");     // the file that is there: DISC5.txt or DISC5.tmp
    QTest::addColumn<QByteArray>("bytes"); // its content
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QString>("title"); // the PC disc title shown
    QTest::addColumn<int>("lastTrack"); // the file's range, or else the block's
    auto texts = [](int first, int second) {
        return msg(first) + '\r' + msg(second);
    };
    QTest::newRow("own file") << true << "DISC5.txt" << discFile("001aff07", 5, {"Own", "O1"})
                              << QStringList() << "Own" << 1;
    // The slot's file is another disc's, and this disc's titles are parked: the other disc's
    // file is parked first, so both sets survive.
    QTest::newRow("file of another disc")
        << true << "DISC5.txt" << discFile("8a0b3c0d", 5, {"Other", "X"}) << QStringList()
        << "Parked" << 1;
    // Titles saved before the disc's identifier was known take it, and the block's range.
    QTest::newRow("scratch file") << true << "DISC5.tmp" << discFile("00000000", 5, {"Early", "E1"})
                                  << QStringList() << "Early" << 3;
    QTest::newRow("no file: warned, web search offered")
        << true << "" << QByteArray()
        << QStringList{texts(msgid::TitlesMayBelongToOtherDisc, msgid::ReloadDiscAdvice),
                       texts(msgid::NoFile, msgid::SearchInternetQuestion)}
        << "" << 3;
    QTest::newRow("no master block")
        << false << "" << QByteArray()
        << QStringList{texts(msgid::SlotEmptyOrUnreadable, msgid::ReselectDisc)} << "" << 1;
}

void TestTitleFlows::loadFromThePcFilesAlone() {
    QFETCH(bool, block);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, told);
    QFETCH(QString, title);
    QFETCH(int, lastTrack);
    OpsRig rig; // never started: no changer
    const QString dataDir = rig.config.settings.dataDir;
    QVERIFY(QDir().mkpath(dataDir));
    DiscRecord disc;
    disc.identity = {quint8(block ? 5 : 6), {0x00, 0x1A, 0xFF, 0x07}};
    disc.minTno = 1;
    disc.maxTno = 3;
    QVERIFY(discdata::replaceBlock(dataDir, disc));
    if (!file.isEmpty())
        QVERIFY(writeAll(rig.dataPath(file), bytes));
    const bool otherDisc = bytes.contains("8a0b3c0d");
    if (otherDisc)
        QVERIFY(writeAll(rig.dataPath("t001aff07._xt"), discFile("001aff07", 5, {"Parked", "P1"})));
    rig.ui.answers = {UserInterface::Answer::Ok, UserInterface::Answer::Yes};

    const LoadedDisc loaded = loadDisc(rig.ctx, 5);
    QCOMPARE(loaded.status, LoadedDisc::Status::Loaded);
    QCOMPARE(rig.ui.texts("message"), told);
    QCOMPARE(loaded.pcDiscTitle.value_or(QString()), title);
    QCOMPARE(loaded.lastTrack, lastTrack);
    QVERIFY(!QFile::exists(rig.dataPath("DISC5.tmp")));
    QVERIFY(!QFile::exists(rig.dataPath("t001aff07._xt")));
    if (loaded.fromPcFile())
        QVERIFY(readAll(rig.dataPath("DISC5.txt")).startsWith("DISC ID =\r\n001aff07\r\n"));
    QCOMPARE(readAll(rig.dataPath("t8a0b3c0d._xt")).contains("\r\nX\r\n"), otherDisc);
}

QTEST_GUILESS_MAIN(TestTitleFlows)
#include "tst_titleflows.moc"
