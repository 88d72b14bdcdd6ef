// The audio tab against the changer simulator over a real pseudo-terminal, driven through
// its controls by objectName: what it shows, what it enables and that its keys and panels
// reach the changer.

#include "base/catalogue.h"
#include "common/linkhelpers.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "model/discid.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "playback/widgets/programpanel.h"
#include "playback/widgets/transportpanel.h"
#include "store/config.h"
#include "store/userfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tf;
using test::crlf;
using test::ScriptedUi;
using test::SimProcess;

namespace {

// Disc 1: three tracks (genre 2, user file 1); disc 2: five tracks (genre 14, user file 3);
// disc 12: four tracks (genre 23, no user file); disc 30: 22 tracks.
const char kLibrary[] = R"({
  "userFileNames": ["Road Trip", "", "Focus"],
  "play": {"disc": 1, "track": 1, "state": "stopped", "playMode": 0, "repeat": false},
  "discs": [
    {"slot": 1, "toc": ["00:02:00", "03:00:00", "06:00:00", "09:00:00"],
     "memory": {"title": "One", "tracks": ["A", "B", "C"]}, "userFiles": [1], "musicType": 2},
    {"slot": 2, "toc": ["00:02:00", "02:00:00", "04:00:00", "06:00:00", "08:00:00", "10:00:00"],
     "userFiles": [3], "musicType": 14},
    {"slot": 12, "toc": ["00:02:00", "04:10:20", "08:20:40", "12:30:60", "16:40:00"],
     "musicType": 23},
    {"slot": 30, "lengths": ["1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00",
                             "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00", "1:00",
                             "1:00", "1:00", "1:00", "1:00", "1:00", "1:00"]}
  ]
})";

struct Bench {
    QTemporaryDir dir;
    ScriptedUi ui;
    Configuration config{dir.path()};
    NullLookupService lookup;
    Link link{ui};
    AppContext ctx{link, config, ui, lookup};
    InfoLines lines{link};
    std::unique_ptr<AudioTab> tab;
    SimProcess sim;

    bool up() {
        config.settings.dataDir = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(config.settings.dataDir);
        test::writeAll(dir.filePath("lib.json"), kLibrary);
        // The disc list as the start-up conversion leaves it.
        test::writeAll(config.dataPath("tempdisc.txt"),
                       crlf({"[  1] One",          "1", "2",  "1", "3",
                             "[  2] Unknown DISC", "4", "14", "1", "5",
                             "[ 12] Unknown DISC", "0", "23", "1", "4",
                             "[ 30] Unknown DISC", "0", "0",  "1", "22"}));
        userfiles::write(config.dataPath("ufn.txt"),
                         {"Road Trip", "", "Focus", "", "", "", "", ""});
        tab = std::make_unique<AudioTab>(ctx, lines);
        tab->show(); // as the window's page
        lines.setAudioLabels(tab->infoLabel(), tab->playInfoLabel());
        lines.setSelectedTab([] { return StatusMessenger::kAudioTab; });
        lines.setAudioSelection([this] { return tab->selectedDisc(); },
                                [this] { return tab->selectedTrack(); });
        QObject::connect(&link, &Link::modeReaction, tab.get(), [this] {
            link.holdStatus(false);
            tab->PrepareAudioTab();
        });
        LinkTimings timings = test::shortTimings(1000);
        timings.reconnectMs = 300;
        link.setTimings(timings);
        if (!sim.start(dir.filePath("lib.json"), {"--load-ms", "50", "--log"}))
            return false;
        if (link.openDevice(sim.portPath()) != 0)
            return false;
        // As at start-up: no status display until the first mode report.
        link.holdStatus(true);
        link.RS232C_Changer_INIT();
        LinkTestAccess::setLinkEstablished(link, link.linkState() == kLinkUp);
        if (!link.linkEstablished())
            return false;
        return QTest::qWaitFor([&] {
            // Disc 1's memory titles listed: the first rendering is complete.
            return tab->isPrepared() && link.playValues().TocReadyDisc == 1 &&
                   box("txtDISC")->text() == "1" && find<QComboBox>("cmbTTTL")->count() == 3 &&
                   link.linkBusy() == kLinkIdle && !link.commandInProgress();
        });
    }

    template <typename T = QWidget> T* find(const char* name) {
        return tab->findChild<T*>(QLatin1String(name));
    }
    QPushButton* button(const char* name) { return find<QPushButton>(name); }
    QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    QListWidget* list(const char* name) { return find<QListWidget>(name); }
    QString info() { return tab->infoLabel()->text(); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // How many requests of a kind ("0a" keys, "0b" disc choices) the simulator received.
    int received(const char* kind) {
        return int(
            QString::fromLatin1(sim.errorOutput()).count(QStringLiteral("rx frame ") + kind));
    }
    QJsonObject play() { return sim.dump().value("play").toObject(); }
    bool idle() {
        return QTest::qWaitFor(
            [&] { return link.linkBusy() == kLinkIdle && !link.commandInProgress(); });
    }
};

} // namespace

class TestAudioTab : public QObject {
    Q_OBJECT
private slots:
    // While a title download holds the link no key sends anything. A continue key let go
    // while its press is still on its way sends the release all the same (a held key:
    // tst_program). Each transport key announces what it is about to do, and the changer does it.
    void transportAndContinueKeys() {
        Bench b;
        QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
        const int before = b.received("0a");
        QPushButton* key = nullptr;
        for (QPushButton* k : b.tab->findChildren<QPushButton*>("cmdContinueKEY"))
            key = k->property("index").toInt() == 3 ? k : key;
        const QString shown = b.info();
        {
            const LinkHold download(b.link, kLinkStore);
            QTest::mouseClick(key, Qt::LeftButton);
            QCOMPARE(b.tab->transport()->continueKeyState(), 0);
            b.click("cmdPlay");
        }
        QCOMPARE(b.info(), shown);
        QTimer::singleShot(0, key, [key] { QTest::mouseRelease(key, Qt::LeftButton); });
        QTest::mousePress(key, Qt::LeftButton);
        QTRY_COMPARE(b.tab->transport()->continueKeyState(), 0);
        QTRY_COMPARE(b.received("0a"), before + 2);
        QVERIFY(b.idle());
        QCOMPARE(b.received("0a"), before + 2); // nothing from the presses on the busy link

        const struct {
            const char* button;
            const char* text;
            int state; // the state the changer reports afterwards
        } steps[] = {{"cmdPlay", "Music is playing.", 0x70},
                     {"cmdPlay", "Music is paused.", 0x80},
                     {"cmdPlay", "Music is playing.", 0x70},
                     {"cmdStop", "Music is stopped.", 0x40}};
        for (const auto& step : steps) {
            QVERIFY(b.idle());
            b.click(step.button);
            QCOMPARE(b.info(), QString(step.text));
            QTRY_COMPARE(b.link.playValues().PlayStateCode, qint16(step.state));
        }
        // While the changer searches, the key pauses.
        QVERIFY(b.idle());
        LinkTestAccess::play(b.link).PlayStateCode = 0x60;
        b.click("cmdPlay");
        QCOMPARE(b.info(), QStringLiteral("Music is paused."));
        QVERIFY(b.ui.texts("error").isEmpty());
    }

    // The play-mode panels. The program panel: its track lists, the limit and numbering of its
    // steps, editing only while stopped, a program of one step sent as that step, and Clear in
    // program mode. Music-type play, refused and then set from the genres of the disc list, and
    // user-file play set from the marked files; each cleared again.
    void playModePanels() {
        Bench b;
        QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
        b.click("cmdPGMPlay");
        QVERIFY(b.find("picPgmSetting")->isVisibleTo(b.tab.get()));
        QCOMPARE(b.info(), QStringLiteral("You will set the program."));
        QVERIFY(!b.button("cmdPGSClear")->isEnabled());
        QListWidget* tracks = b.list("lstPGSTNO");
        QListWidget* pgm = b.list("lstPGSPGM");
        QPushButton* add = b.button("cmdPGSADD");
        QCOMPARE(pgm->count(), 0);

        // No disc file: the changer's track range and its stored titles. It stores titles for
        // 20 tracks; the tracks past them are listed all the same.
        b.list("lstPGSDNO")->setCurrentRow(3);
        QVERIFY(b.idle());
        QCOMPARE(tracks->count(), 23);
        QCOMPARE(tracks->item(0)->text(), QStringLiteral("[ALL]"));
        QCOMPARE(tracks->item(20)->text(), QStringLiteral("[ 20] * NO TITLE *"));
        QCOMPARE(tracks->item(21)->text(), QStringLiteral("[ 21] * Can't Memory *"));

        for (int i = 0; i < 32; ++i) {
            tracks->setCurrentRow(i % tracks->count());
            QTest::mouseClick(add, Qt::LeftButton);
        }
        QCOMPARE(pgm->count(), 32);
        QVERIFY(!add->isEnabled());
        QMetaObject::invokeMethod(add, "click"); // a 33rd step is refused even when forced
        QCOMPARE(pgm->count(), 32);
        b.click("cmdPGSDELALL");
        QCOMPARE(pgm->count(), 0);
        QVERIFY(!b.button("cmdPGSSET")->isEnabled());

        b.list("lstPGSDNO")->setCurrentRow(1); // disc 2, five tracks
        QVERIFY(b.idle());
        QCOMPARE(tracks->count(), 6);
        for (int row : {1, 2, 3}) {
            tracks->setCurrentRow(row);
            QTest::mouseClick(add, Qt::LeftButton);
        }
        pgm->setCurrentRow(1);
        b.click("cmdPGSDEL");
        QCOMPARE(pgm->count(), 2);
        QCOMPARE(pgm->item(1)->text(), QStringLiteral("P-02 : DISC [  2], TRACK [  3]"));

        // Drag and drop: a track dropped on the program adds a step; a step dropped on the
        // track list is deleted.
        b.tab->programPanel()->dropOnProgramList(QStringLiteral("[ALL]"));
        QCOMPARE(pgm->item(2)->text(), QStringLiteral("P-03 : DISC [  2], TRACK [ALL]"));
        pgm->setCurrentRow(0);
        b.tab->programPanel()->dropOnTrackList();
        QCOMPARE(pgm->count(), 2);
        QCOMPARE(pgm->item(0)->text(), QStringLiteral("P-01 : DISC [  2], TRACK [  3]"));

        // Not stopped: editing is refused.
        const qint16 state = b.link.playValues().PlayStateCode;
        LinkTestAccess::play(b.link).PlayStateCode = 0x70;
        b.tab->programPanel()->updateButtons();
        QVERIFY(!add->isEnabled());
        b.tab->programPanel()->add();
        QCOMPARE(pgm->count(), 2);
        LinkTestAccess::play(b.link).PlayStateCode = state;
        b.tab->programPanel()->updateButtons();

        // A program of a single step is sent as that one step.
        pgm->setCurrentRow(0);
        b.click("cmdPGSDEL");
        QCOMPARE(pgm->item(0)->text(), QStringLiteral("P-01 : DISC [  2], TRACK [ALL]"));
        b.click("cmdPGSSET");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have completed the programming."));
        QVERIFY(!b.find("picPgmSetting")->isVisibleTo(b.tab.get()));
        QCOMPARE(b.sim.dump().value("program").toArray().size(), 1); // what it holds: tst_opsupload

        // In program mode the step is shown and the panel opens with the changer's program (its
        // working file); Clear empties it, and the working file goes with program mode.
        QTRY_COMPARE(b.link.playValues().PlayMode, qint16(3));
        QTRY_VERIFY(b.find("txtPNO")->isVisibleTo(b.tab.get()));
        QTRY_VERIFY(b.button("cmdPGMPlay")->isEnabled());
        QVERIFY(b.idle());
        b.click("cmdPGMPlay");
        QVERIFY(b.idle());
        QCOMPARE(pgm->count(), 1);
        const QString workFile = b.config.dataPath("temppgm.txt");
        QVERIFY(QFile::exists(workFile));
        QTRY_VERIFY(b.button("cmdPGSClear")->isEnabled());
        b.click("cmdPGSClear");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have cleared the program play."));
        QCOMPARE(b.sim.dump().value("program").toArray().size(), 0);
        QTRY_VERIFY(!b.find("txtPNO")->isVisibleTo(b.tab.get()));
        QVERIFY(!QFile::exists(workFile));
        QVERIFY(b.ui.texts("error").isEmpty());

        // Music-type play refused by the changer: the user is told, nothing is set and no
        // success is shown.
        QTRY_VERIFY(b.button("cmdMtypePlay")->isEnabled());
        QVERIFY(b.idle());
        QVERIFY(b.sim.ok("fault refuse data"));
        b.click("cmdMtypePlay");
        b.list("lstMTSMtype")->setCurrentRow(12);
        b.click("cmdMTSSet");
        QVERIFY(b.idle());
        QVERIFY(b.ui.texts("error").contains(msg(msgid::MusicTypePlayError)));
        QVERIFY(b.info() != QStringLiteral("You have set the music type."));
        QCOMPARE(b.play().value("playMode").toInt(), 0);
        QVERIFY(b.sim.ok("fault clear"));
        b.ui.shown.clear();

        b.click("cmdMtypePlay");
        QListWidget* genres = b.list("lstMTSMtype");
        QCOMPARE(genres->currentRow(), 0); // the playing disc's genre, code 2
        // Genres 2, 14 and 23 are in the disc list.
        for (int row = 0; row < genres->count(); ++row)
            QCOMPARE(genres->item(row)->checkState() == Qt::Checked,
                     row == 0 || row == 12 || row == 21);
        genres->setCurrentRow(8); // "Erotic"
        QCOMPARE(genres->currentRow(), 0);
        genres->setCurrentRow(1); // no disc of that genre
        QVERIFY(!b.button("cmdMTSSet")->isEnabled());
        genres->setCurrentRow(12); // Jazz, code 14
        QVERIFY(b.button("cmdMTSSet")->isEnabled());
        b.click("cmdMTSSet");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have set the music type."));
        QTRY_COMPARE(b.link.playValues().PlayMode, qint16(5));
        QCOMPARE(b.play().value("musicType").toInt(), 14);

        QTRY_VERIFY(b.button("cmdMtypePlay")->isEnabled());
        QVERIFY(b.idle());
        b.click("cmdMtypePlay");
        QVERIFY(!b.button("cmdMTSSet")->isEnabled());
        b.click("cmdMTSClear");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have cleared the music type play."));
        QTRY_COMPARE(b.link.playValues().PlayMode, qint16(0));
        QVERIFY(b.ui.texts("error").isEmpty());

        QCOMPARE(b.list("lstAudioUFile")->item(0)->text(), QStringLiteral("Road Trip"));
        QTRY_VERIFY(b.button("cmdUFPlay")->isEnabled());
        QVERIFY(b.idle());
        b.click("cmdUFPlay");
        QCOMPARE(b.info(), QStringLiteral("You will put the user file play mode."));
        QListWidget* files = b.list("lstUFSUfile");
        QCOMPARE(files->item(1)->text(), QStringLiteral("USER FILE 2"));
        for (int row = 0; row < 8; ++row)
            QCOMPARE(files->item(row)->checkState() == Qt::Checked, row == 0 || row == 2);
        files->setCurrentRow(1);
        QVERIFY(!b.button("cmdUFSSet")->isEnabled());
        files->setCurrentRow(2);
        b.click("cmdUFSSet");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have set the user file."));
        QTRY_COMPARE(b.link.playValues().PlayMode, qint16(7));
        QTRY_COMPARE(b.link.playValues().PlayStatus7, qint16(4));

        // Opened twice without a new status in between: the same user file both times.
        QTRY_VERIFY(b.button("cmdUFPlay")->isEnabled());
        QVERIFY(b.idle());
        for (int i = 0; i < 2; ++i) {
            b.click("cmdUFPlay");
            QCOMPARE(files->currentRow(), 2);
            QVERIFY(b.button("cmdUFSClear")->isEnabled());
            if (i == 0)
                b.click("cmdUFSQuit");
        }
        b.click("cmdUFSClear");
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have cleared the user file play."));
        QTRY_COMPARE(b.link.playValues().PlayMode, qint16(0));
    }

    // A disc typed or chosen from the list (by keyboard: browsing chooses nothing, Enter does)
    // is the only one sent; a disc the changer loads itself is followed, its titles taken from
    // its file.
    void typedAndListedDiscChoice() {
        Bench b;
        QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
        // Disc 12's file, under the identifier its table of contents gives.
        const auto id =
            ComputeDiscId({{0, 2, 0}, {4, 10, 20}, {8, 20, 40}, {12, 30, 60}, {16, 40, 0}});
        QVERIFY(id);
        test::writeAll(b.config.dataPath("DISC12.txt"),
                       crlf({"DISC ID =", discIdText(*id), "DISC NO =", "12", "MIN TNO =", "1",
                             "MAX TNO =", "4", "Disc Title =", "<b>Twelve</b>",
                             "Track Title =", "First", "Second", "Third", "Fourth"}));
        auto* discs = b.find<QComboBox>("cmbDTTL");
        QCOMPARE(discs->currentText(), QStringLiteral("[  1] One"));
        discs->setFocus();
        int before = b.received("0b");
        QTest::keyClick(discs, Qt::Key_Down);
        QTest::keyClick(discs, Qt::Key_Down);
        QCOMPARE(discs->currentIndex(), 2);
        QTest::keyClick(discs, Qt::Key_Return);
        QVERIFY(b.idle());
        QTRY_COMPARE(b.received("0b"), before + 1); // browsing chose nothing, Enter disc 12
        QCOMPARE(b.info(), QStringLiteral("You have selected CD No 12"));
        QCOMPARE(b.box("txtDISC")->text(), QStringLiteral("12"));
        QCOMPARE(b.box("txtTRACK")->text(), QStringLiteral("1"));
        QVERIFY(!b.find("cmbTTTL")->isEnabled());
        QTRY_COMPARE(b.play().value("disc").toInt(), 12);

        // Once disc 12 plays, the disc played before can be chosen again.
        QTRY_VERIFY(b.find("cmbTTTL")->isEnabled());
        QVERIFY(b.idle());
        discs->setFocus();
        QTest::keyClick(discs, Qt::Key_Up);
        QTest::keyClick(discs, Qt::Key_Up);
        QTest::keyClick(discs, Qt::Key_Return);
        QVERIFY(b.idle());
        QCOMPARE(b.info(), QStringLiteral("You have selected CD No 1"));
        QTRY_COMPARE(b.play().value("disc").toInt(), 1);

        // Typed numbers: what cannot be a disc or track is dropped or refused.
        QTRY_VERIFY(b.find("cmbTTTL")->isEnabled());
        QVERIFY(b.idle());
        QLineEdit* disc = b.box("txtDISC");
        QLineEdit* track = b.box("txtTRACK");
        const auto enter = [](QLineEdit* box, const QString& typed) {
            box->setFocus();
            box->clear();
            QTest::keyClicks(box, typed);
            QTest::keyClick(box, Qt::Key_Return);
        };
        disc->setFocus();
        disc->clear();
        QTest::keyClicks(disc, "12345x");
        QCOMPARE(disc->text(), QStringLiteral("1234")); // a fifth digit and a letter are dropped
        for (const char* refused : {"250", "0", ""}) {
            enter(disc, refused);
            QCOMPARE(disc->text(), QStringLiteral("1"));
        }
        track->clear();
        QTest::keyClicks(track, "1204");
        QCOMPARE(track->text(), QStringLiteral("120"));
        QTest::keyClick(track, Qt::Key_Return);
        QCOMPARE(track->text(), QStringLiteral("1"));

        enter(disc, "12");
        QVERIFY(b.idle());
        QCOMPARE(track->text(), QStringLiteral("1")); // disc 12's first track
        QTRY_COMPARE(b.play().value("disc").toInt(), 12);

        // Outside track mode nothing is sent.
        QTRY_COMPARE(b.link.playValues().PlayDisc, qint16(12));
        QVERIFY(b.idle());
        LinkTestAccess::play(b.link).PlayMode = 3;
        before = b.received("0b");
        enter(disc, "2");
        // Back in track mode, the disc typed next is the only one sent.
        LinkTestAccess::play(b.link).PlayMode = 0;
        enter(disc, "1");
        QTRY_COMPARE(b.play().value("disc").toInt(), 1);
        QVERIFY(b.idle());
        QTRY_COMPARE(b.received("0b"), before + 1);

        // The changer loads a disc of its own accord: the lists follow, with the titles of the
        // disc's file.
        auto* tracks = b.find<QComboBox>("cmbTTTL");
        QVERIFY(b.idle());
        QVERIFY(b.sim.ok("load 12 2"));
        QTRY_COMPARE(b.box("txtDISC")->text(), QStringLiteral("12"));
        QTRY_COMPARE(tracks->count(), 4);
        QCOMPARE(tracks->itemText(3), QStringLiteral("[  4] Fourth"));
        QCOMPARE(discs->itemText(2), QStringLiteral("[ 12] <b>Twelve</b>"));
        QCOMPARE(discs->currentIndex(), 2);
        QTRY_COMPARE(b.box("txtTRACK")->text(), QStringLiteral("2"));
        QCOMPARE(tracks->currentText(), QStringLiteral("[  2] Second"));
    }
};

QTEST_MAIN(TestAudioTab)
#include "tst_audiotab.moc"
