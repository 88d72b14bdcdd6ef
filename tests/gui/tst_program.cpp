// The whole program as main() composes it, against the changer simulator: what crosses from
// one part of the window to another (the tab control to the audio tab, the audio tab to the
// titles tab, the keys to the information lines, the CDDB options to the lookup).

#include "base/catalogue.h"
#include "common/httpstub.h"
#include "common/programrig.h"
#include "common/testsupport.h"
#include "editing/widgets/titlestab.h"
#include "link/link.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/transportpanel.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace tf;
using test::HttpStub;
using test::ProgramRig;

class TestProgram : public QObject {
    Q_OBJECT

private slots:
    // One run of the program: the audio tab's continue keys after the tab is selected, the disc
    // number the titles tab takes from the audio tab, the options window's MusicBrainz choice
    // reaching the lookup, and the changer's own panel mode.
    void audioTabKeysDiscNumberAndLookupChoice() {
        ProgramRig p;
        QVERIFY2(p.start(), qPrintable(p.sim.lastError()));
        // Selecting the audio tab ignores its continue keys for two seconds; after that a held
        // key keeps its text on the info line until it is let go.
        QPushButton *up = nullptr, *forward = nullptr; // continue keys 1 and 3
        for (QPushButton* b : p.audio()->findChildren<QPushButton*>("cmdContinueKEY")) {
            up = b->property("index").toInt() == 1 ? b : up;
            forward = b->property("index").toInt() == 3 ? b : forward;
        }
        QTabWidget* tabs = p.window->tabs();
        tabs->setCurrentIndex(MainWindow::kTitlesTab);
        tabs->setCurrentIndex(MainWindow::kAudioTab); // as the user's click on the tab
        // The click that selected the tab runs on into a key, and a key well inside the two
        // seconds: nothing is sent. (A press that is sent is answered before the click returns.)
        for (const int wait : {0, 900}) {
            QTest::qWait(wait);
            QVERIFY(p.audio()->transport()->continueDisable().isActive());
            QTest::mouseClick(up, Qt::LeftButton);
            QVERIFY(p.idle());
            QCOMPARE(p.keyCodes().size(), 0);
        }
        // The status text would give way to the play state after 150 ms, and the line
        // refreshes every 20 ms afterwards.
        p.parts->infoLines().setIntervals(150, 20);
        QLabel* line = p.audio()->infoLabel();
        QTRY_VERIFY_WITH_TIMEOUT(!p.audio()->transport()->continueDisable().isActive(), 3000);
        QTest::mousePress(forward, Qt::LeftButton);
        QCOMPARE(p.keyCodes().size(), 1);
        const QString keyText = line->text();
        QVERIFY(!keyText.isEmpty() && keyText != p.audio()->playInfoLabel()->text());
        QTest::qWait(400);
        QCOMPARE(line->text(), keyText);
        QTest::mouseRelease(forward, Qt::LeftButton);
        QTRY_COMPARE(p.audio()->transport()->continueKeyState(), 0);
        QTRY_COMPARE(p.keyCodes().size(), 2); // the press and its release
        QTRY_COMPARE(line->text(), p.audio()->playInfoLabel()->text());
        QVERIFY(p.idle());

        // The titles tab shows the audio tab's disc number.
        QLabel* dno = p.parts->titlesTab()->lbTextDNO();
        QCOMPARE(dno->text(), QString::number(p.app->link().playValues().PlayDisc));

        // The changer's own panel loads another disc: the number follows what it reports.
        QVERIFY(p.sim.ok("load 7"));
        QTRY_COMPARE_WITH_TIMEOUT(dno->text(), QStringLiteral("7"), 10000);
        QVERIFY(p.idle());

        // The user chooses a disc from the audio tab's list.
        auto* discs = p.audio()->findChild<QComboBox*>("cmbDTTL");
        QTRY_VERIFY(discs->count() > 2);
        const int choice = discs->itemText(0).contains(QStringLiteral("[  7]")) ? 1 : 0;
        const QString slot = discs->itemText(choice).mid(1, 3).trimmed();
        discs->setCurrentIndex(choice);
        emit discs->activated(choice);
        QCOMPARE(dno->text(), slot);
        QVERIFY(p.idle());

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
        QCOMPARE(mirror.requests().size(), 1); // what it asks: tst_lookupflow
        const QByteArray disc = test::readAll(p.app->config().dataPath(discfile::fileName(120)));
        QVERIFY2(disc.contains("Night Trains of Lviv"), disc.constData());
        // The CDDB menu's commands follow the lookup.
        QVERIFY(p.window->findChild<QAction*>("mnuCDDB2_EXI")->isEnabled());
        QVERIFY(p.window->findChild<QAction*>("mnuCDDB2_SMI")->isEnabled());

        // Read All from the menu asks its question first (the pass itself: tst_opsreadall).
        auto* readAll = p.window->findChild<QAction*>("mnuAllRead");
        p.ui.answers = {UserInterface::Answer::No};
        readAll->trigger();
        QCOMPARE(p.ui.shown.last().title, msg(msgid::MenuReadAllDiscs));
        // The changer is switched to its own panel: titles only, and no reading of all discs.
        QVERIFY(readAll->isEnabled());
        QVERIFY(p.sim.ok("set mode 1"));
        QTRY_VERIFY_WITH_TIMEOUT(!p.window->audioTabEnabled(), 10000);
        QCOMPARE(p.window->tabs()->currentIndex(), int(MainWindow::kTitlesTab));
        QVERIFY(!readAll->isEnabled());
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
