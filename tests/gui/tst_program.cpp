// The whole program as main() composes it, against the changer simulator: what crosses from
// one part of the window to another (the tab control to the audio tab, the audio tab to the
// titles tab, the keys to the information lines, the CDDB options to the lookup).

#include "common/httpstub.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "editing/widgets/titlestab.h"
#include "link/link.h"
#include "lookup/cddbsettings.h"
#include "lookup/widgets/passwordstore.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/transportpanel.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/config.h"
#include "store/discfile.h"
#include "store/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tf;
using test::HttpStub;
using test::ScriptedUi;
using test::SimProcess;

namespace {

// TrackFen started as main() starts it, connected to changer-sim holding the demo library.
// Lookups go to the demo's sample database, never to a server (the proxy is never used).
struct Program {
    SimProcess sim;
    QTemporaryDir program;
    ScriptedUi ui;
    std::unique_ptr<Application> app;
    MainWindow* window = nullptr;
    Composition* parts = nullptr;

    // `proxyTyped`: the first run's proxy window left a proxy to hand over, and the user
    // declines the lookup of the playing disc.
    bool start(bool proxyTyped = false) {
        QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
        if (!sim.start(test::sourcePath("resources/demo-library.json"), {"--log"}))
            return false;
        Configuration config(program.path());
        config.LOAD_CONFIG();
        if (!config.MarkProxyQuestionAnswered())
            return false;
        if (proxyTyped) {
            if (!config.writeProxyHandOver({"proxy.example.org", "pa55", 3128, "alice"}))
                return false;
            ui.answers = {UserInterface::Answer::Ok, UserInterface::Answer::No};
        }
        UserSettings::setComDevice(1, sim.portPath());
        QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        s.setValue("CDDB/Server", "127.0.0.1");
        s.setValue("CDDB/Port", HttpStub::closedPort());
        s.setValue("CDDB/Scheme", "http");
        s.setValue("CDDB/OfflineFolder", test::sourcePath("resources/cddb-demo"));
        s.setValue("CDDB/OfflineMode", "instead");
        s.sync();

        app = std::make_unique<Application>(program.path(), ui);
        composeProgram(*app);
        app->splashDelayMs = 0;
        if (!app->start() || !QTest::qWaitFor([&] { return app->mainWindow(); }))
            return false;
        window = app->mainWindow();
        parts = window->findChild<Composition*>();
        // Ready: the changer reported mode 0, the audio tab is up and shows the playing disc.
        return parts && QTest::qWaitFor(
                            [&] {
                                const Link& link = app->link();
                                return window->tabs()->isVisible() &&
                                       window->tabs()->currentIndex() == MainWindow::kAudioTab &&
                                       audio()->isPrepared() && link.linkBusy() == kLinkIdle &&
                                       !link.commandInProgress() && link.playValues().PlayDisc != 0;
                            },
                            20000);
    }
    ~Program() {
        if (window)
            window->close();
    }

    AudioTab* audio() const { return parts->audioTab(); }
    TitlesTab* titles() const { return parts->titlesTab(); }
    QPushButton* continueKey(int index) const {
        for (QPushButton* b : audio()->findChildren<QPushButton*>("cmdContinueKEY"))
            if (b->property("index").toInt() == index)
                return b;
        return nullptr;
    }
    // How many key codes the simulator received.
    int keys() { return int(QString::fromLatin1(sim.errorOutput()).count("rx frame 0a")); }
    bool idle() {
        return QTest::qWaitFor([&] {
            return app->link().linkBusy() == kLinkIdle && !app->link().commandInProgress();
        });
    }
};

} // namespace

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    void selectingTheAudioTabIgnoresContinueKeysForAWhile() {
        Program p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        QTabWidget* tabs = p.window->tabs();
        tabs->setCurrentIndex(MainWindow::kTitlesTab);
        tabs->setCurrentIndex(MainWindow::kAudioTab); // as the user's click on the tab
        QVERIFY(p.audio()->transport()->continueDisable().isActive());
        // The click that selected the tab runs on into a key: nothing is sent. (A press that
        // is sent has been answered before mousePress returns.)
        QTest::mousePress(p.continueKey(1), Qt::LeftButton);
        QTest::mouseRelease(p.continueKey(1), Qt::LeftButton);
        QVERIFY(p.idle());
        QCOMPARE(p.keys(), 0);
        // Well inside the two seconds, a key is still ignored.
        QTest::qWait(900);
        QVERIFY(p.audio()->transport()->continueDisable().isActive());
        QTest::mousePress(p.continueKey(1), Qt::LeftButton);
        QTest::mouseRelease(p.continueKey(1), Qt::LeftButton);
        QVERIFY(p.idle());
        QCOMPARE(p.keys(), 0);
        // Once the two seconds are over, the key works.
        QTRY_VERIFY_WITH_TIMEOUT(!p.audio()->transport()->continueDisable().isActive(), 3000);
        QTest::mousePress(p.continueKey(1), Qt::LeftButton);
        QTest::mouseRelease(p.continueKey(1), Qt::LeftButton);
        QTRY_COMPARE(p.keys(), 1);
    }

    void aHeldKeyKeepsItsTextOnTheInfoLine() {
        Program p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        // The status text would give way to the play state after 150 ms, and the line
        // refreshes every 20 ms afterwards.
        p.parts->infoLines().setIntervals(150, 20);
        QLabel* line = p.audio()->infoLabel();
        QTRY_VERIFY_WITH_TIMEOUT(!p.audio()->transport()->continueDisable().isActive(), 3000);
        QTest::mousePress(p.continueKey(3), Qt::LeftButton);
        QCOMPARE(p.keys(), 1);
        const QString keyText = line->text();
        QVERIFY(!keyText.isEmpty() && keyText != p.audio()->playInfoLabel()->text());
        QTest::qWait(400);
        QCOMPARE(line->text(), keyText);
        QTest::mouseRelease(p.continueKey(3), Qt::LeftButton);
        QTRY_COMPARE(p.audio()->transport()->continueKeyState(), 0);
        QTRY_COMPARE(line->text(), p.audio()->playInfoLabel()->text());
    }

    void theTitlesTabShowsTheAudioTabsDiscNumber() {
        Program p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        QLabel* dno = p.titles()->lbTextDNO();
        QCOMPARE(dno->text(), QString::number(p.app->link().playValues().PlayDisc));

        // The changer's own panel loads another disc: the number follows what it reports.
        QVERIFY(p.sim.ok("load 7"));
        QTRY_COMPARE_WITH_TIMEOUT(dno->text(), QStringLiteral("7"), 10000);
        QVERIFY(p.idle());

        // The user chooses a disc from the audio tab's list.
        auto* discs = p.audio()->findChild<QComboBox*>("cmbDTTL");
        QTRY_VERIFY(discs->count() > 2);
        int choice = -1;
        for (int i = 0; i < discs->count() && choice < 0; ++i)
            if (!discs->itemText(i).contains(QStringLiteral("[  7]")))
                choice = i;
        const QString slot = discs->itemText(choice).mid(1, 3).trimmed();
        discs->setCurrentIndex(choice);
        emit discs->activated(choice);
        QCOMPARE(dno->text(), slot);
        QTRY_COMPARE(p.sim.dump().value("play").toObject().value("disc").toInt(), slot.toInt());
    }

    // The proxy reaches the lookup component once, through proxy.dt; the component keeps it
    // from then on, the password out of the settings file. What a lookup writes and sends is
    // tst_lookupflow's; here that the CDDB menu's commands follow it.
    void proxyStaysWithTheLookupAndTheMenuFollowsIt() {
        Program p;
        QVERIFY2(p.start(true), qPrintable(p.sim.lastError()));
        QTRY_VERIFY(!QFile::exists(p.program.filePath("proxy.dt")));
        const CddbOptions kept = CddbSettings::load();
        QCOMPARE((QStringList{kept.proxyHost, QString::number(kept.proxyPort), kept.proxyUser}),
                 (QStringList{"proxy.example.org", "3128", "alice"}));
        QString password;
        QVERIFY(PasswordStore().read(&password));
        QCOMPARE(password, QString("pa55"));
        QVERIFY(p.app->context().lookup.Web_search_CDDB(6));
        QVERIFY(p.window->findChild<QAction*>("mnuCDDB2_EXI")->isEnabled());
        QVERIFY(p.window->findChild<QAction*>("mnuCDDB2_SMI")->isEnabled());
    }

    void theOptionsWindowsMusicBrainzChoiceReachesTheLookup() {
        Program p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        // A mirror on loopback serving the demo's saved reply for slot 120, a disc the CDDB
        // sample does not know.
        HttpStub mirror;
        QVERIFY(mirror.listen());
        const QByteArray reply = test::readAll(test::sourcePath(
            QStringLiteral("resources/musicbrainz-demo/FPaUSGN7hBwOmKSM9t3NcuP9Wps-.json")));
        mirror.setHandler(
            [&](const test::HttpStubRequest&) { return test::HttpStubReply::text(reply); });
        QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"))
            .setValue("MusicBrainz/Scheme", "http"); // the window offers no scheme

        QTimer::singleShot(0, [&] {
            QWidget* window = QApplication::activeModalWidget();
            QVERIFY(window);
            window->findChild<QComboBox*>("cmbLookupOrder")->setCurrentText("MusicBrainz only");
            window->findChild<QLineEdit*>("txtMbServer")->setText("127.0.0.1");
            window->findChild<QLineEdit*>("txtMbPort")->setText(QString::number(mirror.port()));
            window->findChild<QPushButton*>("cmdOK")->click();
        });
        p.window->findChild<QAction*>("mnuCDDB2_OPT")->trigger();

        QVERIFY(p.app->context().lookup.Web_search_CDDB(120));
        QCOMPARE(mirror.requests().size(), 1);
        QVERIFY(mirror.requests().first().target.startsWith(
            "/ws/2/discid/FPaUSGN7hBwOmKSM9t3NcuP9Wps-?"));
        const QByteArray disc = test::readAll(p.app->config().dataPath(discfile::fileName(120)));
        QVERIFY2(disc.contains("Night Trains of Lviv"), disc.constData());
    }
};

int main(int argc, char** argv) {
    // Personal settings go to a folder of this test, never the user's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestProgram test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_program.moc"
