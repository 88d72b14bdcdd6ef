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
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

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
    template <typename T> T* child(const char* name) {
        return window.findChild<T*>(QLatin1String(name));
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

// Runs a real event loop for a while: the window reacts when the loop goes idle, which a
// processEvents() pass never does.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class TestShellFrame : public QObject {
    Q_OBJECT

private slots:
    void init() { QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear(); }

    void readAllMenuAsksForIt() {
        Fixture f;
        QSignalSpy readAll(&f.window, &MainWindow::readAllRequested);
        f.window.findChild<QAction*>("mnuAllRead")->trigger();
        QCOMPARE(readAll.count(), 1);
    }

    void pagesPlugInAndSwitch() {
        Fixture f;
        auto* titles = new QLabel(QStringLiteral("titles"));
        titles->setMinimumSize(900, 600);
        auto* audio = new QLabel(QStringLiteral("audio"));
        f.window.setTitlesPage(titles);
        f.window.setAudioPage(audio);
        // The stand-in pages are gone.
        QTRY_VERIFY(!f.window.findChild<QWidget*>(QStringLiteral("picStab0")));
        // The picture grows to hold the larger page.
        QVERIFY(f.window.picture()->width() >= 900);
        QCOMPARE(f.window.maximumSize(), f.window.fullSize());

        f.window.pageSwitch(1);
        QVERIFY(titles->isHidden() && !titles->isEnabled());
        QVERIFY(!audio->isHidden() && audio->isEnabled());
        f.window.pageSwitch(2);
        QVERIFY(titles->isHidden() && audio->isHidden());
        f.window.pageSwitch(0);
        QVERIFY(!titles->isHidden() && titles->isEnabled() && audio->isHidden());
    }

    void tabChangeHandling_data() {
        QTest::addColumn<qint16>("mode");
        QTest::addColumn<qint16>("playDisc");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<bool>("audioPrepared");
        QTest::newRow("ready") << qint16(1) << qint16(12) << false << true;
        QTest::newRow("no disc in player") << qint16(1) << qint16(0) << false << false;
        QTest::newRow("panel mode") << qint16(2) << qint16(12) << false << false;
        QTest::newRow("offline") << qint16(1) << qint16(12) << true << false;
    }

    void tabChangeHandling() {
        QFETCH(qint16, mode);
        QFETCH(qint16, playDisc);
        QFETCH(bool, offline);
        QFETCH(bool, audioPrepared);
        Fixture f;
        f.link.setOffline(offline);
        LinkTestAccess::setModeCode(f.link, mode);
        LinkTestAccess::play(f.link).PlayDisc = playDisc;
        RecordingParts parts(f.window);
        QStringList& calls = parts.calls;

        f.window.tabs()->setCurrentIndex(1); // as the user's click
        const QStringList audio{"selected audio", "prepare audio", "status 1 1"};
        QCOMPARE(calls, audioPrepared ? audio : QStringList());
        calls.clear();
        f.window.tabs()->setCurrentIndex(0);
        QCOMPARE(calls, (QStringList{"prepare titles", "status 0 0"}));
        calls.clear();
        f.window.tabs()->setCurrentIndex(1);
        f.window.tabs()->setCurrentIndex(0);
        // Prepared once: later visits only switch the page.
        QCOMPARE(calls.count(QStringLiteral("prepare titles")), 0);
        QCOMPARE(calls.count(QStringLiteral("prepare audio")), 0);
    }

    // A running command disables the picture, and a close waits until it has ended.
    void commandInProgressHoldsTheWindow() {
        Fixture f;
        QSignalSpy closed(&f.window, &MainWindow::closed);
        f.window.show();
        f.link.setCommandInProgress(true);
        f.window.close();
        runEventLoop(30);
        QVERIFY(!f.window.picture()->isEnabled());
        QVERIFY(f.window.isVisible());
        QCOMPARE(closed.count(), 0);
        f.link.setCommandInProgress(false);
        runEventLoop(30);
        QCOMPARE(closed.count(), 1);
    }

    void sizeRule() {
        Fixture f;
        f.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QSize full = f.window.fullSize();
        auto* hbar = f.window.findChild<QScrollBar*>(QStringLiteral("HScroll1"));
        auto* vbar = f.window.findChild<QScrollBar*>(QStringLiteral("VScroll1"));

        // Never larger than the full size.
        f.window.resize(full + QSize(300, 200));
        QTRY_COMPARE(f.window.size(), full);
        QTRY_VERIFY(!hbar->isVisible() && !vbar->isVisible());

        // One pixel narrower: the picture scrolls sideways.
        f.window.resize(full - QSize(1, 0));
        QTRY_VERIFY(hbar->isVisible());
        // Smaller both ways: both bars, and the picture moves with them.
        f.window.resize(full / 2);
        QTRY_VERIFY(hbar->isVisible() && vbar->isVisible());
        hbar->setValue(hbar->maximum());
        QVERIFY(f.window.picture()->x() < 0);

        // A double-click on the picture does nothing; on the window's own surface (the
        // corner between the bars) it restores the full size.
        QTest::mouseDClick(f.window.picture(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(f.window.size(), full / 2);
        QWidget* corner = f.window.findChild<QWidget*>(QStringLiteral("picCorner"));
        QVERIFY(corner && corner->isVisible());
        QTest::mouseDClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_COMPARE(f.window.size(), full);
        QTRY_VERIFY(!hbar->isVisible() && !vbar->isVisible());
    }

    void closing_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel keeps the program") << int(Answer::Cancel) << false;
        QTest::newRow("no") << int(Answer::No) << true;
        QTest::newRow("yes") << int(Answer::Yes) << true;
    }

    void closing() {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        Fixture f;
        const QString workFile = f.config.dataPath(QStringLiteral("temppgm.txt"));
        QVERIFY(test::writeAll(workFile, QByteArray(128, ' ')));
        RecordingParts parts(f.window);
        int asked = 0;
        bool flagDuringQuestion = false;
        parts.answer = [&] {
            ++asked;
            flagDuringQuestion = f.link.commandInProgress();
            return Answer(answer);
        };
        QSignalSpy closed(&f.window, &MainWindow::closed);
        f.window.show();
        f.window.resize(500, 400);
        f.window.move(40, 30);
        QVERIFY(QTest::qWaitForWindowExposed(&f.window));
        const QPoint pos = f.window.pos();
        const QSize size = f.window.size();

        f.window.close();
        QCOMPARE(asked, 1);
        QVERIFY(flagDuringQuestion);
        QVERIFY(!f.link.commandInProgress());
        QVERIFY(!QFileInfo::exists(workFile));
        QCOMPARE(f.window.isVisible(), !closes);
        QCOMPARE(closed.count(), closes ? 1 : 0);
        // Cancel stores nothing; the next start restores the stored twips.
        const auto stored = UserSettings::windowPositionTwips();
        QCOMPARE(stored, closes ? std::optional(QRect(pos * 15, size * 15)) : std::nullopt);
        if (closes) {
            Fixture next;
            next.window.applyPositionTwips(*stored);
            QCOMPARE(QRect(next.window.pos(), next.window.size()), QRect(pos, size));
        }
    }

    void helpPageIsInstalled() {
        Fixture f;
        QVERIFY(f.window.helpPagePath().endsWith(QStringLiteral("/trackfen help contents.htm")));
        // The build puts the page into the program's folder.
        const QString built =
            QStringLiteral(TRACKFEN_BINARY_DIR "/shell/trackfen help contents.htm");
        const QByteArray page = test::readAll(built);
        QVERIFY2(page.contains("<title>TrackFen Help</title>"), qPrintable(built));
    }

    void optionsOfferTheSystemsSerialPorts() {
        Fixture f;
        f.window.show();
        f.window.mnuopt_Click();
        OptionsWindow* options = f.window.optionsWindow();
        QVERIFY(options);
        auto* button = options->findChild<QToolButton*>(QStringLiteral("cmdComPorts2"));
        auto* device = options->findChild<QLineEdit*>(QStringLiteral("txtComDevice2"));
        QVERIFY(button && button->menu() && device);
        // The system's ports, listed once however often the menu opens; none: one disabled
        // entry says so.
        QMenu* menu = button->menu();
        emit menu->aboutToShow();
        emit menu->aboutToShow();
        const auto ports = QSerialPortInfo::availablePorts();
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), qMax<qsizetype>(1, ports.size()));
        QCOMPARE(actions.first()->isEnabled(), !ports.isEmpty());
        if (!ports.isEmpty()) {
            actions.last()->trigger();
            QCOMPARE(device->text(), ports.last().systemLocation());
        }
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

        // Opening again shows the file's values.
        f.window.mnuopt_Click();
        QCOMPARE(folder->text(), newData);
        QVERIFY(static_cast<QRadioButton*>(get("optCom3"))->isChecked());
        QVERIFY(!web->isEnabled());
        // The two switches are kept apart: never-search off, always-search on.
        noWeb->click();
        QVERIFY(web->isEnabled() && web->isChecked());
        static_cast<QPushButton*>(get("cmdOK"))->click();
        QVERIFY(!options->isVisible());
        QCOMPARE(int(f.config.settings.noWebSearch), 0);
        QCOMPARE(int(f.config.settings.alwaysWebSearch), 1);
    }

    void optionsRejectUnusableFolder_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("empty") << QString();
        QTest::newRow("relative") << QStringLiteral("data here");
        QTest::newRow("under a file") << QStringLiteral("FILE/sub");
    }

    void optionsRejectUnusableFolder() {
        QFETCH(QString, folder);
        Fixture f;
        const QString file = f.program.filePath(QStringLiteral("plain"));
        QVERIFY(test::writeAll(file, "x"));
        folder.replace(QStringLiteral("FILE"), file);
        const QByteArray before = test::readAll(f.config.configPath());
        f.window.mnuopt_Click();
        OptionsWindow* options = f.window.optionsWindow();
        options->findChild<QLineEdit*>("dltDrive")->setText(folder);
        options->findChild<QPushButton*>("cmdOK")->click();
        QCOMPARE(f.ui.texts(QStringLiteral("message")), QStringList{msg(383)});
        QVERIFY(options->isVisible());
        QCOMPARE(test::readAll(f.config.configPath()), before);
    }

    void optionsUpdateBringsOfflineLinkUp() {
        SimProcess sim;
        QVERIFY2(sim.start(test::sourcePath(QStringLiteral("resources/demo-library.json"))),
                 qPrintable(sim.lastError()));
        Fixture f;
        f.window.show();
        f.window.enterTextOnlyMode();
        QVERIFY(!f.window.audioTabEnabled());
        f.window.mnuopt_Click();
        OptionsWindow* options = f.window.optionsWindow();
        options->findChild<QRadioButton*>("optCom2")->setChecked(true);
        options->findChild<QLineEdit*>("txtComDevice2")->setText(sim.portPath());
        options->findChild<QPushButton*>("cmdOK")->click();
        QVERIFY2(f.ui.shown.isEmpty(), qPrintable(f.ui.texts("message").join('|')));
        QCOMPARE(f.link.linkState(), kLinkUp);
        QCOMPARE(f.link.linkBusy(), qint16(kLinkIdle));
        QVERIFY(!f.link.linkEstablished()); // only start-up and reconnect set it
        // The changer's mode report then opens the audio tab.
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
