// Text downloads against changer-sim: disc titles of every slot, one disc's titles (memory
// titles and CD TEXT in continuation pieces), user-file names, the start-up read with its
// conversion into the disc list, and the CD TEXT download into tempcdt.txt.

#include "tst_opsfixture.h"

#include "common/ptypeer.h"

#include "base/catalogue.h"
#include "operations/playingdisc.h"
#include "operations/startupread.h"
#include "operations/textdownload.h"
#include "store/disclist.h"
#include "store/storefiles.h"

using namespace tf;
using namespace tf::test;

namespace {

const QString kCdTextTitle =
    QString::fromUtf8("Hélène Marchetti / Chansons pour une ville endormie");
// Track 2 holds a DEL on the disc: a blank in memory titles, "?" in the CD TEXT file.
const QStringList kCdTextTracks{QString::fromUtf8("Le café des après-midi perdus"),
                                QString::fromUtf8("R é"),
                                QString::fromUtf8("Señor Núñez et son accordéon, intégrale")};

// What the library's slots answer for their disc titles: title, user-file byte, music type.
struct SlotTruth {
    QString title;
    int userFiles;
    int musicType;
};
SlotTruth slotTruth(int slot) {
    static const QHash<int, SlotTruth> known{{1, {"Memory Disc", 5, 23}},
                                             {2, {kCdTextTitle, 2, 28}},
                                             {3, {"Locked", 0, 5}},
                                             {6, {"* NO TITLE *", 0, 14}}};
    return known.value(slot, {"* NO DISC *", 0, 0});
}

// A changer played byte by byte: it answers the text request of disc 9 with the disc title,
// then a text-less "no title" frame whose entry flag is 2 (nothing follows, or, for CD TEXT,
// the disc is not standard), and acknowledges the PC's EOT.
struct LastItemChanger {
    PtyPeer peer;
    int framesSent = 0;
    LastItemChanger() {
        peer.onUnit = [this](const QByteArray& u) {
            const bool control = u.size() == 1;
            if (control && quint8(u.at(0)) == kEnq) {
                peer.write(QByteArray(1, char(kAck)));
            } else if (!control && quint8(u.at(1)) == kCmdDataRequest) {
                peer.write(QByteArray(1, char(kAck)));
                peer.write(buildFrame(kReplyTrackText, QByteArray("\x09\x00\x00\x00\x01\x00\x00\x01"
                                                                  "Disc",
                                                                  12)));
                framesSent = 1;
            } else if (control && quint8(u.at(0)) == kAck && framesSent == 1) {
                peer.write(buildFrame(kReplyTrackText,
                                      QByteArray("\x09\x00\x01\x00\x01\x00\x00\x02\x01", 9)));
                framesSent = 2;
            } else if (control && quint8(u.at(0)) == kEot) {
                peer.write(QByteArray(1, char(kAck)));
            }
        };
    }
    // The PC ended the exchange itself right after the second frame.
    bool pcEndedAfterMark() const {
        return peer.received.size() >= 2 && peer.received.last() == QByteArray(1, char(kEot)) &&
               peer.count(kAck) == 1;
    }
};

} // namespace

class TestOpsDownload : public QObject {
    Q_OBJECT
private slots:
    void oneDiscTitles_data() {
        QTest::addColumn<QStringList>("simOptions");
        QTest::addColumn<int>("disc");
        // The disc's title, then one for each track up to the last.
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("memory titles")
            << QStringList() << 1
            << QStringList{"Memory Disc", "One", "* NO TITLE *", "Three", "* NO TITLE *"};
        // CD TEXT arrives in pieces of at most 10 characters, joined again without a separator.
        QTest::newRow("CD TEXT in pieces")
            << QStringList{"--piece", "10"} << 2 << QStringList{kCdTextTitle} + kCdTextTracks;
        QTest::newRow("empty slot") << QStringList() << 4 << QStringList{"* NO DISC *", ""};
    }

    void oneDiscTitles() {
        QFETCH(QStringList, simOptions);
        QFETCH(int, disc);
        QFETCH(QStringList, titles);
        const int highest = int(titles.size()) - 1;
        OpsRig rig;
        QVERIFY(rig.start(simOptions));
        QVERIFY(holding(rig.link, [&] {
            return downloadEditorTitles(rig.link, rig.config, rig.ui, disc, highest, 0, 0);
        }));
        // An empty slot has its disc title and nothing more.
        QStringList expected;
        const SlotTruth truth = slotTruth(disc);
        for (int t = 0; t <= highest && !titles.at(t).isEmpty(); ++t)
            expected += titleRecord(disc, t, titles.at(t), truth.userFiles, truth.musicType);
        QCOMPARE(readAll(rig.programPath(storefiles::kOneDisc)), crlf(expected));
        QCOMPARE(rig.ui.lastProgress.info, msg(321));
        QCOMPARE(rig.ui.lastProgress.maximum, highest);
        QCOMPARE(rig.ui.progressValues.last(), expected.size() / 5 - 1);
    }

    void downloadWithoutText_data() {
        QTest::addColumn<bool>("userFiles");
        QTest::addColumn<int>("message");
        QTest::newRow("titles") << false << 313;
        QTest::newRow("user-file names") << true << 323;
    }

    void downloadWithoutText() {
        QFETCH(bool, userFiles);
        QFETCH(int, message);
        OpsRig rig;
        // The changer accepts the request and then ends the exchange without a single frame.
        QVERIFY(rig.start());
        QVERIFY(rig.sim.ok("fault refuse reply"));
        const QString destination =
            userFiles ? rig.dataPath("ufn.txt") : rig.programPath(storefiles::kOneDisc);
        QVERIFY(writeAll(destination, "previous content"));

        const bool ok = holding(rig.link, [&] {
            return userFiles ? downloadUserFileNames(rig.link, rig.config, rig.ui)
                             : downloadEditorTitles(rig.link, rig.config, rig.ui, 1, 4, 5, 23);
        });
        QVERIFY(!ok);
        QCOMPARE(rig.link.lastResult(), kResultFailed);
        QCOMPARE(rig.ui.texts("error"), QStringList{msg(message)});
        QCOMPARE(rig.ui.shown.last().title, msg(319));
        QCOMPARE(readAll(destination), QByteArray("previous content"));
        QVERIFY(!QFile::exists(rig.programPath(storefiles::kTitleRecords)));
        QVERIFY(!rig.ui.progressOpen);
    }

    void startUpReadBuildsDiscList_data() {
        QTest::addColumn<bool>("discInPlayer"); // disc 1, as the library has it, or none
        QTest::newRow("disc 1 in the player") << true;
        QTest::newRow("no disc in the player") << false;
    }

    void startUpReadBuildsDiscList() {
        QFETCH(bool, discInPlayer);
        QTemporaryDir dir;
        const QString library = dir.filePath("library.json");
        QVERIFY(writeAll(library, discInPlayer ? readAll(opsLibrary())
                                               : readAll(opsLibrary())
                                                     .replace("\"disc\": 1, \"track\": 1,",
                                                              "\"disc\": 0, \"track\": 0,")));
        OpsRig rig;
        QVERIFY(rig.start({}, library));
        // A per-disc file's disc title wins over the changer's memory title.
        QVERIFY(writeAll(rig.dataPath("DISC3.txt"),
                         discFile("0102030a", 3, {"My Locked Disc", "Only"})));
        const StartUpReadResult result = startUpRead(rig.link, rig.config, rig.ui);
        QVERIFY(result.discListBuilt);
        QVERIFY(result.userFileNamesRead);
        QVERIFY(result.error.isEmpty());

        QStringList expected;
        for (int slot = 1; slot <= 200; ++slot) {
            const SlotTruth t = slotTruth(slot);
            const QString title = slot == 3 ? QStringLiteral("My Locked Disc") : t.title;
            // Only the disc in the player gets its real track range.
            expected << QStringLiteral("[%1] ").arg(slot, 3) + title << QString::number(t.userFiles)
                     << QString::number(t.musicType) << "1"
                     << (slot == 1 && discInPlayer ? "4" : "1");
        }
        QCOMPARE(readAll(rig.dataPath("tempdisc.txt")), crlf(expected));
        QVERIFY(!QFile::exists(rig.programPath(storefiles::kAllDiscs)));
        QVERIFY(!QFile::exists(rig.programPath(storefiles::kTitleRecords)));
        // The first progress bar follows the disc numbers up to the slot count.
        QCOMPARE(rig.ui.shown.first().number, 200);
        QCOMPARE(rig.ui.progressValues.at(200), 200);
        QCOMPARE(readAll(rig.dataPath("ufn.txt")),
                 records({"Road Trip", "USER FILE 2", "Party Mix", "USER FILE 4", "USER FILE 5",
                          "USER FILE 6", "USER FILE 7", "USER FILE 8"}));
        QCOMPARE(rig.link.linkBusy(), qint16(kLinkIdle));
        QCOMPARE(rig.ui.texts("error"), QStringList());
    }

    void startUpReadFailureFillsSlots() {
        OpsRig rig;
        QVERIFY(rig.start({"--fault", "refuse data"}));
        QVERIFY(writeAll(rig.dataPath("tempdisc.txt"),
                         crlf({"[  2] Kept Title", "2", "28", "1", "1"})));
        const StartUpReadResult result = startUpRead(rig.link, rig.config, rig.ui);
        QVERIFY(!result.discListBuilt);
        QVERIFY(!result.userFileNamesRead);
        QCOMPARE(rig.ui.texts("error"), QStringList{msg(313)});

        // Every slot but the one the old list knew is unknown, its range open.
        QStringList expected;
        for (int slot = 1; slot <= 200; ++slot)
            expected += slot == 2 ? QStringList{"[  2] Kept Title", "2", "28", "1", "99"}
                                  : QStringList{QStringLiteral("[%1] Unknown DISC").arg(slot, 3),
                                                "0", "0", "1", "99"};
        QCOMPARE(readAll(rig.dataPath("tempdisc.txt")), crlf(expected));
    }

    void cdTextDownload() {
        OpsRig rig;
        QVERIFY(rig.start({"--piece", "7"}));
        DiscIdentity identity;
        identity.disc = 2;
        const QString idText = cddbIdText({"00:02:00", "04:02:00", "07:02:17", "12:02:00"});
        identity.id = *parseDiscIdText(idText);
        const CdTextResult result =
            holding(rig.link, [&] { return DownloadCdText(rig.link, rig.config, identity, 1, 3); });
        QCOMPARE(result, CdTextResult::Usable);
        QCOMPARE(rig.link.lastResult(), kResultOk);
        // Codes of 127 or more (the accented letters) are stored as "?".
        QCOMPARE(readAll(rig.programPath("tempcdt.txt")),
                 discFile(idText, 2,
                          {"H?l?ne Marchetti / Chansons pour une ville endormie",
                           "Le caf? des apr?s-midi perdus", "R??",
                           "Se?or N??ez et son accord?on, int?grale"}));
        QVERIFY(rig.ui.texts("progress").isEmpty());
        QVERIFY(rig.ui.texts("error").isEmpty());
    }

    // The changer's "nothing follows" mark ends an audio-title download and, in a CD TEXT
    // download, says the disc is not standard; either way the PC ends the exchange itself.
    void lastItemMark() {
        LastItemChanger changer;
        QTemporaryDir dir;
        ScriptedUi ui;
        Configuration config(dir.path());
        Link link(ui);
        link.setTimings(opsTimings());
        QCOMPARE(link.openDevice(changer.peer.slavePath()), 0);
        QVERIFY(holding(link, [&] { return downloadAudioTitles(link, config, ui, 9, 3); }));
        QVERIFY(changer.pcEndedAfterMark());
        // The mark's track and every later one up to the last get a "no title" record.
        QStringList expected = titleRecord(9, 0, "Disc", 0, 0);
        for (int t = 1; t <= 3; ++t)
            expected += titleRecord(9, t, "* NO TITLE *", 0, 0);
        QCOMPARE(readAll(config.programPath("audiotmp.txt")), crlf(expected));
        QVERIFY(ui.texts("error").isEmpty());

        changer.peer.received.clear();
        const DiscIdentity identity{9, {0x0a, 0x0b, 0x0c, 0x0d}};
        QCOMPARE(holding(link, [&] { return DownloadCdText(link, config, identity, 1, 2); }),
                 CdTextResult::NotStandard);
        QVERIFY(changer.pcEndedAfterMark());
        QCOMPARE(ui.texts("error"), QStringList{msg(458)});
        QCOMPARE(readAll(config.programPath("tempcdt.txt")),
                 discFile("0a0b0c0d", 9, {"Disc", "", ""}));
    }

    // Without a file or lookup for the disc, the audio tab lists what the changer stores: 20 tracks
    // at most, the rest without a title (the program set-up's list is tst_audiotab's).
    void playingDiscTitlesFromTheChanger() {
        OpsRig rig;
        rig.config.settings.noWebSearch = 1;
        QVERIFY(rig.start());
        const auto six = readPlayingDisc(rig.link, 6);
        QVERIFY(six);
        const PlayingDiscTitles fromChanger = findPlayingDiscTitles(rig.ctx, *six);
        QCOMPARE(fromChanger.source, TitleSource::Changer);
        QCOMPARE(fromChanger.titles.tracks.size(), 25);
        QCOMPARE(fromChanger.titles.tracks.at(20).number, 21);
        QCOMPARE(fromChanger.titles.tracks.at(24).title, msg(msgid::AudioTrackWithoutTitle));
        QVERIFY(!QFile::exists(rig.programPath(storefiles::kAudioTitles)));

        const auto one = readPlayingDisc(rig.link, 1);
        QVERIFY(one);
        const PlayingDiscTitles memory = findPlayingDiscTitles(rig.ctx, *one);
        QCOMPARE(memory.source, TitleSource::Changer);
        QCOMPARE(memory.titles.discTitle.value_or(QString()), QStringLiteral("Memory Disc"));
        QCOMPARE(memory.titles.tracks.at(2).title, QStringLiteral("Three"));
        QVERIFY(rig.ui.texts("message").isEmpty()); // the settings rule out asking about a lookup
        QVERIFY(rig.ui.texts("error").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestOpsDownload)
#include "tst_opsdownload.moc"
