// The audio tab against the changer simulator over a real pseudo-terminal, driven through
// its controls by objectName.

#include "common/linkhelpers.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "link/link.h"
#include "model/discid.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/discselection.h"
#include "playback/widgets/infolines.h"
#include "playback/widgets/programpanel.h"
#include "playback/widgets/transportpanel.h"
#include "store/config.h"
#include "store/userfiles.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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
using test::ScriptedUi;
using test::SimProcess;

namespace {

// Disc 1: three tracks (genre 2, user file 1); disc 2: five tracks (genre 14, user file 3);
// disc 12: four tracks (genre 23, no user file).
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

const QList<TocTime> kDisc12Toc = {{0, 2, 0}, {4, 10, 20}, {8, 20, 40}, {12, 30, 60}, {16, 40, 0}};

QByteArray crlf(const QStringList& lines) {
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

LinkTimings fastTimings() {
    LinkTimings t = test::shortTimings(1000);
    t.reconnectMs = 300;
    return t;
}

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

    bool up(const QStringList& extra = {}) {
        config.settings.dataDir = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(config.settings.dataDir);
        writeFile(dir.filePath("lib.json"), kLibrary);
        // The disc list as the start-up conversion leaves it.
        writeFile(config.dataPath("tempdisc.txt"),
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
        link.setTimings(fastTimings());
        if (!sim.start(dir.filePath("lib.json"), QStringList{"--load-ms", "50", "--log"} + extra))
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
    QPushButton* continueKey(int index) {
        for (QPushButton* b : tab->findChildren<QPushButton*>("cmdContinueKEY"))
            if (b->property("index").toInt() == index)
                return b;
        return nullptr;
    }
    // How many times the simulator received this frame (hex bytes, upper case).
    int received(const QString& hex) {
        return int(QString::fromLatin1(sim.errorOutput())
                       .count("rx frame " + hex.mid(3, 2).toLower() + ": " + hex));
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
    void transportKeys_data();
    void transportKeys();
    void pressAndHoldSendsOnePressAndOneRelease();
    void continueKeyIgnoredAfterTabSelectionOrWhileBusy();
    void releaseDuringThePressExchangeIsNotLost();
    void newDiscTitlesFollowTocReady();
    void trackChangesAreDrawnAfterTheirDelay();
    void programPlayBuildSetAndClear();
    void programRenumbersAndLimits();
    void musicTypePlaySetAndClear();
    void userFilePlaySetAndClear();
    void refusedPermissionSendsNothingAndNoSuccessText();
    void typedNumbers();
    void discListChoiceAndKeyboardBrowsing();
};

void TestAudioTab::transportKeys_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("frame");
    QTest::newRow("play while stopped") << "cmdPlay" << 0x40 << 0 << 0 << "Music is playing."
                                        << "02 0A 02 00 A0 CB";
    QTest::newRow("play while paused") << "cmdPlay" << 0x80 << 0 << 0 << "Music is playing."
                                       << "02 0A 02 00 A0 CB";
    QTest::newRow("pause while playing") << "cmdPlay" << 0x70 << 0 << 0 << "Music is paused."
                                         << "02 0A 02 00 A0 CB";
    QTest::newRow("pause while searching") << "cmdPlay" << 0x60 << 0 << 0 << "Music is paused."
                                           << "02 0A 02 00 A0 CB";
    QTest::newRow("stop") << "cmdStop" << 0x70 << 0 << 0 << "Music is stopped."
                          << "02 0A 02 00 A0 C9";
    QTest::newRow("repeat on") << "cmdRepeat" << 0x40 << 0 << 0 << "You have selected repeat ON"
                               << "02 0A 02 00 A0 CC";
    QTest::newRow("repeat off") << "cmdRepeat" << 0x40 << 0 << 1 << "You have selected repeat OFF"
                                << "02 0A 02 00 A0 CC";
    QTest::newRow("random on") << "cmdRandom" << 0x40 << 0 << 0 << "You have selected random ON"
                               << "02 0A 02 00 A1 D4";
    QTest::newRow("random off") << "cmdRandom" << 0x40 << 2 << 0 << "You have selected random OFF"
                                << "02 0A 02 00 A1 D4";
}

void TestAudioTab::transportKeys() {
    QFETCH(QString, button);
    QFETCH(int, state);
    QFETCH(int, mode);
    QFETCH(int, repeat);
    QFETCH(QString, text);
    QFETCH(QString, frame);
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    LinkTestAccess::play(b.link).PlayStateCode = qint16(state);
    LinkTestAccess::play(b.link).PlayMode = qint16(mode);
    LinkTestAccess::play(b.link).PlayRepeat = qint16(repeat);
    const int before = b.received(frame);
    QTest::mouseClick(b.button(button.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(b.info(), text);
    QVERIFY(b.idle());
    QTRY_COMPARE(b.received(frame), before + 1);
    QVERIFY(b.ui.texts("error").isEmpty());
}

void TestAudioTab::pressAndHoldSendsOnePressAndOneRelease() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    b.lines.setIntervals(6000, 1000);
    QPushButton* ff = b.continueKey(3);
    QVERIFY(ff);
    QTest::mousePress(ff, Qt::LeftButton);
    QCOMPARE(b.info(), QStringLiteral("Fast-Forward."));
    QCOMPARE(b.tab->transport()->continueKeyState(), 1);
    // Held: the refresh stays off, so the key's text stays on the line.
    QVERIFY(!b.lines.displayTimer().isActive());
    QTest::qWait(700);
    QCOMPARE(b.info(), QStringLiteral("Fast-Forward."));
    QTest::mouseRelease(ff, Qt::LeftButton);
    QTRY_COMPARE(b.tab->transport()->continueKeyState(), 0);
    QVERIFY(b.idle());
    QTRY_COMPARE(b.received("02 0A 02 00 FF FF"), 1);
    QCOMPARE(b.received("02 0A 02 00 A0 07"), 1);
    // After the release the line shows the play state again.
    QCOMPARE(b.info(), b.tab->playInfoLabel()->text());
    QVERIFY(b.lines.displayTimer().isActive());
}

void TestAudioTab::releaseDuringThePressExchangeIsNotLost() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QPushButton* rew = b.continueKey(2);
    // A quick click: the button is let go while the press code is still being sent.
    QTimer::singleShot(0, rew, [rew] { QTest::mouseRelease(rew, Qt::LeftButton); });
    QTest::mousePress(rew, Qt::LeftButton);
    QTRY_COMPARE(b.tab->transport()->continueKeyState(), 0);
    QVERIFY(b.idle());
    QTRY_COMPARE(b.received("02 0A 02 00 FF FF"), 1);
    QCOMPARE(b.received("02 0A 02 00 A0 06"), 1);
}

void TestAudioTab::continueKeyIgnoredAfterTabSelectionOrWhileBusy() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    const QString shown = b.info();
    b.tab->audioTabSelected();
    QVERIFY(b.tab->transport()->continueDisable().isActive());
    QTest::mousePress(b.continueKey(1), Qt::LeftButton);
    QTest::mouseRelease(b.continueKey(1), Qt::LeftButton);
    QCOMPARE(b.info(), shown);
    QCOMPARE(b.tab->transport()->continueKeyState(), 0);
    b.tab->transport()->continueDisable().stop();

    LinkTestAccess::setLinkBusy(b.link, kLinkStore); // a title download holds the link
    QTest::mousePress(b.continueKey(0), Qt::LeftButton);
    QTest::mouseRelease(b.continueKey(0), Qt::LeftButton);
    QCOMPARE(b.tab->transport()->continueKeyState(), 0);
    LinkTestAccess::setLinkBusy(b.link, kLinkIdle);
    QTest::qWait(100);
    QCOMPARE(b.received("02 0A 02 00 A0 CF"), 0);
    QCOMPARE(b.received("02 0A 02 00 A0 CE"), 0);
    QCOMPARE(b.received("02 0A 02 00 FF FF"), 0);
    QCOMPARE(b.info(), shown);
}

void TestAudioTab::newDiscTitlesFollowTocReady() {
    Bench b;
    QVERIFY2(b.up({"--load-ms", "400"}), qPrintable(b.sim.lastError()));
    // Disc 12's file, under the identifier its table of contents gives.
    const auto id = ComputeDiscId(kDisc12Toc);
    QVERIFY(id);
    writeFile(b.config.dataPath("DISC12.txt"),
              crlf({"DISC ID =", discIdText(*id), "DISC NO =", "12", "MIN TNO =", "1",
                    "MAX TNO =", "4", "Disc Title =", "<b>Twelve</b>", "Track Title =", "First",
                    "Second", "Third", "Fourth"}));
    auto* tracks = b.find<QComboBox>("cmbTTTL");
    auto* discs = b.find<QComboBox>("cmbDTTL");
    QVERIFY(b.sim.ok("load 12 2"));
    // The new disc is reported first; until it is ready the old titles stay.
    QTRY_COMPARE(b.link.playValues().PlayDisc, qint16(12));
    if (b.link.playValues().TocReadyDisc == 0)
        QCOMPARE(b.box("txtDISC")->text(), QStringLiteral("1"));
    QTRY_COMPARE(b.box("txtDISC")->text(), QStringLiteral("12"));
    QTRY_COMPARE(tracks->count(), 4);
    QCOMPARE(tracks->itemText(0), QStringLiteral("[  1] First"));
    QCOMPARE(tracks->itemText(3), QStringLiteral("[  4] Fourth"));
    QCOMPARE(discs->itemText(2), QStringLiteral("[ 12] <b>Twelve</b>"));
    QCOMPARE(discs->currentIndex(), 2); // the list follows the changer's own choice
    // The track is drawn after its delay.
    QTRY_COMPARE(b.box("txtTRACK")->text(), QStringLiteral("2"));
    QCOMPARE(tracks->currentText(), QStringLiteral("[  2] Second"));
}

void TestAudioTab::trackChangesAreDrawnAfterTheirDelay() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QVERIFY(b.sim.ok("key play"));
    QTRY_COMPARE(b.link.playValues().PlayStateCode, qint16(0x70));
    QStringList drawn;
    QObject::connect(b.box("txtTRACK"), &QLineEdit::textChanged,
                     [&](const QString& t) { drawn << t; });
    QVERIFY(b.sim.ok("key next"));
    QVERIFY(b.sim.ok("key next"));
    QTRY_COMPARE(b.link.playValues().PlayTrack, qint16(3));
    // Not drawn at once; drawn after the delay with the later track, never with track 2.
    QCOMPARE(b.box("txtTRACK")->text(), QStringLiteral("1"));
    QTRY_COMPARE(b.box("txtTRACK")->text(), QStringLiteral("3"));
    QVERIFY(!drawn.contains("2"));
}

void TestAudioTab::programPlayBuildSetAndClear() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QTest::mouseClick(b.button("cmdPGMPlay"), Qt::LeftButton);
    QVERIFY(b.find("picPgmSetting")->isVisibleTo(b.tab.get()));
    QCOMPARE(b.info(), QStringLiteral("You will set the program."));
    QVERIFY(!b.button("cmdPGSClear")->isEnabled());
    QCOMPARE(b.list("lstPGSPGM")->count(), 0);
    QCOMPARE(b.list("lstPGSTNO")->item(0)->text(), QStringLiteral("[ALL]"));

    // No disc file: the changer's track range and its stored titles. It stores titles for
    // 20 tracks; the tracks past them are listed all the same.
    b.list("lstPGSDNO")->setCurrentRow(3);
    QVERIFY(b.idle());
    QListWidget* tracks = b.list("lstPGSTNO");
    QCOMPARE(tracks->count(), 23);
    QCOMPARE(tracks->item(20)->text(), QStringLiteral("[ 20] * NO TITLE *"));
    QCOMPARE(tracks->item(21)->text(), QStringLiteral("[ 21] * Can't Memory *"));
    QCOMPARE(tracks->item(22)->text(), QStringLiteral("[ 22] * Can't Memory *"));
    QVERIFY(!QFile::exists(b.config.programPath("pgmtrack.txt")));
    b.list("lstPGSDNO")->setCurrentRow(1); // disc 2: five tracks
    QVERIFY(b.idle());
    QCOMPARE(tracks->count(), 6);
    QCOMPARE(tracks->item(5)->text(), QStringLiteral("[  5] * NO TITLE *"));
    tracks->setCurrentRow(0);
    QTest::mouseClick(b.button("cmdPGSADD"), Qt::LeftButton);
    tracks->setCurrentRow(3);
    QTest::mouseClick(b.button("cmdPGSADD"), Qt::LeftButton);
    QListWidget* pgm = b.list("lstPGSPGM");
    QCOMPARE(pgm->count(), 2);
    QCOMPARE(pgm->item(0)->text(), QStringLiteral("P-01 : DISC [  2], TRACK [ALL]"));
    QCOMPARE(pgm->item(1)->text(), QStringLiteral("P-02 : DISC [  2], TRACK [  3]"));
    QVERIFY(b.button("cmdPGSSET")->isEnabled());

    QTest::mouseClick(b.button("cmdPGSSET"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have completed the programming."));
    QVERIFY(!b.find("picPgmSetting")->isVisibleTo(b.tab.get()));
    const QJsonArray program = b.sim.dump().value("program").toArray();
    QCOMPARE(program.size(), 2);
    QCOMPARE(program.at(0).toObject().value("track").toString(), QStringLiteral("all"));
    QCOMPARE(program.at(1).toObject().value("track").toInt(), 3);
    QVERIFY(QString::fromLatin1(b.sim.errorOutput()).contains("02 0D 07 00 02 02 00 AA 02 00 03"));

    // In program mode the panel opens with the changer's program, and Clear empties it.
    QTRY_COMPARE(b.link.playValues().PlayMode, qint16(3));
    QTRY_VERIFY(b.button("cmdPGMPlay")->isEnabled());
    QVERIFY(b.idle());
    QTest::mouseClick(b.button("cmdPGMPlay"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(pgm->count(), 2);
    QCOMPARE(pgm->item(1)->text(), QStringLiteral("P-02 : DISC [  2], TRACK [  3]"));
    QTRY_VERIFY(b.button("cmdPGSClear")->isEnabled());
    QTest::mouseClick(b.button("cmdPGSClear"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have cleared the program play."));
    QCOMPARE(b.sim.dump().value("program").toArray().size(), 0);

    // A program of a single step is sent as that one step.
    QTRY_VERIFY(b.button("cmdPGMPlay")->isEnabled());
    QVERIFY(b.idle());
    if (!b.find("picPgmSetting")->isVisibleTo(b.tab.get()))
        QTest::mouseClick(b.button("cmdPGMPlay"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(pgm->count(), 0);
    b.list("lstPGSDNO")->setCurrentRow(1);
    QVERIFY(b.idle());
    tracks->setCurrentRow(2);
    QTest::mouseClick(b.button("cmdPGSADD"), Qt::LeftButton);
    QCOMPARE(pgm->count(), 1);
    QTest::mouseClick(b.button("cmdPGSSET"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have completed the programming."));
    const QJsonArray single = b.sim.dump().value("program").toArray();
    QCOMPARE(single.size(), 1);
    QCOMPARE(single.at(0).toObject().value("disc").toInt(), 2);
    QCOMPARE(single.at(0).toObject().value("track").toInt(), 2);
    QVERIFY(b.ui.texts("error").isEmpty());
}

void TestAudioTab::programRenumbersAndLimits() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QTest::mouseClick(b.button("cmdPGMPlay"), Qt::LeftButton);
    QListWidget* tracks = b.list("lstPGSTNO");
    QListWidget* pgm = b.list("lstPGSPGM");
    QPushButton* add = b.button("cmdPGSADD");
    for (int i = 0; i < 32; ++i) {
        tracks->setCurrentRow(i % tracks->count());
        QVERIFY(add->isEnabled());
        QTest::mouseClick(add, Qt::LeftButton);
    }
    QCOMPARE(pgm->count(), 32);
    QVERIFY(!add->isEnabled());
    QMetaObject::invokeMethod(add, "click"); // a 33rd step is refused even when forced
    QCOMPARE(pgm->count(), 32);
    QVERIFY(pgm->item(8)->text().startsWith("P-09 "));
    QVERIFY(pgm->item(9)->text().startsWith("P-10 "));
    QTest::mouseClick(b.button("cmdPGSDELALL"), Qt::LeftButton);
    QCOMPARE(pgm->count(), 0);
    QVERIFY(!b.button("cmdPGSSET")->isEnabled());

    b.list("lstPGSDNO")->setCurrentRow(1); // disc 2, five tracks
    QVERIFY(b.idle());
    for (int row : {1, 2, 3}) {
        tracks->setCurrentRow(row);
        QTest::mouseClick(add, Qt::LeftButton);
    }
    QCOMPARE(pgm->count(), 3);
    pgm->setCurrentRow(1);
    QTest::mouseClick(b.button("cmdPGSDEL"), Qt::LeftButton);
    QCOMPARE(pgm->count(), 2);
    QCOMPARE(pgm->item(0)->text(), QStringLiteral("P-01 : DISC [  2], TRACK [  1]"));
    QCOMPARE(pgm->item(1)->text(), QStringLiteral("P-02 : DISC [  2], TRACK [  3]"));

    // Drag and drop: a track dropped on the program adds a step; a step dropped on the
    // track list is deleted.
    b.tab->programPanel()->dropOnProgramList(QStringLiteral("[ALL]"));
    QCOMPARE(pgm->count(), 3);
    QCOMPARE(pgm->item(2)->text(), QStringLiteral("P-03 : DISC [  2], TRACK [ALL]"));
    pgm->setCurrentRow(0);
    b.tab->programPanel()->dropOnTrackList();
    QCOMPARE(pgm->count(), 2);
    QCOMPARE(pgm->item(0)->text(), QStringLiteral("P-01 : DISC [  2], TRACK [  3]"));
    QCOMPARE(pgm->item(1)->text(), QStringLiteral("P-02 : DISC [  2], TRACK [ALL]"));

    // Not stopped: editing is refused.
    LinkTestAccess::play(b.link).PlayStateCode = 0x70;
    b.tab->programPanel()->updateButtons();
    QVERIFY(!add->isEnabled());
    b.tab->programPanel()->add();
    QCOMPARE(pgm->count(), 2);
    QTest::mouseClick(b.button("cmdPGSQuit"), Qt::LeftButton);
    QCOMPARE(b.info(), QStringLiteral("You have closed the program window."));
}

void TestAudioTab::musicTypePlaySetAndClear() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QCOMPARE(b.find<QLabel>("lbMtype")->text(), QStringLiteral("Adult Contemporary"));
    QTest::mouseClick(b.button("cmdMtypePlay"), Qt::LeftButton);
    QListWidget* genres = b.list("lstMTSMtype");
    QCOMPARE(genres->count(), 27);
    QCOMPARE(genres->currentRow(), 0); // the playing disc's genre, code 2
    // Genres 2, 14 and 23 are in the disc list.
    for (int row = 0; row < genres->count(); ++row)
        QCOMPARE(genres->item(row)->checkState() == Qt::Checked,
                 row == 0 || row == 12 || row == 21);
    // A mark toggled by hand is put back.
    genres->item(5)->setCheckState(Qt::Checked);
    QCOMPARE(genres->item(5)->checkState(), Qt::Unchecked);
    genres->setCurrentRow(8); // "Erotic"
    QCOMPARE(genres->currentRow(), 0);
    QVERIFY(b.button("cmdMTSSet")->isEnabled());
    genres->setCurrentRow(1); // no disc of that genre
    QVERIFY(!b.button("cmdMTSSet")->isEnabled());
    genres->setCurrentRow(12); // Jazz, code 14
    QVERIFY(b.button("cmdMTSSet")->isEnabled());
    QTest::mouseClick(b.button("cmdMTSSet"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have set the music type."));
    QTRY_COMPARE(b.link.playValues().PlayMode, qint16(5));
    QVERIFY(QString::fromLatin1(b.sim.errorOutput()).contains("02 0C 02 00 05 0E"));

    QTRY_VERIFY(b.button("cmdMtypePlay")->isEnabled());
    QVERIFY(b.idle());
    QTest::mouseClick(b.button("cmdMtypePlay"), Qt::LeftButton);
    QVERIFY(b.button("cmdMTSClear")->isEnabled());
    QVERIFY(!b.button("cmdMTSSet")->isEnabled());
    QTest::mouseClick(b.button("cmdMTSClear"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have cleared the music type play."));
    QTRY_COMPARE(b.link.playValues().PlayMode, qint16(0));
    QVERIFY(b.ui.texts("error").isEmpty());
}

void TestAudioTab::userFilePlaySetAndClear() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QListWidget* marks = b.list("lstAudioUFile");
    QCOMPARE(marks->item(0)->text(), QStringLiteral("Road Trip"));
    QCOMPARE(marks->item(0)->checkState(), Qt::Checked); // disc 1 is in user file 1
    marks->item(4)->setCheckState(Qt::Checked);
    QCOMPARE(marks->item(4)->checkState(), Qt::Unchecked);

    QTest::mouseClick(b.button("cmdUFPlay"), Qt::LeftButton);
    QCOMPARE(b.info(), QStringLiteral("You will put the user file play mode."));
    QListWidget* files = b.list("lstUFSUfile");
    QCOMPARE(files->item(1)->text(), QStringLiteral("USER FILE 2"));
    for (int row = 0; row < 8; ++row)
        QCOMPARE(files->item(row)->checkState() == Qt::Checked, row == 0 || row == 2);
    files->setCurrentRow(1);
    QVERIFY(!b.button("cmdUFSSet")->isEnabled());
    files->setCurrentRow(2);
    QVERIFY(b.button("cmdUFSSet")->isEnabled());
    QTest::mouseClick(b.button("cmdUFSSet"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have set the user file."));
    QVERIFY(QString::fromLatin1(b.sim.errorOutput()).contains("02 0C 02 00 07 04"));
    QTRY_COMPARE(b.link.playValues().PlayMode, qint16(7));
    QTRY_COMPARE(b.link.playValues().PlayStatus7, qint16(4));

    // Opened twice without a new status in between: the same user file both times.
    QTRY_VERIFY(b.button("cmdUFPlay")->isEnabled());
    QVERIFY(b.idle());
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(b.button("cmdUFPlay"), Qt::LeftButton);
        QCOMPARE(files->currentRow(), 2);
        QVERIFY(b.button("cmdUFSClear")->isEnabled());
        if (i == 0)
            QTest::mouseClick(b.button("cmdUFSQuit"), Qt::LeftButton);
    }
    QTest::mouseClick(b.button("cmdUFSClear"), Qt::LeftButton);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have cleared the user file play."));
    QTRY_COMPARE(b.link.playValues().PlayMode, qint16(0));
}

void TestAudioTab::refusedPermissionSendsNothingAndNoSuccessText() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QVERIFY(b.sim.ok("fault refuse data"));
    QTest::mouseClick(b.button("cmdMtypePlay"), Qt::LeftButton);
    b.list("lstMTSMtype")->setCurrentRow(12);
    QTest::mouseClick(b.button("cmdMTSSet"), Qt::LeftButton);
    QVERIFY(b.idle());
    QVERIFY(b.ui.texts("error").contains(
        "An error occurred while running the MUSIC TYPE PLAY application."));
    QVERIFY(b.info() != QStringLiteral("You have set the music type."));
    QVERIFY(!QString::fromLatin1(b.sim.errorOutput()).contains("rx frame 0c"));
    QCOMPARE(b.play().value("playMode").toInt(), 0);

    // The same for a program.
    QTest::mouseClick(b.button("cmdPGMPlay"), Qt::LeftButton);
    QTest::mouseClick(b.button("cmdPGSADD"), Qt::LeftButton);
    QTest::mouseClick(b.button("cmdPGSSET"), Qt::LeftButton);
    QVERIFY(b.idle());
    QVERIFY(b.ui.texts("error").contains("An error occurred while setting the program."));
    QVERIFY(b.info() != QStringLiteral("You have completed the programming."));
    QVERIFY(!QString::fromLatin1(b.sim.errorOutput()).contains("rx frame 0d"));
}

void TestAudioTab::typedNumbers() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    QLineEdit* disc = b.box("txtDISC");
    QLineEdit* track = b.box("txtTRACK");
    disc->setFocus();
    disc->clear();
    QTest::keyClicks(disc, "12345x");
    QCOMPARE(disc->text(), QStringLiteral("1234")); // a fifth digit and a letter are dropped
    disc->clear();
    QTest::keyClicks(disc, "250");
    QTest::keyClick(disc, Qt::Key_Return);
    QCOMPARE(disc->text(), QStringLiteral("1"));
    disc->clear();
    QTest::keyClicks(disc, "0");
    QTest::keyClick(disc, Qt::Key_Return);
    QCOMPARE(disc->text(), QStringLiteral("1"));
    disc->clear();
    QTest::keyClick(disc, Qt::Key_Return);
    QCOMPARE(disc->text(), QStringLiteral("1"));

    track->clear();
    QTest::keyClicks(track, "1204");
    QCOMPARE(track->text(), QStringLiteral("120"));
    QTest::keyClick(track, Qt::Key_Return);
    QCOMPARE(track->text(), QStringLiteral("1"));

    disc->clear();
    QTest::keyClicks(disc, "12");
    QTest::keyClick(disc, Qt::Key_Return);
    QVERIFY(b.idle());
    QCOMPARE(track->text(), QStringLiteral("1")); // disc 12's first track
    QVERIFY(b.tab->discSelection()->enableTimer().isActive());
    QTRY_COMPARE(b.play().value("disc").toInt(), 12);

    // Outside track mode nothing is sent.
    QTRY_COMPARE(b.link.playValues().PlayDisc, qint16(12));
    QVERIFY(b.idle());
    LinkTestAccess::play(b.link).PlayMode = 3;
    const QString log = QString::fromLatin1(b.sim.errorOutput());
    disc->clear();
    QTest::keyClicks(disc, "2");
    QTest::keyClick(disc, Qt::Key_Return);
    QTest::qWait(100);
    QCOMPARE(QString::fromLatin1(b.sim.errorOutput()).count("rx frame 0b"),
             log.count("rx frame 0b"));
}

void TestAudioTab::discListChoiceAndKeyboardBrowsing() {
    Bench b;
    QVERIFY2(b.up(), qPrintable(b.sim.lastError()));
    auto* discs = b.find<QComboBox>("cmbDTTL");
    QCOMPARE(discs->count(), 4);
    QCOMPARE(discs->currentText(), QStringLiteral("[  1] One"));
    discs->setFocus();
    const int before = QString::fromLatin1(b.sim.errorOutput()).count("rx frame 0b");
    QTest::keyClick(discs, Qt::Key_Down);
    QTest::keyClick(discs, Qt::Key_Down);
    QTest::qWait(100);
    QCOMPARE(QString::fromLatin1(b.sim.errorOutput()).count("rx frame 0b"), before);
    QCOMPARE(discs->currentIndex(), 2);
    QTest::keyClick(discs, Qt::Key_Return);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have selected CD No 12"));
    QCOMPARE(b.box("txtDISC")->text(), QStringLiteral("12"));
    QCOMPARE(b.box("txtTRACK")->text(), QStringLiteral("1"));
    QVERIFY(!b.find("cmbTTTL")->isEnabled());
    QTRY_COMPARE(b.play().value("disc").toInt(), 12);
    QVERIFY(QString::fromLatin1(b.sim.errorOutput()).contains("02 0B 04 00 0C 00 01 01"));

    // Once disc 12 plays, the disc played before can be chosen again.
    QTRY_COMPARE(b.tab->findChild<QComboBox*>("cmbTTTL")->isEnabled(), true);
    QVERIFY(b.idle());
    discs->setFocus();
    QTest::keyClick(discs, Qt::Key_Up);
    QTest::keyClick(discs, Qt::Key_Up);
    QTest::keyClick(discs, Qt::Key_Return);
    QVERIFY(b.idle());
    QCOMPARE(b.info(), QStringLiteral("You have selected CD No 1"));
    QTRY_COMPARE(b.play().value("disc").toInt(), 1);
}

QTEST_MAIN(TestAudioTab)
#include "tst_audiotab.moc"
