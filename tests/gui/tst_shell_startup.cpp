// Start-up from process entry to a ready main window: the one-instance rule, first-run
// configuration, initial instructions, the proxy question and window, the lookup
// component's hand-over, and the link start-up offline and against the changer simulator.

#include "base/catalogue.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/link.h"
#include "lookup/cddbsettings.h"
#include "lookup/widgets/passwordstore.h"
#include "lookup/widgets/proxywindow.h"
#include "shell/singleinstance.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/splashwindow.h"
#include "store/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using test::ScriptedUi;
using test::SimProcess;

namespace {

using Answer = UserInterface::Answer;

// Whether config.KWD, as the next start reads it, has the proxy question answered.
int proxySet(const QString& programDir) {
    Configuration config(programDir);
    config.LOAD_CONFIG();
    return config.settings.proxySet;
}

// config.KWD as a later start finds it: proxy question answered, defaults otherwise.
void writeAnsweredConfig(const QString& programDir, bool init = false) {
    Configuration config(programDir);
    config.LOAD_CONFIG();
    OptionsValues options;
    options.folderPath = config.settings.dataDir.chopped(1);
    options.comSelected[0] = true;
    options.init = init;
    QVERIFY(config.WriteConfigFromOptions(options));
    QVERIFY(config.MarkProxyQuestionAnswered());
}

// Stands in for the program's parts: counts the disc-list conversions, which fail, and fills.
struct ConversionParts : MainWindowParts, StatusMessenger {
    int conversions = 0;
    int filled = 0;
    bool startUpConversion() override {
        ++conversions;
        return false;
    }
    void fillDiscListAllSlots() override { ++filled; }
    void afterModeReaction() override {}
    void prepareTitlesTab() override {}
    void prepareAudioTab() override {}
    void audioTabSelected() override {}
    StatusMessenger& statusLines() override { return *this; }
    void ShowStatusMessage(int, int) override {}
    UserInterface::Answer askSaveTitles() override { return UserInterface::Answer::Ok; }
};

} // namespace

class TestShellStartup : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
        // No changer unless a test sets one up.
        UserSettings::setComDevice(1, m_dir.filePath(QStringLiteral("no-such-tty")));
    }

    void secondInstanceChangesNothing() {
        QTemporaryDir program;
        SingleInstance first(program.path());
        QVERIFY(first.tryLock());

        ScriptedUi ui;
        Application app(program.path(), ui);
        QVERIFY(!app.start());
        QCOMPARE(ui.texts(QStringLiteral("message")), QStringList{msg(302)});
        QVERIFY(!app.splash());
        // Nothing read or written: only the first instance's lock is there.
        QCOMPARE(QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("trackfen.lock")});

        // Once the first instance has gone, the next start goes ahead.
        first = SingleInstance(program.path());
        Application again(program.path(), ui);
        again.splashDelayMs = 60000;
        QVERIFY(again.start());
    }

    void laterStartAsksNothing_data() {
        QTest::addColumn<bool>("init");
        QTest::addColumn<bool>("discData");
        QTest::addColumn<QByteArray>("proxyHandOver"); // proxy.dt as a later start finds it
        QTest::newRow("no master file") << false << false << QByteArray();
        QTest::newRow("no master file, INIT 1") << true << false << QByteArray();
        // A hand-over cut short (no client name) does not stop the start.
        QTest::newRow("master file, short proxy hand-over")
            << false << true << QByteArray("proxy.example\r\npw\r\nnot-a-port\r\n");
    }

    void laterStartAsksNothing() {
        QFETCH(bool, init);
        QFETCH(bool, discData);
        QFETCH(QByteArray, proxyHandOver);
        QTemporaryDir program;
        writeAnsweredConfig(program.path(), init);
        if (discData)
            QVERIFY(test::writeAll(program.filePath(QStringLiteral("data/discdata.txt")), "x\r\n"));
        if (!proxyHandOver.isEmpty())
            QVERIFY(test::writeAll(program.filePath(QStringLiteral("proxy.dt")), proxyHandOver));
        ScriptedUi ui;
        Application app(program.path(), ui);
        app.splashDelayMs = 0;
        QVERIFY(app.start());
        QTRY_VERIFY(app.mainWindow());
        QStringList expected; // the initial instructions, without a master file or INIT 1
        if (!init && !discData)
            expected << msg(303) + QLatin1Char('\r') + msg(304);
        // No proxy question; only the port failure of the offline start follows.
        expected << msg(366) + QLatin1Char('\r') + msg(367);
        QStringList shown = ui.texts(QStringLiteral("message"));
        for (QString& text : shown)
            text = text.section(QStringLiteral("\r\r"), 0, 0); // the reason is the link's
        QCOMPARE(shown, expected);
        MainWindow* window = app.mainWindow();
        // Settings store empty: no stored position, so the window opens at its full size
        // (not at the zero size an empty position would give).
        QCOMPARE(window->size(), window->fullSize());
        // Offline: titles only.
        QCOMPARE(app.link().linkBusy(), qint16(kLinkOffline));
        QVERIFY(window->isVisible() && window->tabs()->isVisible());
        QCOMPARE(window->tabs()->currentIndex(), 0);
        QVERIFY(!window->audioTabEnabled());
        if (!proxyHandOver.isEmpty()) {
            QCOMPARE(app.lookupOptions().proxy.server, QStringLiteral("proxy.example"));
            QCOMPARE(app.lookupOptions().proxy.userName, QString());
            QCOMPARE(app.lookupOptions().networkProxy().port(),
                     quint16(LookupOptions::kDefaultProxyPort));
            QVERIFY(!QFileInfo::exists(program.filePath(QStringLiteral("proxy.dt"))));
        }
        window->close();
    }

    // The first run makes the configuration and the user-file names, shows the initial
    // instructions, then asks about a proxy. No: the main window opens without one. Yes: the
    // proxy window, which refuses an entry without a client name; its OK hands the proxy to
    // the lookup component, which keeps it from then on (the password out of the settings
    // file); its Cancel ends the program and the question comes back next time.
    void firstRun_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("no proxy") << int(Answer::No) << false;
        QTest::newRow("proxy window OK") << int(Answer::Yes) << false;
        QTest::newRow("proxy window Cancel ends the program") << int(Answer::Yes) << true;
    }

    void firstRun() {
        QFETCH(int, answer);
        QFETCH(bool, cancel);
        QTemporaryDir program;
        ScriptedUi ui;
        ui.answers = {Answer::Ok, Answer(answer)}; // initial instructions, proxy question
        Application app(program.path(), ui);
        composeProgram(app);
        QSignalSpy quit(&app, &Application::quitRequested);
        app.splashDelayMs = 10;
        QVERIFY(app.start());
        QVERIFY(app.splash() && app.splash()->isVisible());
        QVERIFY(QFileInfo::exists(program.filePath(QStringLiteral("config.KWD"))));
        QVERIFY(QFileInfo::exists(program.filePath(QStringLiteral("data/ufn.txt"))));
        QCOMPARE(ui.texts(QStringLiteral("message")),
                 QStringList{msg(303) + QLatin1Char('\r') + msg(304)});
        QCOMPARE(proxySet(program.path()), 0);
        if (Answer(answer) == Answer::No) {
            QTRY_VERIFY(app.mainWindow());
            QVERIFY(!app.splash());
            QCOMPARE(ui.texts(QStringLiteral("message")).value(1), msg(msgid::ProxyQuestion));
            QCOMPARE(proxySet(program.path()), 1);
            // The lookup component knows where the program folder is.
            QCOMPARE(app.lookupOptions().folder, program.path());
            QVERIFY(!app.lookupOptions().proxy.isSet());
            app.mainWindow()->close();
            return;
        }
        QTRY_VERIFY(app.proxyWindow() && app.proxyWindow()->isVisible());
        QVERIFY(!app.mainWindow());
        ProxyWindow* proxy = app.proxyWindow();
        auto edit = [proxy](const char* name) {
            return proxy->findChild<QLineEdit*>(QLatin1String(name));
        };

        // Client name missing: message 383, every field emptied, nothing written.
        edit("txtProxyName")->setText(QStringLiteral("proxy.example"));
        edit("txtProxyPort")->setText(QStringLiteral("3128"));
        edit("txtPassWord")->setText(QStringLiteral("secret"));
        proxy->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        QCOMPARE(ui.texts(QStringLiteral("message")).last(), msg(383));
        for (const char* name : {"txtProxyName", "txtProxyPort", "txtClientName", "txtPassWord"})
            QVERIFY2(edit(name)->text().isEmpty(), name);
        QVERIFY(!QFileInfo::exists(program.filePath(QStringLiteral("proxy.dt"))));
        QVERIFY(proxy->isVisible());

        edit("txtProxyName")->setText(QStringLiteral("proxy.example"));
        if (cancel) {
            proxy->findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
            QCOMPARE(quit.count(), 1);
            QVERIFY(!proxy->isVisible());
            QVERIFY(!app.mainWindow());
            QVERIFY(!QFileInfo::exists(program.filePath(QStringLiteral("proxy.dt"))));
            // The question comes back next time.
            QCOMPARE(proxySet(program.path()), 0);
            return;
        }
        edit("txtProxyPort")->setText(QStringLiteral("3128"));
        edit("txtClientName")->setText(QStringLiteral("fen"));
        edit("txtPassWord")->setText(QStringLiteral("secret"));
        QCOMPARE(edit("txtPassWord")->echoMode(), QLineEdit::Password);
        proxy->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        QCOMPARE(proxySet(program.path()), 1);
        QTRY_VERIFY(app.mainWindow());
        const CddbOptions kept = CddbSettings::load();
        QCOMPARE((QStringList{kept.proxyHost, QString::number(kept.proxyPort), kept.proxyUser}),
                 (QStringList{"proxy.example", "3128", "fen"}));
        QString password;
        QVERIFY(PasswordStore().read(&password));
        QCOMPARE(password, QStringLiteral("secret"));
        // The one-shot hand-over is gone once taken.
        QVERIFY(!QFileInfo::exists(program.filePath(QStringLiteral("proxy.dt"))));
        app.mainWindow()->close();
    }

    // Against the changer the tabs wait for its first mode report. A disc list that cannot be
    // converted is filled for every slot and keeps the titles tab (a converted one: tst_program).
    void startUpWithoutADiscList() {
        SimProcess sim;
        QVERIFY2(sim.start(test::sourcePath(QStringLiteral("resources/demo-library.json"))),
                 qPrintable(sim.lastError()));
        QTemporaryDir program;
        writeAnsweredConfig(program.path(), /*init=*/true);
        UserSettings::setComDevice(1, sim.portPath());

        ScriptedUi ui;
        Application app(program.path(), ui);
        ConversionParts parts;
        connect(&app, &Application::mainWindowCreated, this,
                [&](MainWindow* window) { window->setParts(&parts); });
        bool tabsHiddenAtLoad = false;
        connect(&app, &Application::mainWindowLoaded, this,
                [&](MainWindow* window) { tabsHiddenAtLoad = !window->tabs()->isVisible(); });
        app.splashDelayMs = 0;
        QVERIFY(app.start());
        QTRY_VERIFY(app.mainWindow());
        MainWindow* window = app.mainWindow();
        QVERIFY2(ui.shown.isEmpty(), qPrintable(ui.texts(QStringLiteral("message")).join('|')));
        QCOMPARE(app.link().linkState(), kLinkUp);
        QVERIFY(app.link().linkEstablished());
        // The tabs wait for the changer's first mode report.
        QVERIFY(tabsHiddenAtLoad);
        QTRY_VERIFY_WITH_TIMEOUT(window->tabs()->isVisible(), 10000);
        QCOMPARE(parts.conversions, 1);
        QCOMPARE(parts.filled, 1);
        QVERIFY(!app.link().statusHold());
        QVERIFY(!window->audioTabEnabled());
        QCOMPARE(window->tabs()->currentIndex(), 0);
        QVERIFY(!window->findChild<QAction*>(QStringLiteral("mnuAllRead"))->isEnabled());
        window->close();
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char** argv) {
    // Personal settings go to a folder of this test, never the user's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestShellStartup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell_startup.moc"
