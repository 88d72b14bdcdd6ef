// The main window's frame (tabs, page switch, menus, size rule, closing, position) and the
// options window, on a window built without the start-up sequence.

#include "base/catalogue.h"
#include "common/linktestaccess.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "operations/lookupservice.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/optionswindow.h"
#include "store/config.h"
#include "store/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tf;
using test::ScriptedUi;
using test::SimProcess;

namespace {

using Answer = UserInterface::Answer;

// A main window with real parts around it, in a program folder of its own.
struct Fixture {
    QTemporaryDir program;
    ScriptedUi ui;
    Configuration config{program.path()};
    Link link{ui};
    NullLookupService lookup;
    AppContext context{link, config, ui, lookup};
    MainWindow window{context};

    Fixture() {
        config.LOAD_CONFIG();
        link.setOffline(true);
    }
};

// The window's parts, recording what the window asks of them in order.
struct RecordingParts : MainWindowParts, StatusMessenger {
    MainWindow& window;
    QStringList calls;
    std::function<Answer()> answer = [] {
        return Answer::Ok;
    };

    explicit RecordingParts(MainWindow& w) : window(w) { window.setParts(this); }
    ~RecordingParts() override { window.setParts(nullptr); }

    bool startUpConversion() override { return true; }
    void fillDiscListAllSlots() override {}
    void afterModeReaction() override {}
    void prepareTitlesTab() override {
        calls << QStringLiteral("prepare titles");
        window.openPanelFlags |= 1;
        window.pageSwitch(0);
    }
    void prepareAudioTab() override {
        calls << QStringLiteral("prepare audio");
        window.openPanelFlags |= 2;
        window.pageSwitch(1);
    }
    void audioTabSelected() override { calls << QStringLiteral("selected audio"); }
    StatusMessenger& statusLines() override { return *this; }
    void ShowStatusMessage(int tab, int index) override {
        calls << QStringLiteral("status %1 %2").arg(tab).arg(index);
    }
    Answer askSaveTitles() override { return answer(); }
};

} // namespace

class TestShellFrame : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear(); }

    // The audio tab is prepared only for a changer in mode 0 that has reported its player;
    // each tab is prepared once, later visits only switch the page. The read-all menu asks for
    // it.
    void tabChangeHandling() {
        const struct {
            qint16 mode, playDisc;
            bool offline;
        } refused[] = {{1, 0, false}, {2, 12, false}, {1, 12, true}};
        for (const auto& r : refused) {
            Fixture f;
            f.link.setOffline(r.offline);
            LinkTestAccess::setModeCode(f.link, r.mode);
            LinkTestAccess::play(f.link).PlayDisc = r.playDisc;
            RecordingParts parts(f.window);
            f.window.tabs()->setCurrentIndex(1); // as the user's click
            QCOMPARE(parts.calls, QStringList());
        }
        Fixture f;
        auto* titles = new QLabel(QStringLiteral("titles"));
        auto* audio = new QLabel(QStringLiteral("audio"));
        f.window.setTitlesPage(titles);
        f.window.setAudioPage(audio);
        f.link.setOffline(false);
        LinkTestAccess::setModeCode(f.link, 1);
        LinkTestAccess::play(f.link).PlayDisc = 12;
        RecordingParts parts(f.window);
        QStringList& calls = parts.calls;
        f.window.tabs()->setCurrentIndex(1);
        QCOMPARE(calls, (QStringList{"selected audio", "prepare audio", "status 1 1"}));
        calls.clear();
        f.window.tabs()->setCurrentIndex(0);
        QCOMPARE(calls, (QStringList{"prepare titles", "status 0 0"}));
        calls.clear();
        f.window.tabs()->setCurrentIndex(1);
        f.window.tabs()->setCurrentIndex(0);
        QCOMPARE(calls, (QStringList{"selected audio", "status 1 1", "status 0 0"}));
        QVERIFY(!titles->isHidden() && titles->isEnabled() && audio->isHidden());
        f.window.tabs()->setCurrentIndex(1);
        QVERIFY(titles->isHidden() && !titles->isEnabled());
        QVERIFY(!audio->isHidden() && audio->isEnabled());

        QSignalSpy readAll(&f.window, &MainWindow::readAllRequested);
        f.window.findChild<QAction*>("mnuAllRead")->trigger();
        QCOMPARE(readAll.count(), 1);
    }

    // A close waits for a running command (the picture is disabled meanwhile), then asks about
    // unsaved titles while the link is held. Cancel keeps the window and stores nothing; No
    // closes it and stores its place in twips for the next start.
    void closing() {
        Fixture f;
        const QString workFile = f.config.dataPath(QStringLiteral("temppgm.txt"));
        QVERIFY(test::writeAll(workFile, QByteArray(128, ' ')));
        RecordingParts parts(f.window);
        QList<bool> heldDuringQuestion;
        Answer answer = Answer::Cancel;
        parts.answer = [&] {
            heldDuringQuestion << f.link.commandInProgress();
            return answer;
        };
        QSignalSpy closed(&f.window, &MainWindow::closed);
        f.window.show();
        f.window.resize(500, 400);
        f.window.move(40, 30);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QPoint pos = f.window.pos();
        const QSize size = f.window.size();

        f.link.setCommandInProgress(true);
        f.window.close();
        // A real event loop for a while: the window reacts when the loop goes idle, which a
        // processEvents() pass never does.
        QEventLoop idle;
        QTimer::singleShot(30, &idle, &QEventLoop::quit);
        idle.exec();
        QVERIFY(!f.window.picture()->isEnabled());
        QVERIFY(heldDuringQuestion.isEmpty());
        f.link.setCommandInProgress(false);
        QTRY_COMPARE(heldDuringQuestion.size(), 1); // the close taken up again, and cancelled
        QVERIFY(!QFileInfo::exists(workFile));
        QVERIFY(f.window.isVisible());
        QCOMPARE(closed.count(), 0);
        QVERIFY(!UserSettings::windowPositionTwips());
        answer = Answer::No;
        f.window.close();
        QCOMPARE(heldDuringQuestion, (QList<bool>{true, true}));
        QVERIFY(!f.link.commandInProgress());
        QVERIFY(!f.window.isVisible());
        QCOMPARE(closed.count(), 1);
        const auto stored = UserSettings::windowPositionTwips();
        QCOMPARE(stored, std::optional(QRect(pos * 15, size * 15)));
        Fixture next;
        next.window.applyPositionTwips(*stored);
        QCOMPARE(QRect(next.window.pos(), next.window.size()), QRect(pos, size));
    }

    void optionsUpdateWritesAndRereads() {
        Fixture f;
        f.window.show();
        f.window.mnuopt_Click();
        OptionsWindow* options = f.window.optionsWindow();
        QVERIFY(options && options->isVisible());
        auto get = [options](const char* name) {
            return options->findChild<QWidget*>(name);
        };
        auto* folder = static_cast<QLineEdit*>(get("dltDrive"));
        QCOMPARE(folder->text() + QDir::separator(), f.config.settings.dataDir);
        QVERIFY(static_cast<QRadioButton*>(get("optCom1"))->isChecked());

        // A folder that cannot be used (relative, or under a file) is refused; nothing is written.
        const QString file = f.program.filePath(QStringLiteral("plain"));
        QVERIFY(test::writeAll(file, "x"));
        const QByteArray before = test::readAll(f.config.configPath());
        for (const QString& unusable :
             {QStringLiteral("data here"), file + QStringLiteral("/sub")}) {
            folder->setText(unusable);
            static_cast<QPushButton*>(get("cmdOK"))->click();
            QVERIFY(options->isVisible());
        }
        QCOMPARE(f.ui.texts(QStringLiteral("message")), (QStringList{msg(383), msg(383)}));
        QCOMPARE(test::readAll(f.config.configPath()), before);
        f.ui.shown.clear();

        const QString newData = f.program.filePath(QStringLiteral("library"));
        folder->setText(newData);
        static_cast<QRadioButton*>(get("optCom3"))->setChecked(true);
        static_cast<QLineEdit*>(get("txtComDevice3"))->setText(QStringLiteral("/dev/ttyUSB7"));
        auto* web = static_cast<QCheckBox*>(get("chkWeb"));
        auto* noWeb = static_cast<QCheckBox*>(get("chkNoWeb"));
        web->setChecked(true);
        noWeb->click();
        QVERIFY(!web->isEnabled() && web->isChecked()); // greyed, tick kept
        static_cast<QCheckBox*>(get("chkInit"))->setChecked(true);

        QSignalSpy updated(options, &OptionsWindow::updated);
        static_cast<QPushButton*>(get("cmdOK"))->click();
        QCOMPARE(updated.count(), 1);
        QVERIFY(!options->isVisible());
        // Written (a second reader sees it), the new folder made, and the device kept for COM 3.
        Configuration reread(f.program.path());
        reread.LOAD_CONFIG();
        const ConfigSettings& s = reread.settings;
        QCOMPARE(s.dataDir, newData + QDir::separator());
        QCOMPARE((QList<int>{s.comPort, s.silent, s.init, s.noWebSearch, s.alwaysWebSearch}),
                 (QList<int>{3, 0, 1, 1, 1}));
        QCOMPARE(f.config.settings.comPort, qint16(3));
        QVERIFY(QFileInfo(newData).isDir());
        QCOMPARE(UserSettings::comDevice(3), QStringLiteral("/dev/ttyUSB7"));
        // Offline, the chosen port was tried (and did not open; the reason follows).
        const QStringList shown = f.ui.texts(QStringLiteral("message"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].startsWith(msg(366) + '\r' + msg(367) + "\r\r"));

        // Opening again shows the file's values. The two switches are kept apart (never-search
        // off, always-search on), and with a changer on the chosen port the update brings the
        // offline link up; the changer's mode report then opens the audio tab.
        SimProcess sim;
        QVERIFY2(sim.start(test::sourcePath(QStringLiteral("resources/demo-library.json"))),
                 qPrintable(sim.lastError()));
        f.window.enterTextOnlyMode();
        QVERIFY(!f.window.audioTabEnabled());
        f.ui.shown.clear();
        f.window.mnuopt_Click();
        QCOMPARE(folder->text(), newData);
        QVERIFY(static_cast<QRadioButton*>(get("optCom3"))->isChecked());
        QVERIFY(!web->isEnabled());
        noWeb->click();
        QVERIFY(web->isEnabled() && web->isChecked());
        static_cast<QRadioButton*>(get("optCom2"))->setChecked(true);
        static_cast<QLineEdit*>(get("txtComDevice2"))->setText(sim.portPath());
        static_cast<QPushButton*>(get("cmdOK"))->click();
        QVERIFY(!options->isVisible());
        QCOMPARE(int(f.config.settings.noWebSearch), 0);
        QCOMPARE(int(f.config.settings.alwaysWebSearch), 1);
        QVERIFY2(f.ui.shown.isEmpty(), qPrintable(f.ui.texts("message").join('|')));
        QCOMPARE(f.link.linkState(), kLinkUp);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
        QVERIFY(!f.link.linkEstablished()); // only start-up and reconnect set it
        QTRY_VERIFY_WITH_TIMEOUT(f.window.audioTabEnabled(), 10000);
        QCOMPARE(f.window.tabs()->currentIndex(), 1);
    }
};

int main(int argc, char** argv) {
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestShellFrame test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell_frame.moc"
