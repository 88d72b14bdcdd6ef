// The title search through the whole program as main() composes it: the index follows the
// data folder (a title file written as a save or lookup writes it, an import), and a result
// chosen with the keyboard reaches changer-sim as the audio tab's play request.

#include "base/catalogue.h"
#include "common/httpstub.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "common/testsupport.h"
#include "link/frame.h"
#include "link/link.h"
#include "playback/widgets/audiotab.h"
#include "portability/libraryimport.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"
#include "store/usersettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace tf;
using test::HttpStub;
using test::ScriptedUi;
using test::SimProcess;

namespace {

struct Program {
    SimProcess sim;
    QTemporaryDir program;
    ScriptedUi ui;
    std::unique_ptr<Application> app;
    MainWindow* window = nullptr;
    Composition* parts = nullptr;

    bool start() {
        QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
        if (!sim.start(test::sourcePath("resources/demo-library.json"), {"--log"}))
            return false;
        Configuration config(program.path());
        config.LOAD_CONFIG();
        if (!config.MarkProxyQuestionAnswered())
            return false;
        UserSettings::setComDevice(1, sim.portPath());
        QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        s.setValue("CDDB/Server", "127.0.0.1");
        s.setValue("CDDB/Port", HttpStub::closedPort());
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
        return parts && QTest::qWaitFor(
                            [&] {
                                const Link& link = app->link();
                                return parts->audioTab()->isPrepared() &&
                                       link.linkBusy() == kLinkIdle && !link.commandInProgress() &&
                                       link.playValues().PlayDisc;
                            },
                            20000);
    }
    ~Program() {
        if (window)
            window->close();
    }

    QString dataDir() const { return app->config().settings.dataDir; }
    QLineEdit* field() const { return window->findChild<QLineEdit*>("txtSearch"); }
    QTreeWidget* results() const { return window->findChild<QTreeWidget*>("lstSearch"); }
    QString status() const { return window->findChild<QLabel*>("lbSearchStatus")->text(); }
    // "slot:track" of the current result.
    QString current() const {
        const QTreeWidgetItem* item = results()->currentItem();
        return item ? item->text(0) + ":" + item->text(1) : QString();
    }
    void search(const QString& text) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(field(), text);
    }
    int received(const QByteArray& frame) {
        return int(sim.errorOutput().count("rx frame 0b: " + frame.toHex(' ').toUpper()));
    }
};

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void indexFollowsTheFolderAndResultsPlay();
};

void TestSearch::indexFollowsTheFolderAndResultsPlay() {
    Program p;
    QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
    // Written as a lookup or a save writes a title file, while the program runs.
    QVERIFY(discfile::writeFromLookup(p.dataDir(), {5, {1, 2, 3, 4}}, 1, 3,
                                      QString::fromUtf8("Nuit Blanche Ensemble / Gares"),
                                      {"Platform One", "Nightfall Road", "Last Departure"}));
    p.search("nightf");
    QVERIFY(p.field()->hasFocus());
    QTRY_COMPARE(p.current(), QStringLiteral("5:2"));

    // Enter plays it as a track chosen on the audio tab: the same request and status text.
    QTest::keyClick(p.field(), Qt::Key_Return);
    QTRY_COMPARE(p.received(buildPlayRequest(5, 2, 1)), 1);
    QCOMPARE(p.parts->audioTab()->infoLabel()->text(), statusText(19) + "5");
    QCOMPARE(p.status(), msg(msgid::SearchPlaying) + "5" + msg(msgid::SearchPlayingTrack) + "2");

    // While a command runs nothing is sent, and the search says why.
    QVERIFY(QTest::qWaitFor([&] { return !p.app->link().commandInProgress(); }));
    p.app->link().setCommandInProgress(true);
    QTest::keyClick(p.field(), Qt::Key_Return);
    QCOMPARE(p.status(), msg(msgid::SearchBusy));
    p.app->link().setCommandInProgress(false);

    // An import is found too; Escape hands the focus back.
    library::Library incoming;
    library::TitlePart titles;
    titles.discTitle = QString::fromUtf8("Ångström Sessions");
    titles.trackTitles = QStringList{"Opening"};
    incoming.discs.append(library::Disc{6, std::nullopt, titles});
    QVERIFY(library::importInto(p.dataDir(), incoming, {}).ok());
    QTest::keyClick(p.field(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(p.field(), "angstrom");
    QTRY_COMPARE(p.current(), QStringLiteral("6:"));
    QTest::keyClick(p.field(), Qt::Key_Escape);
    QVERIFY(!p.results()->isVisible());
    QVERIFY(!p.field()->hasFocus());
}

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
