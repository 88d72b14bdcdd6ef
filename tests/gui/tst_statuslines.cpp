// The info lines of both tabs and the status display's rendering, without a changer: the
// play values are set as the link would store them from pushed frames. The texts themselves
// are the play tables' (unit.tst_playtables); here, that the tab shows them, readably.

#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "operations/programlist.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "playback/widgets/statusdisplay.h"
#include "store/config.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

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

double luminance(const QColor& c) {
    auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// Every text widget on the panel whose colour stands out from what it is drawn on by less
// than 4.5:1; empty when all read.
QStringList unreadable(QFrame* panel) {
    QStringList found;
    auto check = [&](QWidget* w, QPalette::ColorRole fore, const QColor& back) {
        for (const auto group : {QPalette::Active, QPalette::Disabled}) {
            const double a = luminance(w->palette().color(group, fore)), b = luminance(back);
            const double ratio = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
            if (ratio < 4.5)
                found << QStringLiteral("%1 (%2): %3:1").arg(w->objectName()).arg(group).arg(ratio);
        }
    };
    for (QLabel* w : panel->findChildren<QLabel*>())
        check(w, QPalette::WindowText, panel->palette().color(QPalette::Window));
    for (QLineEdit* w : panel->findChildren<QLineEdit*>())
        check(w, QPalette::Text, w->palette().color(QPalette::Base));
    for (QComboBox* w : panel->findChildren<QComboBox*>())
        check(w, QPalette::ButtonText, w->palette().color(QPalette::Button));
    for (QListWidget* w : panel->findChildren<QListWidget*>())
        check(w, QPalette::Text, w->palette().color(QPalette::Base));
    return found;
}

} // namespace

class TestStatusLines : public QObject {
    Q_OBJECT
private slots:
    void statusSuffixes_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("playMode");
        QTest::addColumn<int>("repeat");
        QTest::addColumn<QString>("text");
        QTest::newRow("disc on audio") << 1 << 19 << 0 << 0 << "You have selected CD No 12";
        QTest::newRow("track on audio") << 1 << 20 << 0 << 0 << "You have selected titles No 7";
        QTest::newRow("disc on titles, no number")
            << 0 << 19 << 0 << 0 << "You have selected CD No ";
        QTest::newRow("reload on titles")
            << 0 << 7 << 0 << 0 << "You are reloading the data from disc No  33";
        QTest::newRow("load on titles")
            << 0 << 8 << 0 << 0 << "You are loading the data from disc No 33";
        QTest::newRow("reload on audio, no number")
            << 1 << 7 << 0 << 0 << "You are reloading the data from disc No  ";
        QTest::newRow("random from mode 0") << 1 << 23 << 0 << 0 << "You have selected random ON";
        QTest::newRow("random from mode 2") << 1 << 23 << 2 << 0 << "You have selected random OFF";
        QTest::newRow("repeat while off") << 1 << 26 << 0 << 0 << "You have selected repeat ON";
        QTest::newRow("repeat while on") << 1 << 26 << 0 << 5 << "You have selected repeat OFF";
        QTest::newRow("plain text") << 1 << 21 << 0 << 0 << "Music is playing.";
    }

    void statusSuffixes() {
        QFETCH(int, tab);
        QFETCH(int, index);
        QFETCH(int, playMode);
        QFETCH(int, repeat);
        QFETCH(QString, text);
        ScriptedUi ui;
        Link link{ui};
        InfoLines lines{link};
        lines.setEditorDisc([] { return 33; });
        lines.setAudioSelection([] { return 12; }, [] { return 7; });
        LinkTestAccess::play(link).PlayMode = qint16(playMode);
        LinkTestAccess::play(link).PlayRepeat = qint16(repeat);
        QCOMPARE(lines.statusLine(tab, index), text);
    }

    void revertsToStandingText() {
        Offline o;
        // A status text stays six seconds, in the font its length takes.
        o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, 4);
        QCOMPARE(o.tab.infoLabel()->text(), QStringLiteral("You have updated the file name."));
        QCOMPARE(o.tab.infoLabel()->font().pointSize(), 14);
        QVERIFY(o.lines.displayTimer().isActive());
        QCOMPARE(o.lines.displayTimer().interval(), 6000);
        o.lines.setIntervals(60, 20);
        LinkTestAccess::play(o.link).PlayStateCode = 0x60;
        o.tab.StatusDisplayTick(); // mode drawn first
        o.tab.StatusDisplayTick(); // then the state
        QCOMPARE(o.tab.playInfoLabel()->text(), QStringLiteral("Now search music. Please Wait..."));
        QCOMPARE(o.tab.playInfoLabel()->font().pointSize(), 15);
        o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, 22);
        QCOMPARE(o.tab.infoLabel()->text(), QStringLiteral("Music is stopped."));
        QCOMPARE(o.tab.infoLabel()->font().pointSize(), 22);
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

    void playModeRendering_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("buttons"); // program, music type, user file
        QTest::newRow("0") << 0 << "111";
        QTest::newRow("1") << 1 << "000";
        QTest::newRow("2") << 2 << "000";
        QTest::newRow("3") << 3 << "100";
        QTest::newRow("4") << 4 << "000";
        QTest::newRow("5") << 5 << "010";
        QTest::newRow("6") << 6 << "010";
        QTest::newRow("7") << 7 << "001";
        QTest::newRow("8") << 8 << "001";
    }

    void playModeRendering() {
        QFETCH(int, mode);
        QFETCH(QString, buttons);
        Offline o;
        LinkTestAccess::play(o.link).PlayMode = qint16(mode);
        o.tab.StatusDisplayTick();
        QCOMPARE(o.label("lbAudioPLAYMODE"), playback::playModeName(mode));
        QCOMPARE(o.label("lbRandom"), playback::randomText(mode));
        QCOMPARE(o.find("lbRandom")->property("lit").toBool(), playback::randomLit(mode));
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
        QCOMPARE(o.label("lbAudioPLAYMODE"), playback::playModeName(mode));
        QCOMPARE(o.label("lbRandom"), QStringLiteral("OFF"));
    }

    // The play state, the repeat indicator and the music type as the changer reports them.
    void playStateAndIndicators() {
        Offline o;
        o.tab.StatusDisplayTick();
        for (const int state : {0x40, 0x50, 0x80, 0x33}) {
            LinkTestAccess::play(o.link).PlayStateCode = qint16(state);
            o.tab.StatusDisplayTick();
            const QString text = playback::playStateText(state);
            QCOMPARE(o.tab.playInfoLabel()->text(), text);
            QCOMPARE(o.tab.playInfoLabel()->font().pointSize(), playback::playInfoPointSize(text));
        }
        LinkTestAccess::play(o.link).PlayRepeat = 1;
        o.tab.StatusDisplayTick();
        QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("ON"));
        QVERIFY(o.find("lbRepeatONOFF")->property("lit").toBool());
        LinkTestAccess::play(o.link).PlayRepeat = 0;
        LinkTestAccess::play(o.link).PlayMusicType = 4;
        o.tab.StatusDisplayTick();
        QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("OFF"));
        QCOMPARE(o.label("lbMtype"), QStringLiteral("Children 's Music"));
    }

    void userFileMarksFollowTheDisc() {
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

    void programModeWidgetsAndWorkingFile() {
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

    void changerPanelModeDisablesTheTab() {
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

    // The now-playing area reads under any desktop theme, the red "ON" indicators included.
    void nowPlayingReadsUnderAnyTheme_data() {
        QTest::addColumn<bool>("darkTheme");
        QTest::newRow("light desktop") << false;
        QTest::newRow("dark desktop") << true;
    }

    void nowPlayingReadsUnderAnyTheme() {
        QFETCH(bool, darkTheme);
        const QPalette desktop = QApplication::palette();
        if (darkTheme) {
            QPalette dark = desktop;
            dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
            dark.setColor(QPalette::WindowText, QColor(0x10, 0x10, 0x10)); // a theme's worst
            dark.setColor(QPalette::Base, QColor(0x30, 0x30, 0x30));
            QApplication::setPalette(dark);
        }
        Offline o;
        auto* panel = o.find<QFrame>("fraNowPlaying");
        QVERIFY(panel);
        // The indicators, the play mode, music type, disc, track and program step are on it.
        for (const char* name : {"lbRandom", "lbRepeatONOFF", "lbAudioPLAYMODE", "lbMtype",
                                 "txtDISC", "cmbDTTL", "txtTRACK", "cmbTTTL", "txtPNO"})
            QVERIFY2(panel->findChild<QWidget*>(QLatin1String(name)), name);
        o.tab.StatusDisplayTick();
        QVERIFY2(unreadable(panel).isEmpty(), qPrintable(unreadable(panel).join("; ")));
        LinkTestAccess::play(o.link).PlayMode = 1;
        LinkTestAccess::play(o.link).PlayRepeat = 1;
        o.tab.StatusDisplayTick(); // a mode change is drawn alone
        o.tab.StatusDisplayTick();
        for (const char* name : {"lbRandom", "lbRepeatONOFF"})
            QCOMPARE(o.find(name)->palette().color(QPalette::WindowText), QColor(0xff, 0x00, 0x00));
        QVERIFY2(unreadable(panel).isEmpty(), qPrintable(unreadable(panel).join("; ")));
        QApplication::setPalette(desktop);
    }
};

QTEST_MAIN(TestStatusLines)
#include "tst_statuslines.moc"
