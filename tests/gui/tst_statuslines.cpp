// The info lines of both tabs and the status display's rendering, without a changer: the
// play values are set as the link would store them from pushed frames. The texts themselves
// are the play tables' (unit.tst_playtables); here, that the tab shows them, readably.

#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "link/link.h"
#include "model/playtables.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/infolines.h"
#include "store/config.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
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

    Offline() {
        config.settings.dataDir = dir.path() + QStringLiteral("/data/");
        QDir().mkpath(config.settings.dataDir);
        lines.setTitlesLabels(&textInfo, &backTextInfo);
        lines.setAudioLabels(tab.infoLabel(), tab.playInfoLabel());
        lines.setSelectedTab([this] { return selectedTab; });
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
    // The numbers and switch states added to a status text, on the tab each belongs to.
    void statusSuffixes() {
        ScriptedUi ui;
        Link link{ui};
        InfoLines lines{link};
        lines.setEditorDisc([] { return 33; });
        lines.setAudioSelection([] { return 12; }, [] { return 7; });
        const struct {
            int tab, index, playMode, repeat;
            const char* text;
        } rows[] = {
            {1, 20, 0, 0, "You have selected titles No 7"},
            {0, 19, 0, 0, "You have selected CD No "}, // no disc number on the titles tab
            {0, 7, 0, 0, "You are reloading the data from disc No  33"},
            {1, 7, 0, 0, "You are reloading the data from disc No  "},
            {1, 23, 0, 0, "You have selected random ON"},
            {1, 23, 2, 0, "You have selected random OFF"},
            {1, 26, 0, 5, "You have selected repeat OFF"},
        };
        for (const auto& row : rows) {
            LinkTestAccess::play(link).PlayMode = qint16(row.playMode);
            LinkTestAccess::play(link).PlayRepeat = qint16(row.repeat);
            QCOMPARE(lines.statusLine(row.tab, row.index), QString(row.text));
        }
    }

    void playModeRendering() {
        // What each mode leaves enabled: program, music type, user file.
        const char* const buttons[] = {"111", "000", "000", "100", "000",
                                       "010", "010", "001", "001"};
        for (int mode = 0; mode <= 8; ++mode) {
            Offline o;
            LinkTestAccess::play(o.link).PlayMode = qint16(mode);
            o.tab.StatusDisplayTick();
            QCOMPARE(o.label("lbAudioPLAYMODE"), playback::playModeName(mode));
            QCOMPARE(o.label("lbRandom"), playback::randomText(mode));
            const QString shown = QString::number(o.find("cmdPGMPlay")->isEnabled()) +
                                  QString::number(o.find("cmdMtypePlay")->isEnabled()) +
                                  QString::number(o.find("cmdUFPlay")->isEnabled());
            QCOMPARE(shown, QString(buttons[mode]));
            // Disc and track can be chosen in plain track mode only.
            QCOMPARE(o.find("cmbDTTL")->isEnabled(), mode == 0);
            QCOMPARE(o.find("txtDISC")->isEnabled(), mode == 0);
            QCOMPARE(o.find("txtTTTL")->isVisibleTo(&o.tab), mode != 0);
        }
    }

    // The play state, the repeat indicator, the music type and the user-file marks as the
    // changer reports them; the changer's own panel mode; the info line's status texts.
    void drawingAndInfoLines() {
        Offline o;
        QSignalSpy leave(&o.tab, &AudioTab::leaveAudioTab);
        o.tab.StatusDisplayTick();
        for (const int state : {0x40, 0x50, 0x80, 0x33}) {
            LinkTestAccess::play(o.link).PlayStateCode = qint16(state);
            o.tab.StatusDisplayTick();
            QCOMPARE(o.tab.playInfoLabel()->text(), playback::playStateText(state));
        }
        LinkTestAccess::play(o.link).PlayRepeat = 1;
        o.tab.StatusDisplayTick();
        QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("ON"));
        LinkTestAccess::play(o.link).PlayRepeat = 0;
        LinkTestAccess::play(o.link).PlayMusicType = 4;
        LinkTestAccess::play(o.link).PlayUserFileBits = 0x81;
        o.tab.StatusDisplayTick();
        QCOMPARE(o.label("lbRepeatONOFF"), QStringLiteral("OFF"));
        QCOMPARE(o.label("lbMtype"), QStringLiteral("Children 's Music"));
        auto* marks = o.find<QListWidget>("lstAudioUFile");
        for (int i = 0; i < 8; ++i)
            QCOMPARE(marks->item(i)->checkState() == Qt::Checked, i == 0 || i == 7);

        // The changer's own panel disables the tab until the mode reaction prepares it again.
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

        // A status text stays six seconds.
        o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, 4);
        QCOMPARE(o.tab.infoLabel()->text(), QStringLiteral("You have updated the file name."));
        QVERIFY(o.lines.displayTimer().isActive());
        QCOMPARE(o.lines.displayTimer().interval(), 6000);
        o.lines.setIntervals(60, 20);
        LinkTestAccess::play(o.link).PlayStateCode = 0x60;
        o.tab.StatusDisplayTick(); // a mode change is drawn on a tick of its own
        o.tab.StatusDisplayTick();
        QCOMPARE(o.tab.playInfoLabel()->text(), QStringLiteral("Now search music. Please Wait..."));
        o.lines.ShowStatusMessage(StatusMessenger::kAudioTab, 22);
        QCOMPARE(o.tab.infoLabel()->text(), QStringLiteral("Music is stopped."));
        QTRY_COMPARE(o.tab.infoLabel()->text(), QStringLiteral("Now search music. Please Wait..."));

        // The titles tab: its standing text, or text 900 when there is none.
        o.selectedTab = StatusMessenger::kTitlesTab;
        o.lines.ShowStatusMessage(StatusMessenger::kTitlesTab, 9);
        QCOMPARE(o.textInfo.text(), QStringLiteral("You have copied the titles."));
        QTRY_COMPARE(o.textInfo.text(), QStringLiteral("You have downloaded CD titles."));
        o.backTextInfo.setText(QStringLiteral("<b>Disc</b> 5"));
        QTRY_COMPARE(o.textInfo.text(), QStringLiteral("<b>Disc</b> 5"));
        QCOMPARE(o.textInfo.textFormat(), Qt::PlainText);
    }
};

QTEST_MAIN(TestStatusLines)
#include "tst_statuslines.moc"
