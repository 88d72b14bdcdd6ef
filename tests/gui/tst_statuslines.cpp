// The info lines of both tabs and the status display's rendering, without a changer: the
// play values are set as the link would store them from pushed frames.

#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "operations/programlist.h"
#include "playback/programlist.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "playback/widgets/statusdisplay.h"
#include "store/config.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using test::ScriptedUi;

namespace {

struct Offline {
    QTemporaryDir dir;
    ScriptedUi ui;
    Configuration config{dir.path()};
    NullLookupService lookup;
    Link link{ui};
    AppContext ctx{link, config, ui, lookup};
    InfoLines lines{link};
    AudioTab tab{ctx, lines};
    QLabel textInfo;
    QLabel backTextInfo;
    int selectedTab = StatusMessenger::kAudioTab;
    int editorDisc = 0;

    Offline() {
        config.settings.dataDir = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(config.settings.dataDir);
        lines.setTitlesLabels(&textInfo, &backTextInfo);
        lines.setAudioLabels(tab.infoLabel(), tab.playInfoLabel());
        lines.setSelectedTab([this] { return selectedTab; });
        lines.setEditorDisc([this] { return editorDisc; });
        lines.setAudioSelection([] { return 12; }, [] { return 7; });
        LinkTestAccess::setModeCode(link, 1);
        tab.PrepareAudioTab();
    }
    template <typename T = QWidget> T* find(const char* name) {
        return tab.findChild<T*>(QLatin1String(name));
    }
    QString label(const char* name) { return find<QLabel>(name)->text(); }
};

} // namespace

class TestStatusLines : public QObject {
    Q_OBJECT
private slots:
    void statusSuffixes_data();
    void statusSuffixes();
    void fontRule_data();
    void fontRule();
    void revertsToStandingText();
    void playModeRendering_data();
    void playModeRendering();
    void playStateAndIndicators();
    void musicTypeNames_data();
    void musicTypeNames();
    void userFileMarksFollowTheDisc();
    void programModeWidgetsAndWorkingFile();
    void changerPanelModeDisablesTheTab();
    void programRecordsAndItems();
};

void TestStatusLines::statusSuffixes_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("playMode");
    QTest::addColumn<int>("repeat");
    QTest::addColumn<QString>("text");
    QTest::newRow("disc on audio") << 1 << 19 << 0 << 0 << "You have selected CD No 12";
    QTest::newRow("track on audio") << 1 << 20 << 0 << 0 << "You have selected titles No 7";
    QTest::newRow("disc on titles, no number") << 0 << 19 << 0 << 0 << "You have selected CD No ";
    QTest::newRow("reload on titles")
        << 0 << 7 << 0 << 0 << "You are reloading the data from disc No  33";
    QTest::newRow("load on titles")
        << 0 << 8 << 0 << 0 << "You are loading the data from disc No 33";
    QTest::newRow("reload on audio, no number")
        << 1 << 7 << 0 << 0 << "You are reloading the data from disc No  ";
    QTest::newRow("random from mode 0") << 1 << 23 << 0 << 0 << "You have selected random ON";
    QTest::newRow("random from mode 7") << 1 << 23 << 7 << 0 << "You have selected random ON";
    QTest::newRow("random from mode 2") << 1 << 23 << 2 << 0 << "You have selected random OFF";
    QTest::newRow("random from mode 8") << 1 << 23 << 8 << 0 << "You have selected random OFF";
    QTest::newRow("repeat while off") << 1 << 26 << 0 << 0 << "You have selected repeat ON";
    QTest::newRow("repeat while on") << 1 << 26 << 0 << 5 << "You have selected repeat OFF";
    QTest::newRow("plain text") << 1 << 21 << 0 << 0 << "Music is playing.";
}

void TestStatusLines::statusSuffixes() {
    QFETCH(int, tab);
    QFETCH(int, index);
    QFETCH(int, playMode);
    QFETCH(int, repeat);
    QFETCH(QString, text);
    Offline o;
    o.editorDisc = 33;
    LinkTestAccess::play(o.link).PlayMode = qint16(playMode);
    LinkTestAccess::play(o.link).PlayRepeat = qint16(repeat);
    o.lines.ShowStatusMessage(tab, index);
    QLabel* line = tab == 0 ? &o.textInfo : o.tab.infoLabel();
    QCOMPARE(line->text(), text);
    QVERIFY(o.lines.displayTimer().isActive());
    QCOMPARE(o.lines.displayTimer().interval(), 6000);
}

void TestStatusLines::fontRule_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("points");
    QTest::newRow("17 characters") << 21 << 22;                 // "Music is playing."
    QTest::newRow("25 characters, 30 with suffix") << 26 << 22; // repeat OFF + "OFF"
    QTest::newRow("31 characters") << 4 << 14;                  // "You have updated the file name."
    QTest::newRow("43 characters") << 30 << 12; // "You have closed the music type play window."
}

void TestStatusLines::fontRule() {
    QFETCH(int, index);
    QFETCH(int, points);
    Offline o;
    LinkTestAccess::play(o.link).PlayRepeat = 1;
    o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, index);
    const QString text = o.tab.infoLabel()->text();
    QCOMPARE(o.tab.infoLabel()->font().pointSize(), points);
    QCOMPARE(playback::infoLinePointSize(text), points);
    // The boundaries themselves.
    QCOMPARE(playback::infoLinePointSize(QString(30, 'x')), 22);
    QCOMPARE(playback::infoLinePointSize(QString(31, 'x')), 14);
    QCOMPARE(playback::infoLinePointSize(QString(40, 'x')), 14);
    QCOMPARE(playback::infoLinePointSize(QString(41, 'x')), 12);
}

void TestStatusLines::revertsToStandingText() {
    Offline o;
    o.lines.setIntervals(60, 20);
    LinkTestAccess::play(o.link).PlayStateCode = 0x60;
    o.tab.StatusDisplayTick(); // mode drawn first
    o.tab.StatusDisplayTick(); // then the state
    QCOMPARE(o.tab.playInfoLabel()->text(), QStringLiteral("Now search music. Please Wait..."));
    QCOMPARE(o.tab.playInfoLabel()->font().pointSize(), 15);
    o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, 22);
    QCOMPARE(o.tab.infoLabel()->text(), QStringLiteral("Music is stopped."));
    QTRY_COMPARE(o.tab.infoLabel()->text(), QStringLiteral("Now search music. Please Wait..."));
    QCOMPARE(o.tab.infoLabel()->font().pointSize(), 14);
    QCOMPARE(o.lines.displayTimer().interval(), 20); // it keeps refreshing

    // The titles tab: its standing text, or text 900 when there is none.
    o.selectedTab = StatusMessenger::kTitlesTab;
    o.lines.ShowStatusMessage(StatusMessenger::kTitlesTab, 9);
    QCOMPARE(o.textInfo.text(), QStringLiteral("You have copied the titles."));
    QTRY_COMPARE(o.textInfo.text(), QStringLiteral("You have downloaded CD titles."));
    o.backTextInfo.setText(QStringLiteral("<b>Disc</b> 5"));
    QTRY_COMPARE(o.textInfo.text(), QStringLiteral("<b>Disc</b> 5"));
    QCOMPARE(o.textInfo.textFormat(), Qt::PlainText);

    // A held key keeps its text until the refresh resumes.
    o.lines.holdRefresh();
    o.lines.ShowStatusMessage(StatusMessenger::kTitlesTab, 9);
    o.lines.holdRefresh();
    QTest::qWait(100);
    QCOMPARE(o.textInfo.text(), QStringLiteral("You have copied the titles."));
}

void TestStatusLines::playModeRendering_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("random");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QString>("buttons"); // program, music type, user file
    QTest::newRow("0") << 0 << "Track Mode"
                       << "OFF" << false << "111";
    QTest::newRow("1") << 1 << "Track Mode"
                       << "ONE DISC RANDOM" << true << "000";
    QTest::newRow("2") << 2 << "Track Mode"
                       << "ALL DISC RANDOM" << true << "000";
    QTest::newRow("3") << 3 << "Program Mode"
                       << "OFF" << false << "100";
    QTest::newRow("4") << 4 << "Best Sel Mode"
                       << "OFF" << false << "000";
    QTest::newRow("5") << 5 << "Music Type Mode"
                       << "OFF" << false << "010";
    QTest::newRow("6") << 6 << "Music Type Mode"
                       << "RANDOM" << true << "010";
    QTest::newRow("7") << 7 << "User File Mode"
                       << "OFF" << false << "001";
    QTest::newRow("8") << 8 << "User File Mode"
                       << "RANDOM" << true << "001";
}

void TestStatusLines::playModeRendering() {
    QFETCH(int, mode);
    QFETCH(QString, name);
    QFETCH(QString, random);
    QFETCH(bool, lit);
    QFETCH(QString, buttons);
    Offline o;
    LinkTestAccess::play(o.link).PlayMode = qint16(mode);
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbAudioPLAYMODE"), name);
    QCOMPARE(o.label("lbRandom"), random);
    QCOMPARE(o.find("lbRandom")->property("lit").toBool(), lit);
    const QString shown = QString::number(o.find("cmdPGMPlay")->isEnabled()) +
                          QString::number(o.find("cmdMtypePlay")->isEnabled()) +
                          QString::number(o.find("cmdUFPlay")->isEnabled());
    QCOMPARE(shown, buttons);
    // Disc and track can be chosen in plain track mode only.
    QCOMPARE(o.find("cmbDTTL")->isEnabled(), mode == 0);
    QCOMPARE(o.find("txtDISC")->isEnabled(), mode == 0);
    QCOMPARE(o.find("txtTTTL")->isVisibleTo(&o.tab), mode != 0);

    // A mode above 8 keeps the name and shows random off.
    LinkTestAccess::play(o.link).PlayMode = 9;
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbAudioPLAYMODE"), name);
    QCOMPARE(o.label("lbRandom"), QStringLiteral("OFF"));
}

void TestStatusLines::playStateAndIndicators() {
    Offline o;
    o.tab.StatusDisplayTick();
    const QList<QPair<int, QString>> states = {{0x40, "Music is stopped."},
                                               {0x50, "Stop Action. Please Wait...."},
                                               {0x70, "Music is playing."},
                                               {0x80, "Music is paused."},
                                               {0x90, "Fast-Forward."},
                                               {0xA0, "Fast-Backward."},
                                               {0x33, ""}};
    for (const auto& [state, text] : states) {
        LinkTestAccess::play(o.link).PlayStateCode = qint16(state);
        o.tab.StatusDisplayTick();
        QCOMPARE(o.tab.playInfoLabel()->text(), text);
        QCOMPARE(o.tab.playInfoLabel()->font().pointSize(), text.size() <= 16 ? 20 : 15);
    }
    LinkTestAccess::play(o.link).PlayRepeat = 1;
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("ON"));
    QVERIFY(o.find("lbRepeatONOFF")->property("lit").toBool());
    LinkTestAccess::play(o.link).PlayRepeat = 0;
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("OFF"));
}

void TestStatusLines::musicTypeNames_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << 0 << "Not Defined";
    QTest::newRow("not defined") << 1 << "Not Defined";
    QTest::newRow("first genre") << 2 << "Adult Contemporary";
    QTest::newRow("with blank") << 4 << "Children 's Music";
    QTest::newRow("classical") << 5 << "Classical";
    QTest::newRow("last") << 28 << "World Music";
}

void TestStatusLines::musicTypeNames() {
    QFETCH(int, code);
    QFETCH(QString, name);
    Offline o;
    o.tab.StatusDisplayTick();
    LinkTestAccess::play(o.link).PlayMusicType = qint16(code);
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbMtype"), name);
    QCOMPARE(playback::musicTypeName(code), name);
    if (code >= 2)
        QCOMPARE(playback::panelMusicTypeEntries().at(playback::panelIndexOfCode(code)), name);
}

void TestStatusLines::userFileMarksFollowTheDisc() {
    Offline o;
    o.tab.StatusDisplayTick();
    LinkTestAccess::play(o.link).PlayUserFileBits = 0x81;
    o.tab.StatusDisplayTick();
    auto* marks = o.find<QListWidget>("lstAudioUFile");
    for (int i = 0; i < 8; ++i)
        QCOMPARE(marks->item(i)->checkState() == Qt::Checked, i == 0 || i == 7);
    marks->item(3)->setCheckState(Qt::Checked); // by hand: undone
    QCOMPARE(marks->item(3)->checkState(), Qt::Unchecked);
    marks->item(0)->setCheckState(Qt::Unchecked);
    QCOMPARE(marks->item(0)->checkState(), Qt::Checked);
    QCOMPARE(marks->currentRow(), -1);
}

void TestStatusLines::programModeWidgetsAndWorkingFile() {
    Offline o;
    LinkTestAccess::setLinkState(
        o.link, kLinkUp); // the step read fails without a port, as a failed read would
    LinkTestAccess::timings(o.link).enqMs = 5;
    LinkTestAccess::timings(o.link).controlMs = 5;
    LinkTestAccess::timings(o.link).errorCountdownS = 0;
    LinkTestAccess::play(o.link).PlayMode = 3;
    o.tab.StatusDisplayTick();
    QVERIFY(o.find("lbPGM")->isVisibleTo(&o.tab));
    QVERIFY(o.find("txtPNO")->isVisibleTo(&o.tab));
    LinkTestAccess::play(o.link).PlayProgramStep = 4;
    o.tab.StatusDisplayTick();
    QCOMPARE(o.find<QLineEdit>("txtPNO")->text(), QStringLiteral("04")); // shown all the same

    const QString pgm = o.config.dataPath("temppgm.txt");
    QVERIFY(programfile::write(pgm, {ProgramStep{1, 2}}));
    LinkTestAccess::play(o.link).PlayMode = 0;
    o.tab.StatusDisplayTick();
    QVERIFY(!o.find("lbPGM")->isVisibleTo(&o.tab));
    QVERIFY(!QFile::exists(pgm));
}

void TestStatusLines::changerPanelModeDisablesTheTab() {
    Offline o;
    QSignalSpy leave(&o.tab, &AudioTab::leaveAudioTab);
    o.tab.StatusDisplayTick();
    LinkTestAccess::setModeCode(o.link, 2);
    LinkTestAccess::play(o.link).PlayMode = 3;
    o.tab.StatusDisplayTick();
    QVERIFY(!o.tab.isEnabled());
    QCOMPARE(leave.count(), 1);
    QCOMPARE(o.label("lbAudioPLAYMODE"), QStringLiteral("Track Mode")); // nothing drawn
    LinkTestAccess::setModeCode(o.link, 1);
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbAudioPLAYMODE"), QStringLiteral("Track Mode")); // stays disabled
    o.tab.PrepareAudioTab();                                            // the mode reaction
    o.tab.StatusDisplayTick();
    QCOMPARE(o.label("lbAudioPLAYMODE"), QStringLiteral("Program Mode"));
}

void TestStatusLines::programRecordsAndItems() {
    const QString item = program::listItem(3, "[ 12]", "[  3]");
    QCOMPARE(item, QStringLiteral("P-03 : DISC [ 12], TRACK [  3]"));
    QCOMPARE(item.indexOf("[ 12]"), 12);
    QCOMPARE(item.indexOf("[  3]"), 25);
    QCOMPARE(program::recordOfItem(item), QStringLiteral("[ 12][  3]"));
    QCOMPARE(program::renumbered(item, 10), QStringLiteral("P-10 : DISC [ 12], TRACK [  3]"));
    QCOMPARE(program::renumbered(program::listItem(9, "[  1]", "[ALL]"), 3),
             QStringLiteral("P-03 : DISC [  1], TRACK [ALL]"));
}

QTEST_MAIN(TestStatusLines)
#include "tst_statuslines.moc"
